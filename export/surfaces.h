#pragma once
// Surfaces of mesh and skin records: which index range draws with which material.
#include "format/records.h"

class INode;

namespace zeq {

struct ConvertedGeometry;
class MaterialFactory;

class SurfaceBuilder {
public:
    explicit SurfaceBuilder(MaterialFactory& materials);

    // No material: one surface without material id. A standard material: one surface with its
    // id. A multi-material: one surface per material id of the geometry (ascending) with the
    // sub-material of that index (missing: no material id; not standard: no surface). Any other
    // material: no surfaces.
    TArray<Zeq2Surface> build(INode* node, const ConvertedGeometry& geometry);

private:
    MaterialFactory& materials_;
};

}  // namespace zeq

// Surfaces: the material of each index range of a mesh or skin.
#include "export/surfaces.h"

#include "export/geometry.h"
#include "export/materials.h"
#include "host/material.h"
#include "host/node.h"

namespace zeq {

SurfaceBuilder::SurfaceBuilder(MaterialFactory& materials) : materials_(materials) {}

TArray<Zeq2Surface> SurfaceBuilder::build(INode* node, const ConvertedGeometry& geometry) {
    TArray<Zeq2Surface> surfaces;
    Mtl* material = node != nullptr ? node->GetMtl() : nullptr;

    if (material == nullptr) {
        surfaces.add(Zeq2Surface{0, std::nullopt, geometry.triangleCount});
        return surfaces;
    }
    if (!material->IsMultiMtl() && material->ClassID() == DMTL_CLASS_ID) {
        surfaces.add(Zeq2Surface{0, materials_.getID(material), geometry.triangleCount});
        return surfaces;
    }
    if (material->ClassID() == MULTI_CLASS_ID) {
        // One surface per material id of the geometry; the id is the sub-material index as it is.
        for (const auto& [materialId, range] : geometry.materialRanges) {
            Mtl* sub = material->GetSubMtl(materialId);
            // An empty slot, or a sub-material of a class that gives no material record: the range
            // is drawn without a material rather than not at all.
            const bool standard = sub != nullptr && !sub->IsMultiMtl() && sub->ClassID() == DMTL_CLASS_ID;
            surfaces.add(Zeq2Surface{range.indexBegin, standard ? std::optional(materials_.getID(sub)) : std::nullopt,
                                     range.numTriangles});
        }
        return surfaces;
    }
    // Any other material gives no material record: the whole mesh is drawn without one.
    surfaces.add(Zeq2Surface{0, std::nullopt, geometry.triangleCount});
    return surfaces;
}

}  // namespace zeq

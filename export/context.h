#pragma once
// Everything one export command works with, created fresh for each export: the resource
// factories, the buffer lists and geometry cache, the track list and the scene walker.
#include "export/animation.h"
#include "export/geometry.h"
#include "export/materials.h"
#include "export/surfaces.h"
#include "export/walker.h"
#include "format/records.h"

class Interface;

namespace zeq {

class ExportContext {
public:
    explicit ExportContext(Interface* ip);
    ExportContext(const ExportContext&) = delete;
    ExportContext& operator=(const ExportContext&) = delete;

    // The conversion: bones pass, main pass, the ambient light, then the hand-over of every list
    // into the three roots (nothing but tracks with animationOnly; vertex data turned to 16-bit
    // floats with vertexBuffers16Bit).
    void convertScene(Zeq2& root, Zeq2Extra1& extra1, Zeq2Extra2& extra2);

    Interface* ip() const { return ip_; }
    SceneWalker& walker() { return walker_; }

private:
    // Members are created in this order (and destroyed in reverse).
    Interface* ip_;
    ImageFactory images_;
    MapFactory maps_;
    CubeMapFactory cubeMaps_;
    BufferLists buffers_;
    MaterialFactory materials_;
    GeometryConverter geometry_;
    SurfaceBuilder surfaces_;
    TrackList tracks_;
    SceneWalker walker_;
};

}  // namespace zeq

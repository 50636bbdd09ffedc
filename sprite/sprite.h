#pragma once
// The sprite object: a flat rectangle that always faces the camera of the viewport showing it. Its
// mesh is built again for every viewport that draws, hit-tests or measures it (the quad update),
// from the parameter block (reference 0) and the view.
#include "host/host.h"
#include "sprite/quad.h"

namespace zeq {

class Sprite : public SimpleObject2 {
public:
    // A sprite with its parameter block at the defaults (made by the class descriptor through the
    // running host) and the construction caches.
    Sprite();
    ~Sprite() override;

    // ---- Identity ----
    Class_ID ClassID() override;
    void GetClassName(std::string& name) override { name = "Sprite"; }
    const char* GetObjectName() override;

    // ---- Parameter editing ----
    void BeginEditParams(IObjParam* ip, uint32_t flags, Animatable* prev) override;
    void EndEditParams(IObjParam* ip, uint32_t flags, Animatable* next) override;
    CreateMouseCallBack* GetCreateMouseCallBack() override;

    // ---- Viewports ----
    int Display(TimeValue t, INode* node, ViewExp* vpt, int flags) override;
    int HitTest(TimeValue t, INode* node, int type, int crossing, int flags, IPoint2* p, ViewExp* vpt) override;
    void GetWorldBoundBox(TimeValue t, INode* node, ViewExp* vpt, Box3& box) override;
    void GetLocalBoundBox(TimeValue t, INode* node, ViewExp* vpt, Box3& box) override;
    using SimpleObject2::GetLocalBoundBox;
    using SimpleObject2::GetWorldBoundBox;

    // ---- Evaluation and conversion ----
    ObjectState Eval(TimeValue t) override { (void)t; return ObjectState(this); }
    Interval ObjectValidity(TimeValue) override { return FOREVER; }
    int CanConvertToType(Class_ID obtype) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
    void BuildMesh(TimeValue t) override;

    // Fits the rectangle to the viewport at t: reads the parameters (writing the bitmap size into
    // width and height when autosize finds one), computes the corners and rebuilds the mesh.
    // Without a node, a viewport with a graphics window or a parameter block nothing changes and
    // the result is false.
    bool updateQuad(TimeValue t, INode* node, ViewExp* vpt);

    // What the last quad update used (construction values until the first one).
    float widthCache() const { return widthCache_; }
    float heightCache() const { return heightCache_; }
    int autosizeCache() const { return autosizeCache_; }
    const SpriteCorners& corners() const { return corners_; }

private:
    float widthCache_ = 32.0f;
    float heightCache_ = 32.0f;
    int autosizeCache_ = 0;
    SpriteCorners corners_;
};

// The host parameter interface remembered between BeginEditParams and EndEditParams of a sprite;
// null outside parameter editing.
IObjParam* SpriteEditInterface();

}  // namespace zeq

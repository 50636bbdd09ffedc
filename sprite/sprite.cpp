// The sprite object: parameter editing, the quad update before every display, hit test and bounds.
#include "sprite/sprite.h"

#include "host/plugin_classes.h"
#include "sprite/quad_mesh.h"
#include "sprite/resources.h"
#include "sprite/sprite_class_desc.h"
#include "sprite/sprite_create.h"
#include "sprite/texture_size.h"

namespace zeq {

namespace {

// The parameter interface of the sprite being edited, for the whole library.
IObjParam* gEditInterface = nullptr;

}  // namespace

IObjParam* SpriteEditInterface() { return gEditInterface; }

Sprite::Sprite() { GetSpriteClassDesc()->MakeAutoParamBlocks(this); }

Sprite::~Sprite() {
    // The shared creation callback must not keep a sprite that is gone.
    SpriteCreateCallBack& callback = SpriteCreateCallBackInstance();
    if (callback.GetObj() == this) callback.SetObj(nullptr);
}

Class_ID Sprite::ClassID() { return SPRITE_CLASS_ID; }

const char* Sprite::GetObjectName() {
    const char* name = SpriteString(IDS_SPRITE_CLASS_NAME);
    return name ? name : "";
}

// ---- Parameter editing ----

void Sprite::BeginEditParams(IObjParam* ip, uint32_t flags, Animatable* prev) {
    gEditInterface = ip;
    SimpleObject2::BeginEditParams(ip, flags, prev);
    GetSpriteClassDesc()->BeginEditParams(ip, this, flags, prev);
}

void Sprite::EndEditParams(IObjParam* ip, uint32_t flags, Animatable* next) {
    SimpleObject2::EndEditParams(ip, flags, next);
    GetSpriteClassDesc()->EndEditParams(ip, this, flags, next);
    gEditInterface = nullptr;
}

CreateMouseCallBack* Sprite::GetCreateMouseCallBack() {
    SpriteCreateCallBack& callback = SpriteCreateCallBackInstance();
    callback.SetObj(this);
    return &callback;
}

// ---- The quad update ----

bool Sprite::updateQuad(TimeValue t, INode* node, ViewExp* vpt) {
    GraphicsWindow* gw = vpt ? vpt->getGW() : nullptr;
    if (!pblock2 || !node || !gw) return false;

    autosizeCache_ = pblock2->GetInt(SPRITE_PARAM_AUTOSIZE, t);
    TextureSize texture;
    // A bitmap that could not be read reports 0 × 0; that is no size to give the sprite, so its
    // width and height are kept.
    if (autosizeCache_ && FindTextureSize(node, t, texture) && texture.hasStorage) {
        widthCache_ = static_cast<float>(texture.width);
        heightCache_ = static_cast<float>(texture.height);
        pblock2->SetValue(SPRITE_PARAM_WIDTH, t, widthCache_);
        pblock2->SetValue(SPRITE_PARAM_HEIGHT, t, heightCache_);
    } else {
        widthCache_ = pblock2->GetFloat(SPRITE_PARAM_WIDTH, t);
        heightCache_ = pblock2->GetFloat(SPRITE_PARAM_HEIGHT, t);
    }

    QuadView view;
    float projection[4][4];
    int perspective = 0;
    float hither = 0.0f, yon = 0.0f;
    gw->getCameraMatrix(projection, &view.inverseView, &perspective, &hither, &yon);

    // The field of view of the camera the view looks through, else the view's own; a camera node
    // whose object is not a camera has none to give.
    float fov = vpt->GetFOV();
    if (INode* cameraNode = vpt->GetViewCamera()) {
        Object* obj = cameraNode->EvalWorldState(t).obj;
        if (obj && obj->SuperClassID() == CAMERA_CLASS_ID) fov = static_cast<CameraObject*>(obj)->GetFOV(t);
    }
    Interface* core = GetCOREInterface();
    view.focalLength = core ? FocalLength(fov, core->GetRendWidth(), core->GetRendHeight()) : 0.0f;
    view.perspective = vpt->IsPerspView() != 0;

    QuadSettings settings;
    settings.width = widthCache_;
    settings.height = heightCache_;
    settings.rotation = pblock2->GetInt(SPRITE_PARAM_ROTATION, t);
    settings.originX = pblock2->GetFloat(SPRITE_PARAM_ORIGIN_X, t);
    settings.originY = pblock2->GetFloat(SPRITE_PARAM_ORIGIN_Y, t);
    settings.perspectiveScale = pblock2->GetInt(SPRITE_PARAM_PERSPECTIVE_SCALE, t) != 0;

    corners_ = ComputeSpriteCorners(node->GetObjectTM(t), view, settings);
    BuildMesh(t);
    if (view.perspective) mesh.buildBoundingBox();
    return true;
}

void Sprite::BuildMesh(TimeValue) {
    BuildQuadMesh(corners_, mesh);
    ivalid = FOREVER;
}

// ---- Viewports ----

int Sprite::Display(TimeValue t, INode* node, ViewExp* vpt, int) {
    if (!updateQuad(t, node, vpt)) return 0;
    GraphicsWindow* gw = vpt->getGW();
    Material* materials = node->Mtls();
    const int count = materials ? node->NumMtls() : 0;
    if (count > 0) gw->setMaterial(materials[0]);
    gw->setTransform(node->GetObjectTM(t));
    mesh.render(gw, count > 0 ? materials : nullptr, COMP_ALL, count);
    return 0;
}

int Sprite::HitTest(TimeValue t, INode* node, int type, int crossing, int flags, IPoint2* p, ViewExp* vpt) {
    if (!updateQuad(t, node, vpt)) return 0;
    return SimpleObject2::HitTest(t, node, type, crossing, flags, p, vpt);
}

void Sprite::GetWorldBoundBox(TimeValue t, INode* node, ViewExp* vpt, Box3& box) {
    updateQuad(t, node, vpt);
    mesh.buildBoundingBox();
    if (node) {
        const Matrix3 tm = node->GetObjectTM(t);
        box = mesh.getBoundingBox(&tm);
    } else {
        box = mesh.getBoundingBox();
    }
}

void Sprite::GetLocalBoundBox(TimeValue, INode*, ViewExp*, Box3& box) {
    mesh.buildBoundingBox();
    box = mesh.getBoundingBox();
}

// ---- Conversion and cloning ----

int Sprite::CanConvertToType(Class_ID obtype) {
    if (obtype == DEFOBJECT_CLASS_ID || obtype == TRIOBJ_CLASS_ID) return 1;
    return SimpleObject2::CanConvertToType(obtype);
}

ReferenceTarget* Sprite::Clone(RemapDir& remap) {
    auto* clone = new Sprite();
    // A block that cannot be cloned leaves the clone its own block at the defaults rather than none.
    if (ReferenceTarget* block = remap.CloneRef(pblock2)) clone->ReplaceReference(0, block);
    BaseClone(this, clone, remap);
    return clone;
}

}  // namespace zeq

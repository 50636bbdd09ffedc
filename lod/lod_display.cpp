// How the LOD object shows itself: the icon, the distance circles of the current level, hit
// testing, bounds, evaluation and interactive creation.
#include "lod/lod_object.h"

#include "host/hit_test.h"
#include "host/node.h"
#include "host/plugin_classes.h"
#include "host/viewport.h"
#include "lod/icon_mesh.h"

#include <cmath>

namespace zeq {

namespace {

// Render limits the icon is drawn with, and the changes for hit testing.
constexpr uint32_t kDisplayLimits = 0x200121;
constexpr uint32_t kHitTestClear = 0x2;
constexpr uint32_t kHitTestSet = 0x1000;
constexpr int kHitRadius = 4;
// Mouse-flag bit that asks the creation to rotate the object towards the drag.
constexpr int kRotateFlag = 0x2;
// Clicks closer than this (in pixels) create nothing.
constexpr int kMinimumDrag = 3;

}  // namespace

void LODObject::BuildMesh(TimeValue t) {
    const float size = pblock2 ? pblock2->GetFloat(LOD_PARAM_ICON_SIZE, t) : 0.0f;
    if (size != iconSize_) {
        buildIconMesh(mesh, size);
        iconSize_ = size;
    }
    ivalid = FOREVER;
}

void LODObject::markOwner(INode* node) {
    if (!ownerNode() && node) owner_.set(node);
}

int LODObject::Display(TimeValue t, INode* node, ViewExp* vpt, int) {
    if (!pblock2 || !(pblock2->GetFloat(LOD_PARAM_ICON_SIZE, t) > 0.0f)) return 0;
    BuildMesh(t);
    markOwner(node);
    if (node && node == ownerNode()) synchronizeChildren(t);
    GraphicsWindow* gw = vpt ? vpt->getGW() : nullptr;
    if (!gw || !node) return 0;

    const uint32_t saved = gw->getRndLimits();
    gw->setRndLimits(kDisplayLimits);
    gw->setTransform(node->GetObjectTM(t));
    const bool selected = node->Selected();
    if (selected) gw->setColor(LINE_COLOR, 1, 1, 1);
    else if (!node->IsFrozen()) gw->setColor(LINE_COLOR, 0, 1, 1);
    gw->renderMesh(mesh, node->Mtls(), node->NumMtls(), COMP_ALL);

    INode* current = levelNode(currentLevel_);
    const float radius = current ? levelDistance(current) : 0.0f;
    if (selected && radius > 0.0f) {
        if (!node->IsFrozen()) gw->setColor(LINE_COLOR, 0, 0, 1);
        for (const auto& circle : distanceCircles(radius)) gw->polyline(kCirclePoints, circle.data(), true);
    }
    gw->setRndLimits(saved);
    return 0;
}

int LODObject::HitTest(TimeValue t, INode* node, int, int, int, IPoint2* p, ViewExp* vpt) {
    GraphicsWindow* gw = vpt ? vpt->getGW() : nullptr;
    if (!gw || !node || !p) return 0;
    // An object that draws nothing cannot be hit either.
    if (!pblock2 || !(pblock2->GetFloat(LOD_PARAM_ICON_SIZE, t) > 0.0f)) return 0;
    BuildMesh(t);
    const uint32_t saved = gw->getRndLimits();
    gw->setRndLimits((saved & ~kHitTestClear) | kHitTestSet);
    const Matrix3 savedTransform = gw->getTransform();
    gw->setTransform(node->GetObjectTM(t));
    const bool hit = MeshHitsPoint(mesh, *gw, *p, kHitRadius);
    gw->setTransform(savedTransform);
    gw->setRndLimits(saved);
    return hit ? 1 : 0;
}

void LODObject::GetLocalBoundBox(TimeValue t, INode*, Box3& box) {
    BuildMesh(t);
    mesh.buildBoundingBox();
    box = mesh.getBoundingBox();
}

void LODObject::GetLocalBoundBox(TimeValue t, INode* node, ViewExp*, Box3& box) { GetLocalBoundBox(t, node, box); }

void LODObject::GetWorldBoundBox(TimeValue t, INode* node, Box3& box) {
    BuildMesh(t);
    const Matrix3 tm = node ? node->GetObjectTM(t) : Matrix3();
    box.Init();
    for (const Point3& v : mesh.verts) box += tm.PointTransform(v);
    // The circles count unless the current level's distance is negative.
    INode* current = levelNode(currentLevel_);
    const float radius = current ? levelDistance(current) : 0.0f;
    if (current && radius < 0.0f) return;
    for (const auto& circle : distanceCircles(radius))
        for (const Point3& p : circle) box += tm.PointTransform(p);
}

void LODObject::GetWorldBoundBox(TimeValue t, INode* node, ViewExp*, Box3& box) { GetWorldBoundBox(t, node, box); }

ObjectState LODObject::Eval(TimeValue t) {
    BuildMesh(t);
    return ObjectState(this);
}

Interval LODObject::ObjectValidity(TimeValue) { return FOREVER; }

int LODObject::CanConvertToType(Class_ID obtype) {
    if (obtype == DEFOBJECT_CLASS_ID || obtype == TRIOBJ_CLASS_ID) return 1;
    return SimpleObject2::CanConvertToType(obtype);
}

Mesh* LODObject::GetRenderMesh(TimeValue t) {
    BuildMesh(t);
    return &mesh;
}

// ---- Creation ----

namespace {

class ZeqLODCreateCallBack : public CreateMouseCallBack {
public:
    LODObject* object = nullptr;

    int proc(ViewExp* vpt, int msg, int point, int flags, IPoint2 m, Matrix3& mat) override {
        if (msg == MOUSE_ABORT) return CREATE_ABORT;
        if (msg != MOUSE_POINT && msg != MOUSE_MOVE) return CREATE_CONTINUE;
        if (!vpt || !object) return CREATE_ABORT;
        if (point == 0) {
            start_ = m;
            IPoint2 snapped;
            p0_ = vpt->SnapPoint(m, snapped, nullptr, SNAP_IN_PLANE);
            mat.IdentityMatrix();
            mat.SetTrans(p0_);
            // A single click (no move before the release) waits for the second point.
            return CREATE_CONTINUE;
        }
        IPoint2 snapped;
        const Point3 p1 = vpt->SnapPoint(m, snapped, nullptr, SNAP_IN_PLANE);
        // The rotation is reset, and with the rotate flag the object turns towards the drag.
        mat.IdentityMatrix();
        if (flags & kRotateFlag) {
            const float angle = std::atan2(p1.y - p0_.y, p1.x - p0_.x);
            Interface* ip = GetCOREInterface();
            mat.RotateZ(ip ? ip->SnapAngle(angle) : angle);
        }
        mat.SetTrans(p0_);
        if (object->pblock2) {
            object->pblock2->SetValue(LOD_PARAM_ICON_SIZE, 0, Length(p1 - p0_));
            object->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
        }
        if (msg == MOUSE_POINT) {
            const int dx = m.x - start_.x, dy = m.y - start_.y;
            const int apart = static_cast<int>(std::sqrt(double(dx) * dx + double(dy) * dy));
            return apart < kMinimumDrag ? CREATE_ABORT : CREATE_STOP;
        }
        return CREATE_CONTINUE;
    }

private:
    IPoint2 start_;
    Point3 p0_;
};

}  // namespace

CreateMouseCallBack* LODObject::GetCreateMouseCallBack() {
    static ZeqLODCreateCallBack callback;
    callback.object = this;
    return &callback;
}

}  // namespace zeq

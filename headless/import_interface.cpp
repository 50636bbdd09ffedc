#include "headless/import_interface.h"

#include "headless/host.h"

namespace headless {

void ImportNode::Reference(Object* obj) { node_->SetObjectRef(obj); }

void ImportNode::SetTransform(TimeValue t, const Matrix3& tm) { node_->SetNodeTM(t, tm); }

void ImportNode::SetName(const char* name) { node_->SetName(name); }

void ImportNode::SetPivot(const Point3& p) {
    // The object stays in place: the node moves by p and the object offset moves back by p.
    Matrix3 world = node_->GetNodeTM(0);
    Point3 shift = world.VectorTransform(p);
    world.SetTrans(world.GetTrans() + shift);
    node_->SetNodeTM(0, world);
    node_->SetObjectOffsetTM(node_->GetObjectOffsetTM() * TransMatrix(-p));
}

INode* ImportNode::GetINode() { return node_; }

ImpNode* ImportInterface::CreateNode() {
    nodes_.push_back(std::make_unique<ImportNode>(host_.scene().createDetachedNode("")));
    return nodes_.back().get();
}

void ImportInterface::AddNodeToScene(ImpNode* node) {
    if (!node) return;
    auto* n = dynamic_cast<Node*>(node->GetINode());
    if (n && n->isDetached()) host_.scene().root()->AttachChild(n, true);
}

GenLight* ImportInterface::CreateLightObject(int type) {
    if (!Light::IsValidType(type)) return nullptr;
    return host_.scene().newLight(type);
}

Object* ImportInterface::CreateTargetObject() {
    return host_.scene().newObject(GEOMOBJECT_CLASS_ID, TARGET_OBJECT_CLASS_ID, "Target");
}

void ImportInterface::SetAmbient(TimeValue t, const Point3& color) { host_.SetAmbient(t, color); }

void ImportInterface::SetAnimRange(const Interval& range) { host_.SetAnimRange(range); }

void ImportInterface::RedrawViews() { host_.RedrawViews(host_.GetTime()); }

int ImportInterface::NewScene() {
    nodes_.clear();
    host_.newScene();
    return 1;
}

}  // namespace headless

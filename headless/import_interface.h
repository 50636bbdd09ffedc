#pragma once
// The import and export interfaces the headless host hands to importer and exporter plug-ins.
#include "headless/scene.h"

#include <memory>
#include <vector>

namespace headless {

class Host;

class ImportNode : public ImpNode {
public:
    explicit ImportNode(Node* node) : node_(node) {}
    void Reference(Object* obj) override;
    void SetTransform(TimeValue t, const Matrix3& tm) override;
    void SetName(const char* name) override;
    // Moves the pivot to p (object space) while the object stays where it is.
    void SetPivot(const Point3& p) override;
    INode* GetINode() override;

private:
    Node* node_;
};

// Nodes it creates stay outside the tree until AddNodeToScene puts them under the root.
class ImportInterface : public ImpInterface {
public:
    explicit ImportInterface(Host& host) : host_(host) {}
    ImpNode* CreateNode() override;
    void AddNodeToScene(ImpNode* node) override;
    GenLight* CreateLightObject(int type) override;
    Object* CreateTargetObject() override;
    void SetAmbient(TimeValue t, const Point3& color) override;
    void SetAnimRange(const Interval& range) override;
    void RedrawViews() override;
    int NewScene() override;

private:
    Host& host_;
    std::vector<std::unique_ptr<ImportNode>> nodes_;
};

class ExportInterface : public ExpInterface {};

}  // namespace headless

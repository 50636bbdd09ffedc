#pragma once
// A headless host with a class descriptor standing in for the utility's (the chunk key comes from
// it), and small scene-building helpers.
#include "headless/host.h"
#include "host/plugin_classes.h"
#include "params/engine_param_store.h"

#include <gtest/gtest.h>

namespace zeq::test {

class KeyDesc : public ClassDesc {
public:
    int IsPublic() override { return 1; }
    void* Create(bool) override { return nullptr; }
    const char* ClassName() override { return "KeldaneGUP"; }
    SClass_ID SuperClassID() override { return KELDANE_GUP_SUPER_CLASS_ID; }
    Class_ID ClassID() override { return KELDANE_GUP_CLASS_ID; }
    const char* Category() override { return "Keldane"; }
};

class ParamsTest : public ::testing::Test {
protected:
    headless::Host host;
    headless::Scene& scene = host.scene();
    KeyDesc desc;
    EngineParamStore store{desc};

    // A node showing a new one-triangle mesh object.
    headless::Node* meshNode(const std::string& name, INode* parent = nullptr) {
        headless::Node* node = scene.createNode(name, parent);
        node->SetObjectRef(triangle());
        return node;
    }
    headless::TriMeshObject* triangle() {
        Mesh mesh;
        mesh.setNumVerts(3);
        mesh.setNumFaces(1);
        mesh.faces[0].setVerts(0, 1, 2);
        return scene.newTriObject(mesh);
    }
    void select(std::initializer_list<INode*> nodes) {
        host.ClearNodeSelection();
        for (INode* node : nodes) host.SelectNode(node, false);
    }
    AppDataChunk* chunk(Animatable* owner, uint32_t subId) {
        return owner->GetAppDataChunk(KELDANE_GUP_CLASS_ID, KELDANE_GUP_SUPER_CLASS_ID, subId);
    }
};

}  // namespace zeq::test

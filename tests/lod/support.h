#pragma once
// Shared helpers of the LOD tests: a headless host with an orthographic view, a LOD object on its
// own node (displayed once, so that the node is its owner) and plain mesh nodes to pick as levels.
#include "headless/creation.h"
#include "headless/host.h"
#include "headless/viewport.h"
#include "host/plugin_classes.h"
#include "lod/lod_object.h"
#include "lod/resources.h"

#include <gtest/gtest.h>

namespace zeq::lodtest {

class LodTest : public ::testing::Test {
protected:
    LodTest() {
        lodLibrary().Attach();
        host.ui().setProgressStream(nullptr);
        view.setPerspective(false);
    }

    // A LOD object (owned by the scene) on a new node, displayed once so that it has its owner.
    LODObject* addLod(const std::string& name = "LOD", float iconSize = 10.0f, INode* parent = nullptr) {
        auto* lod = new LODObject();
        lodNode = host.scene().createNode(name, parent);
        lodNode->SetObjectRef(lod);
        lod->pblock2->SetValue(LOD_PARAM_ICON_SIZE, 0, iconSize);
        lod->Display(0, lodNode, &view, 0);
        return lod;
    }

    headless::Node* meshNode(const std::string& name, INode* parent = nullptr) {
        Mesh mesh;
        mesh.setNumVerts(3);
        mesh.setNumFaces(1);
        mesh.faces[0].setVerts(0, 1, 2);
        headless::Node* node = host.scene().createNode(name, parent);
        node->SetObjectRef(host.scene().newTriObject(mesh));
        return node;
    }

    // Picks nodes into the LOD as its levels, setting their distances.
    void addLevels(LODObject* lod, std::initializer_list<std::pair<INode*, float>> levels) {
        for (const auto& [node, distance] : levels) {
            ASSERT_TRUE(lod->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, node));
            node->SetUserPropFloat(LOD_DISTANCE_PROPERTY, distance);
        }
        lod->rebuildView();
    }

    static std::vector<std::string> levelNames(LODObject* lod) {
        std::vector<std::string> names;
        for (int i = 0; i < lod->levelCount(); ++i) names.push_back(lod->levelNode(i) ? lod->levelNode(i)->GetName() : "");
        return names;
    }
    static std::vector<std::string> viewLines(LODObject* lod) {
        std::vector<std::string> lines;
        for (int i = 0; i < lod->pblock2->Count(LOD_PARAM_NODES_VIEW); ++i)
            lines.push_back(lod->pblock2->GetStr(LOD_PARAM_NODES_VIEW, 0, i));
        return lines;
    }

    headless::Host host;
    headless::Viewport view;
    headless::Node* lodNode = nullptr;
};

}  // namespace zeq::lodtest

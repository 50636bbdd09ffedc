#pragma once
// A running utility (the plug-in's logic linked into the test) inside a headless host, with
// builders for the kinds of nodes the pages tell apart and access to the open pages.
#include "params/fp_helper.h"
#include "params/keldane_gup.h"
#include "params/resources.h"
#include "support.h"

#include <string>
#include <vector>

namespace zeq::test {

class PanelsTest : public ParamsTest {
protected:
    PanelsTest() {
        paramsLibrary().Attach();
        for (int i = 0; i < 3; ++i) setHelperTypeList(i, {}, false);
        gup = new KeldaneGUP();
        EXPECT_EQ(gup->Start(), GUPRESULT_KEEP);
    }
    ~PanelsTest() override {
        gup->Stop();
        gup->DeleteThis();
        for (int i = 0; i < 3; ++i) setHelperTypeList(i, {}, false);
    }

    // A geometric object of any class that converts to a triangle mesh.
    headless::Node* objectNode(const std::string& name, Class_ID classId, SClass_ID superClass = GEOMOBJECT_CLASS_ID) {
        headless::GenericObject* object = scene.newObject(superClass, classId, name);
        Mesh mesh;
        mesh.setNumVerts(3);
        mesh.setNumFaces(1);
        mesh.faces[0].setVerts(0, 1, 2);
        object->setMesh(mesh);
        headless::Node* node = scene.createNode(name);
        node->SetObjectRef(object);
        return node;
    }
    headless::Node* sprite(const std::string& name) { return objectNode(name, SPRITE_CLASS_ID); }
    headless::Node* helper(const std::string& name, Class_ID classId) { return objectNode(name, classId, HELPER_CLASS_ID); }
    // A group head (a dummy helper) with the given members as children.
    headless::Node* group(const std::string& name, std::initializer_list<headless::Node*> members) {
        headless::Node* head = scene.createNode(name);
        head->SetGroupHead(true);
        head->SetObjectRef(scene.newObject(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"));
        for (headless::Node* member : members) head->AttachChild(member, true);
        return head;
    }

    // Selects the nodes in order and tells the utility, as the host does.
    void selectAndNotify(std::initializer_list<INode*> nodes) {
        select(nodes);
        BroadcastNotification(NOTIFY_SELECTIONSET_CHANGED);
    }
    std::vector<std::string> openTitles() const {
        std::vector<std::string> titles;
        for (const headless::RollupPage* p : const_cast<headless::Host&>(host).ui().openRollupPages()) titles.push_back(p->title());
        return titles;
    }
    headless::RollupPage* page(const std::string& title) { return host.ui().findOpenRollupPage(title); }
    headless::RollupPage* alphaPage() { return page("Zeq Parameters"); }
    headless::RollupPage* objectPage() { return page("Zeq Object Parameters"); }
    headless::RollupPage* containerPage() { return page("Zeq Container Parameters"); }
    headless::RollupPage* typesPage() { return page("Types"); }

    static bool enabled(headless::RollupPage* p, int id) { return p->control(id)->enabled; }
    static bool checked(headless::RollupPage* p, int id) { return p->control(id)->checkState == BST_CHECKED; }
    static int checkState(headless::RollupPage* p, int id) { return p->control(id)->checkState; }

    KeldaneGUP* gup = nullptr;
};

}  // namespace zeq::test

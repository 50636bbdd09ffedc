// Headless viewports, rollup pages, mouse creation and cloning: the pieces of the host that objects
// drawn and created in viewports rely on.
#include "headless/host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace headless {
namespace {

TEST(Viewport, ProjectsAndSnapsWithTheDefinedCamera) {
    Host host;
    Viewport view(200, 100);
    view.setFOV(1.5707963f);  // focal length 100 pixels
    view.setCameraTM(TransMatrix({0, 0, 50}));

    IPoint3 pixel;
    ASSERT_TRUE(view.project({10, 5, 0}, pixel));  // 50 units in front of the camera
    EXPECT_EQ(pixel.x, 100 + 20);
    EXPECT_EQ(pixel.y, 50 - 10);
    EXPECT_EQ(pixel.z, 50);
    EXPECT_FALSE(view.project({0, 0, 60}, pixel));  // behind the camera

    // A screen point snaps to where its ray meets the plane z = 0, and projects back onto itself.
    IPoint2 snapped;
    const Point3 onPlane = view.SnapPoint(IPoint2(150, 25), snapped);
    EXPECT_TRUE(onPlane.Equals(Point3(25.0f, 12.5f, 0.0f), 1e-4f));
    EXPECT_EQ(snapped, IPoint2(150, 25));
    ASSERT_TRUE(view.project(onPlane, pixel));
    EXPECT_EQ(pixel.x, 150);
    EXPECT_EQ(pixel.y, 25);

    // Orthographic: pixels per unit around the centre, whatever the depth.
    view.setPerspective(false);
    view.setZoom(2.0f);
    ASSERT_TRUE(view.project({10, 5, 0}, pixel));
    EXPECT_EQ(pixel.x, 120);
    EXPECT_EQ(pixel.y, 40);
    EXPECT_TRUE(view.SnapPoint(IPoint2(120, 40), snapped).Equals({10, 5, 0}, 1e-4f));

    // A view along the plane never meets it: the point below the ray's start is given.
    view.setCameraTM(Matrix3({1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {3, -100, 7}));
    EXPECT_TRUE(view.SnapPoint(IPoint2(100, 50), snapped).Equals({3, -100, 0}, 1e-4f));
}

TEST(Viewport, ZeroFieldOfViewShowsNothingAndCameraNodesLeadTheView) {
    Host host;
    Viewport view;
    view.setFOV(0.0f);
    IPoint3 pixel;
    EXPECT_FALSE(view.project({0, 0, -10}, pixel));
    IPoint2 snapped;
    EXPECT_TRUE(view.SnapPoint(IPoint2(10, 10), snapped).Equals({0, 0, 0}));

    Node* cameraNode = host.scene().createNode("Camera01");
    cameraNode->SetObjectRef(host.scene().newCamera(1.0f));
    cameraNode->setLocalTM(TransMatrix({0, 0, 20}));
    view.setCameraNode(cameraNode);
    EXPECT_EQ(view.GetViewCamera(), cameraNode);
    EXPECT_FLOAT_EQ(view.GetFOV(), 1.0f);
    EXPECT_TRUE(view.viewTM().GetTrans().Equals({0, 0, -20}));

    Matrix3 inverseView;
    int perspective = 0;
    view.getGW()->getCameraMatrix(nullptr, &inverseView, &perspective, nullptr, nullptr);
    EXPECT_TRUE(inverseView.GetTrans().Equals({0, 0, 20}));
    EXPECT_EQ(perspective, 1);
}

TEST(Viewport, GraphicsWindowRecordsDrawsAndHitsMeshes) {
    Host host;
    Viewport view;
    view.setPerspective(false);
    Mesh square;
    square.setNumVerts(3);
    square.setVert(0, 0, 0, 0);
    square.setVert(1, 100, 0, 0);
    square.setVert(2, 0, 100, 0);
    square.setNumFaces(1);
    square.faces[0].setVerts(0, 1, 2);

    GraphicsWindow& gw = *view.getGW();
    gw.setTransform(TransMatrix({-50, -50, 0}));
    Material red;
    red.Kd = Color(1, 0, 0);
    gw.setMaterial(red);
    square.render(&gw, &red, COMP_ALL, 1);
    square.render(nullptr, &red, COMP_ALL, 1);  // no window: nothing happens
    ASSERT_EQ(view.window().draws().size(), 1u);
    const DrawRecord& draw = view.window().draws()[0];
    EXPECT_TRUE(draw.transform.GetTrans().Equals({-50, -50, 0}));
    EXPECT_EQ(draw.mesh.getNumFaces(), 1);
    ASSERT_EQ(draw.materials.size(), 1u);
    EXPECT_EQ(draw.material->Kd.r, 1.0f);

    // The triangle covers pixels (270..370, 290..190); the pick radius reaches 4 pixels past it.
    EXPECT_TRUE(MeshHitsPoint(square, gw, IPoint2(280, 280), HIT_PICK_RADIUS));
    EXPECT_TRUE(MeshHitsPoint(square, gw, IPoint2(268, 280), HIT_PICK_RADIUS));
    EXPECT_FALSE(MeshHitsPoint(square, gw, IPoint2(360, 200), HIT_PICK_RADIUS));
    square.faces[0].setVerts(0, 1, 7);  // a face naming a missing vertex is skipped
    EXPECT_FALSE(MeshHitsPoint(square, gw, IPoint2(280, 280), HIT_PICK_RADIUS));
}

TEST(RollupPages, PagesShowTheirBlockAndProcedureSeesThem) {
    Host host;
    static const DialogControl controls[] = {
        {.id = 10, .kind = ControlKind::CheckBox, .text = "On"},
        {.id = 11, .kind = ControlKind::EditText},
        {.id = 12, .kind = ControlKind::EditText},
    };
    static const DialogTemplate dialogs[] = {{.id = 7, .caption = "", .controls = controls}};
    static PluginLibrary library{{"Pages", {}, dialogs}};
    library.Attach();

    ParamBlockDesc2 desc;
    desc.id = 1;
    ParamDef on;
    on.id = 0;
    on.type = TYPE_BOOL;
    on.defaultInt = 1;
    on.control = ParamControlKind::CheckBox;
    on.editId = 10;
    ParamDef size;
    size.id = 1;
    size.defaultFloat = 2.25f;
    size.control = ParamControlKind::FloatSpinner;
    size.editId = 11;
    ParamDef count;
    count.id = 2;
    count.type = TYPE_INT;
    count.defaultInt = -3;
    count.control = ParamControlKind::IntSpinner;
    count.editId = 12;
    desc.params = {on, size, count};
    std::unique_ptr<IParamBlock2, void (*)(IParamBlock2*)> block(CreateParameterBlock2(desc, nullptr),
                                                                 [](IParamBlock2* b) { b->DeleteThis(); });

    static std::vector<uint32_t> messages;
    messages.clear();
    DialogProc proc = [](DialogWindow* w, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        messages.push_back(message);
        if (message == WM_INITDIALOG) w->SetControlText(12, w->GetControlText(12) + "!");
        return 1;
    };
    WindowHandle page = host.AddRollupPage(library.Handle(), 7, proc, "Settings", block.get());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(host.AddRollupPage(library.Handle(), 8, nullptr, "Missing"), nullptr);
    ASSERT_EQ(host.ui().openRollupPages().size(), 1u);
    const RollupPage& shown = *host.ui().openRollupPages()[0];
    EXPECT_EQ(shown.title(), "Settings");
    EXPECT_EQ(shown.templateId(), 7);
    EXPECT_TRUE(shown.control(10)->checked);
    EXPECT_EQ(shown.control(11)->text, "2.25");
    EXPECT_EQ(shown.control(12)->text, "-3!");

    host.DeleteRollupPage(page);
    host.DeleteRollupPage(page);  // a second time is ignored
    host.DeleteRollupPage(nullptr);
    EXPECT_TRUE(host.ui().openRollupPages().empty());
    EXPECT_EQ(messages, (std::vector<uint32_t>{WM_INITDIALOG, WM_CLOSE}));
}

// An object placed by two clicks: the first sets the position, the second finishes it.
class ClickObject : public GeomObject, public CreateMouseCallBack {
public:
    Class_ID ClassID() override { return Class_ID(0x1234, 1); }
    CreateMouseCallBack* GetCreateMouseCallBack() override { return this; }
    void BeginEditParams(IObjParam* ip, uint32_t flags, Animatable*) override { begun = ip && flags == BEGIN_EDIT_CREATE; }
    void EndEditParams(IObjParam*, uint32_t, Animatable*) override { ended = true; }
    int proc(ViewExp* vpt, int msg, int point, int, IPoint2 m, Matrix3& mat) override {
        points.push_back(point);
        if (msg == MOUSE_ABORT) return CREATE_ABORT;
        IPoint2 out;
        if (point == 0) mat.SetTrans(vpt->SnapPoint(m, out));
        return msg == MOUSE_POINT && point == 1 ? CREATE_STOP : CREATE_CONTINUE;
    }
    std::vector<int> points;
    bool begun = false;
    bool ended = false;
};

TEST(Creation, EventsDriveTheCallbackAndPlaceTheNode) {
    Host host;
    Viewport view;
    view.setPerspective(false);
    auto* obj = new ClickObject();
    CreationResult r = createWithMouse(host, obj, view,
                                       {MouseEvent::point(330, 240), MouseEvent::move(335, 240),
                                        MouseEvent::point(340, 240), MouseEvent::point(350, 240)});
    ASSERT_NE(r.node, nullptr);
    EXPECT_EQ(r.result, CREATE_STOP);
    EXPECT_EQ(r.eventsUsed, 3);
    EXPECT_EQ(obj->points, (std::vector<int>{0, 1, 1}));
    EXPECT_TRUE(obj->begun);
    EXPECT_TRUE(obj->ended);
    EXPECT_EQ(r.node->GetObjectRef(), obj);
    EXPECT_TRUE(r.node->GetNodeTM(0).GetTrans().Equals({10, 0, 0}));

    auto* aborted = new ClickObject();
    const size_t nodes = host.scene().nodes().size();
    r = createWithMouse(host, aborted, view, {MouseEvent::point(330, 240), MouseEvent::abort()});
    EXPECT_EQ(r.node, nullptr);
    EXPECT_EQ(r.result, CREATE_ABORT);
    EXPECT_EQ(host.scene().nodes().size(), nodes);

    // An object without a creation callback is not created.
    TriObject* tri = host.scene().newTriObject();
    r = createWithMouse(host, tri, view, {MouseEvent::point(1, 1)});
    EXPECT_EQ(r.node, nullptr);
    EXPECT_EQ(r.eventsUsed, 0);
}

TEST(Cloning, ParameterBlocksCloneOnceWithValuesAndAppData) {
    Host host;
    ParamBlock* block = new ParamBlock(&host.scene(), 4, "params");
    block->addParam(0, "size", TYPE_FLOAT);
    block->addParam(1, "target", TYPE_INODE);
    block->SetValue(0, 0, 2.5f);
    Node* target = host.scene().createNode("Target");
    block->SetValue(1, 0, static_cast<INode*>(target));
    void* data = HostAlloc(3);
    std::memcpy(data, "abc", 3);
    block->AddAppDataChunk(Class_ID(1, 2), 3, 4, 3, data);

    RemapTable remap;
    auto* copy = dynamic_cast<ParamBlock*>(remap.CloneRef(block));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, block);
    EXPECT_EQ(remap.CloneRef(block), copy);  // cloned once per operation
    EXPECT_EQ(remap.CloneRef(nullptr), nullptr);
    EXPECT_EQ(copy->ID(), 4);
    EXPECT_EQ(copy->GetFloat(0), 2.5f);
    EXPECT_EQ(copy->GetINode(1), target);
    AppDataChunk* chunk = copy->GetAppDataChunk(Class_ID(1, 2), 3, 4);
    ASSERT_NE(chunk, nullptr);
    ASSERT_EQ(chunk->length, 3u);
    EXPECT_NE(chunk->data, data);
    EXPECT_EQ(std::memcmp(chunk->data, "abc", 3), 0);

    // Deleting the node clears it in the copy as in the original.
    target->DeleteThis();
    EXPECT_EQ(copy->GetINode(1), nullptr);
    copy->SetValue(0, 0, 9.0f);
    EXPECT_EQ(block->GetFloat(0), 2.5f);
    copy->DeleteThis();
    block->DeleteThis();
}

TEST(DisplayMaterials, NodesGiveOnePerSubMaterialOrTheirWireColour) {
    Host host;
    Node* node = host.scene().createNode("Box01");
    node->setWireColor(Color(0, 1, 0));
    ASSERT_EQ(node->NumMtls(), 1);
    EXPECT_EQ(node->Mtls()[0].Kd.g, 1.0f);

    StandardMaterial* blue = host.scene().newStdMat("Blue");
    blue->SetDiffuse(Color(0, 0, 1), 0);
    MultiMaterial* multi = host.scene().newMultiMtl("Multi", 3);
    multi->SetSubMtl(1, blue);
    node->SetMtl(multi);
    ASSERT_EQ(node->NumMtls(), 3);
    EXPECT_EQ(node->Mtls()[1].Kd.b, 1.0f);
    EXPECT_EQ(node->Mtls()[0].Kd.b, 0.5f);  // empty slot: grey
}

}  // namespace
}  // namespace headless

// The export command: dialog results, progress, the written file and the failure handler.
#include "export/export_command.h"
#include "walk_support.h"

#include "codec/protocol.h"
#include "format/register.h"

#include <stdexcept>

namespace zeq::walktest {
namespace {

using headless::DialogStep;
using headless::ProgressEvent;

// The data stream of a written file after inflation (version pair first).
std::vector<uint8_t> inflatedData(const std::string& file) {
    ByteBuffer bytes = readFileBytes(file);
    Protocol protocol;
    registerFormatTypes(protocol);
    ProtocolBuffer pb;
    EXPECT_TRUE(protocol.decodePacket(bytes, pb));
    return {pb.buffer.data(), pb.buffer.data() + pb.buffer.length()};
}

// A mesh with more output vertices than one buffer can hold: every face has its own corners.
Mesh oversizedMesh() {
    constexpr int faces = 22000;
    Mesh mesh;
    mesh.setNumVerts(faces * 3);
    mesh.setNumFaces(faces);
    for (int f = 0; f < faces; ++f) {
        for (int c = 0; c < 3; ++c) mesh.setVert(f * 3 + c, float(f), float(c), 0.0f);
        mesh.faces[f].setVerts(f * 3, f * 3 + 1, f * 3 + 2);
    }
    return mesh;
}

using CommandTest = ExportTest;

TEST_F(CommandTest, SuppressedPromptsOnFirstExportUseTheLoadDefaults) {
    meshNode("Box");
    const std::string file = path("first.zeq");
    ASSERT_EQ(exportThroughPlugin(file, std::nullopt), IMPEXP_SUCCESS);
    EXPECT_TRUE(host.ui().dialogs().empty());

    const SceneFile scene = readScene(file);
    EXPECT_EQ(scene.minorVersion, 5);
    ASSERT_EQ(scene.root.vertexBuffers->size(), 1u);
    // Positions only: no normals, no tangents; no tracks without animation.
    EXPECT_EQ(scene.root.vertexBuffers->get(0).attributes, TArray<Zeq2VertexAttributes>{Zeq2VertexAttributes::POSITION});
    EXPECT_FALSE(scene.root.tracks.has_value());
}

TEST_F(CommandTest, SuppressedPromptsReuseWhatTheLastDialogSet) {
    meshNode("Box");
    ASSERT_EQ(exportThroughPlugin(path("a.zeq"), std::vector{DialogStep::click(IDC_NORMALS), DialogStep::click(IDC_OK)}),
              IMPEXP_SUCCESS);
    ASSERT_EQ(exportThroughPlugin(path("b.zeq"), std::nullopt), IMPEXP_SUCCESS);
    const SceneFile scene = readScene(path("b.zeq"));
    EXPECT_EQ(scene.root.vertexBuffers->get(0).attributes, (TArray<Zeq2VertexAttributes>{Zeq2VertexAttributes::POSITION, Zeq2VertexAttributes::NORMAL}));
}

TEST_F(CommandTest, CancelReturnsTwoWithoutProgressOrFile) {
    meshNode("Box");
    for (const DialogStep& step : {DialogStep::click(IDC_CANCEL), DialogStep::confirm(), DialogStep::escape(),
                                   DialogStep::close()}) {
        const std::string file = path("cancelled.zeq");
        EXPECT_EQ(exportThroughPlugin(file, std::vector{step}), IMPEXP_CANCEL);
        EXPECT_FALSE(std::filesystem::exists(file));
    }
    EXPECT_TRUE(host.ui().progressEvents().empty());
}

TEST_F(CommandTest, DialogThatCannotRunReturnsZero) {
    meshNode("Box");
    const std::string file = path("never.zeq");
    // No driver queued: the headless host cannot show the dialog.
    EXPECT_EQ(host.exportFile(GetExportClassDesc(), file, false, 0), IMPEXP_FAIL);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(host.ui().progressEvents().empty());
}

TEST_F(CommandTest, ProgressStepsInOrder) {
    meshNode("Box");
    ASSERT_EQ(exportThroughPlugin(path("p.zeq"), std::nullopt), IMPEXP_SUCCESS);
    const auto& events = host.ui().progressEvents();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].kind, ProgressEvent::Kind::Start);
    EXPECT_EQ(events[0].title, "Exporting scene to Zeq");
    const std::pair<int, std::string> updates[] = {
        {25, "Exporting scene to Zeq..."}, {25, "Encoding..."}, {50, "Compressing..."}, {75, "Writing to file..."}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(events[i + 1].kind, ProgressEvent::Kind::Update);
        EXPECT_EQ(events[i + 1].percent, updates[i].first);
        EXPECT_EQ(events[i + 1].title, updates[i].second);
    }
    EXPECT_EQ(events[5].kind, ProgressEvent::Kind::End);
    EXPECT_FALSE(host.ui().progressActive());
}

TEST_F(CommandTest, InflatedDataStartsWithTheVersionPair) {
    meshNode("Box");
    ASSERT_EQ(exportThroughPlugin(path("v5.zeq"), std::vector{DialogStep::click(IDC_OK)}), IMPEXP_SUCCESS);
    std::vector<uint8_t> data = inflatedData(path("v5.zeq"));
    ASSERT_GE(data.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 4), (std::vector<uint8_t>{0, 2, 0, 5}));

    ASSERT_EQ(exportThroughPlugin(path("v6.zeq"),
                                  std::vector{DialogStep::click(IDC_16BIT_BUFFERS), DialogStep::click(IDC_OK)}),
              IMPEXP_SUCCESS);
    data = inflatedData(path("v6.zeq"));
    ASSERT_GE(data.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 4), (std::vector<uint8_t>{0, 2, 0, 6}));
    // Three floats of 16 bits per vertex.
    const SceneFile scene = readScene(path("v6.zeq"));
    const Zeq2VertexBuffer& buffer = scene.root.vertexBuffers->get(0);
    EXPECT_EQ(buffer.byteBuffer.length(), buffer.vertexCount * 6);
}

TEST_F(CommandTest, FailedConversionShowsErrorWritesNothingAndReturnsOne) {
    headless::Node* big = scene().createNode("Big");
    big->SetObjectRef(scene().newTriObject(oversizedMesh()));
    const std::string file = path("big.zeq");
    ASSERT_EQ(exportThroughPlugin(file, std::nullopt), IMPEXP_SUCCESS);
    EXPECT_FALSE(std::filesystem::exists(file));
    const auto errors = boxes("Error");
    ASSERT_EQ(errors.size(), 1u);
    // The fixed message, completed with the node and its vertex count.
    EXPECT_EQ(errors[0].text, "Too many vertices in the mesh \"Big\" (66000 vertices, at most 65535)");
    EXPECT_EQ(errors[0].type & 0xF, MB_OK);
    // The progress display ends after a failure too.
    ASSERT_FALSE(host.ui().progressEvents().empty());
    EXPECT_EQ(host.ui().progressEvents().back().kind, ProgressEvent::Kind::End);
    // Nothing of the failed export leaks into the next one.
    EXPECT_TRUE(BoxFactory::instance().boxes().empty());
}

// Vertex data longer than a byte array of the file may be fail the export with the mesh, its size
// and the limit, unless 16-bit vertex buffers bring them under it.
TEST_F(CommandTest, OversizedVertexDataNamesMeshSizeAndLimit) {
    // 65535 vertices of 72 bytes: position, normal, four channels and the tangent frame.
    constexpr int faces = 21845;
    Mesh mesh;
    mesh.setNumVerts(faces * 3);
    mesh.setNumFaces(faces);
    for (int f = 0; f < faces; ++f) {
        mesh.setVert(f * 3, float(f), 0.0f, 0.0f);
        mesh.setVert(f * 3 + 1, float(f) + 1.0f, 0.0f, 0.0f);
        mesh.setVert(f * 3 + 2, float(f), 1.0f, 0.0f);
        mesh.faces[f].setVerts(f * 3, f * 3 + 1, f * 3 + 2);
        mesh.faces[f].setSmGroup(1);
    }
    for (int channel = 1; channel <= 4; ++channel) {
        mesh.setMapSupport(channel);
        mesh.Map(channel).tv.assign(mesh.verts.begin(), mesh.verts.end());
        for (int f = 0; f < faces; ++f) mesh.Map(channel).tf[f].setTVerts(f * 3, f * 3 + 1, f * 3 + 2);
    }
    scene().createNode("Wide")->SetObjectRef(scene().newTriObject(mesh));
    const std::string file = path("wide.zeq");

    ASSERT_EQ(exportThroughPlugin(file, std::vector{DialogStep::click(IDC_TANGENTS), DialogStep::click(IDC_OK)}),
              IMPEXP_SUCCESS);
    EXPECT_FALSE(std::filesystem::exists(file));
    const auto errors = boxes("Error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text,
              "The vertex buffer of the mesh \"Wide\" holds 4718520 bytes, more than the 4194303 a file allows; "
              "turning off \"Tangents/binormals\" or \"Normals\", turning on \"16bit vertex buffers\", or splitting "
              "the mesh makes it smaller");

    host.ui().clearMessageBoxes();
    const std::vector half{DialogStep::click(IDC_TANGENTS), DialogStep::click(IDC_16BIT_BUFFERS),
                           DialogStep::click(IDC_OK)};
    ASSERT_EQ(exportThroughPlugin(file, half), IMPEXP_SUCCESS);
    EXPECT_TRUE(boxes("Error").empty());
    EXPECT_EQ(readScene(file).root.vertexBuffers->get(0).byteBuffer.length(), 4718520 / 2);
}

TEST_F(CommandTest, MeshNodeWithoutGeometryCannotBeEncoded) {
    // A wrapped shape is classified as a mesh, but a shape without a mesh form yields no geometry.
    headless::Node* node = scene().createNode("Outline");
    node->SetObjectRef(scene().newDerivedObject(scene().newObject(SHAPE_CLASS_ID, SPLINE_SHAPE_CLASS_ID)));
    const std::string file = path("outline.zeq");
    ASSERT_EQ(exportThroughPlugin(file, std::nullopt), IMPEXP_SUCCESS);
    const auto errors = boxes("Error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "The object of node \"Outline\" cannot be converted to a triangle mesh");
    EXPECT_FALSE(std::filesystem::exists(file));

    // With tracks only, no mesh record is made and the export succeeds.
    host.ui().clearMessageBoxes();
    ASSERT_EQ(exportThroughPlugin(file, std::vector{DialogStep::click(IDC_ANIMATION_ONLY), DialogStep::click(IDC_OK)}),
              IMPEXP_SUCCESS);
    EXPECT_TRUE(boxes("Error").empty());
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(CommandTest, FailedExportLeavesAnExistingFileAlone) {
    const std::string file = path("keep.zeq");
    { std::ofstream(file, std::ios::binary) << "previous content"; }
    headless::Node* big = scene().createNode("Big");
    big->SetObjectRef(scene().newTriObject(oversizedMesh()));
    ASSERT_EQ(exportThroughPlugin(file, std::nullopt), IMPEXP_SUCCESS);
    ASSERT_EQ(boxes("Error").size(), 1u);
    const std::vector<uint8_t> bytes = fileBytes(file);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "previous content");
}

TEST_F(CommandTest, SuccessfulExportReplacesAnExistingFile) {
    const std::string file = path("replace.zeq");
    { std::ofstream(file, std::ios::binary) << "previous content"; }
    meshNode("Box");
    ASSERT_EQ(exportThroughPlugin(file, std::nullopt), IMPEXP_SUCCESS);
    EXPECT_TRUE(boxes("Error").empty());
    EXPECT_NO_THROW(readScene(file));
    // No temporary file is left beside the target.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

TEST_F(CommandTest, UnwritableFileIsReportedWithPathAndReason) {
    meshNode("Box");
    const std::string file = path("missing-folder/out.zeq");
    ASSERT_EQ(exportThroughPlugin(file, std::nullopt), IMPEXP_SUCCESS);
    const auto errors = boxes("Error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].text.find(file), std::string::npos) << errors[0].text;
    EXPECT_GT(errors[0].text.size(), file.size() + 2) << "the reason follows the path";
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(CommandTest, IdsStayStableAcrossExportsInOneProcess) {
    meshNode("A");
    helperNode("B");
    ASSERT_EQ(exportThroughPlugin(path("1.zeq"), std::nullopt), IMPEXP_SUCCESS);
    ASSERT_EQ(exportThroughPlugin(path("2.zeq"), std::nullopt), IMPEXP_SUCCESS);
    const SceneFile first = readScene(path("1.zeq"));
    const SceneFile second = readScene(path("2.zeq"));
    EXPECT_EQ(findByName(first.root.meshes, "A")->id, findByName(second.root.meshes, "A")->id);
    EXPECT_EQ(findByName(first.root.objects, "B")->id, findByName(second.root.objects, "B")->id);
    // Fresh ids (the ambient light's) continue from the last value.
    EXPECT_GT(second.root.ambientLights->get(0).id, first.root.ambientLights->get(0).id);
    EXPECT_GT(first.root.ambientLights->get(0).id, findByName(first.root.objects, "B")->id);
}

TEST_F(CommandTest, AnimationOnlyWithoutEnableExportWritesEmptyRoots) {
    meshNode("Box");
    const std::string file = path("empty.zeq");
    ASSERT_EQ(exportThroughPlugin(file, std::vector{DialogStep::click(IDC_ANIMATION_ONLY),
                                                    DialogStep::click(IDC_ANIMATION), DialogStep::click(IDC_OK)}),
              IMPEXP_SUCCESS);
    const SceneFile scene = readScene(file);
    EXPECT_EQ(scene.root, Zeq2{});
    EXPECT_EQ(scene.extra1, Zeq2Extra1{});
    EXPECT_EQ(scene.extra2, Zeq2Extra2{});
}

TEST_F(CommandTest, SelectedOptionBitExportsTheSelectionOnly) {
    headless::Node* a = helperNode("A");
    helperNode("B");
    host.SelectNode(a);
    ASSERT_EQ(exportThroughPlugin(path("sel.zeq"), std::nullopt, SCENE_EXPORT_SELECTED), IMPEXP_SUCCESS);
    EXPECT_EQ(namesOf(readScene(path("sel.zeq")).root.objects), std::vector<std::string>{"A"});
    ASSERT_EQ(exportThroughPlugin(path("all.zeq"), std::nullopt, 0), IMPEXP_SUCCESS);
    EXPECT_EQ(namesOf(readScene(path("all.zeq")).root.objects), (std::vector<std::string>{"A", "B"}));
}

TEST(FailureTextTest, EachKindOfFailureHasItsText) {
    auto textOf = [](auto&& raise) {
        try {
            raise();
        } catch (...) {
            return describeCurrentException();
        }
        return std::string("nothing thrown");
    };
    EXPECT_EQ(textOf([] { throw "TransformationFactory::createTransformation error\n"; }),
              "TransformationFactory::createTransformation error\n");
    EXPECT_EQ(textOf([] { throw std::string("error convert"); }), "error convert");
    EXPECT_EQ(textOf([] { throw ProtocolException("bad packet"); }), "bad packet");
    EXPECT_EQ(textOf([] { throw IndexBufferException(); }), "Too many faces in the mesh ");
    EXPECT_EQ(textOf([] { throw IndexBufferException(200000, "Field"); }),
              "Too many faces in the mesh \"Field\" (200000 triangles, at most 174762)");
    EXPECT_EQ(textOf([] { throw VertexBufferException(70000); }), "Too many vertices in the mesh ");
    EXPECT_EQ(textOf([] { throw std::runtime_error("The export made a material, map or image record without an id"); }),
              "The export made a material, map or image record without an id");
    EXPECT_EQ(textOf([] { throw 42; }), "EXPORT FAILED");
}

}  // namespace
}  // namespace zeq::walktest

// The EngineParams library as the host sees it: entry points, the descriptor's answers, the string
// table and page templates, the published "fphelper" interface and the utility started by the host,
// all through the built EngineParams.so.
#include "params/fp_helper.h"
#include "params/resources.h"
#include "support.h"

#include <dlfcn.h>

#include <filesystem>
#include <set>

namespace zeq::test {
namespace {

const std::string kLibraryPath = std::string(ZEQ_RUNTIME_DIR) + "/EngineParams.so";

class LoadedLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(kLibraryPath)) << kLibraryPath << " is built with the tests";
        ASSERT_TRUE(plugins.loadLibrary(kLibraryPath)) << plugins.failures().front().reason;
        host.setPlugins(&plugins);
        ASSERT_EQ(plugins.libraries().size(), 1u);
        ASSERT_EQ(plugins.libraries().front().classes.size(), 1u);
        desc = plugins.libraries().front().classes.front().desc;
    }
    FPValue call(FPInterface* fp, int fid, FPParams params, int expectedStatus = FPS_OK) {
        FPValue result;
        EXPECT_EQ(fp->Invoke(fid, result, params), expectedStatus) << fid;
        return result;
    }

    headless::PluginRegistry plugins;  // outlives the host
    headless::Host host;
    ClassDesc* desc = nullptr;
};

TEST_F(LoadedLibrary, EntryPointsDescriptorAndResources) {
    const headless::PluginLibraryInfo& library = plugins.libraries().front();
    EXPECT_EQ(library.description, "");
    EXPECT_EQ(library.version, HOST_SDK_VERSION);
    const headless::PluginClass& cls = library.classes.front();
    EXPECT_EQ(cls.className, "KeldaneGUP");
    EXPECT_EQ(cls.internalName, "KeldaneGUP");
    EXPECT_EQ(cls.category, "Keldane");
    EXPECT_EQ(cls.superClassID, 0x10E0u);
    EXPECT_EQ(cls.classID, Class_ID(0x7952E048, 0xB8163C3D));
    EXPECT_TRUE(cls.isPublic);

    void* handle = dlopen(kLibraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    auto libNumberClasses = reinterpret_cast<LibNumberClassesFn>(dlsym(handle, "LibNumberClasses"));
    auto libClassDesc = reinterpret_cast<LibClassDescFn>(dlsym(handle, "LibClassDesc"));
    auto libInitialize = reinterpret_cast<LibInitializeFn>(dlsym(handle, "LibInitialize"));
    ASSERT_TRUE(libNumberClasses && libClassDesc && libInitialize);
    EXPECT_EQ(libNumberClasses(), 1);
    EXPECT_EQ(libClassDesc(1), nullptr);
    EXPECT_EQ(libInitialize(), 1);
    EXPECT_EQ(dlsym(handle, "CanAutoDefer"), nullptr) << "the utility may be loaded late";
    dlclose(handle);

    char text[64] = {};
    EXPECT_EQ(LoadString(desc->HInstance(), 1, text, sizeof text), 0);
    const std::pair<int, const char*> strings[] = {{2, "Keldane"},        {3, "KeldaneGUP"},
                                                   {4, "Parameters"},     {5, "Spin"},
                                                   {6, "Zeq Parameters"}, {7, "Zeq Object Parameters"},
                                                   {8, "Zeq Container Parameters"}, {9, "Types"}};
    for (const auto& [id, expected] : strings) {
        EXPECT_GT(LoadString(desc->HInstance(), id, text, sizeof text), 0) << id;
        EXPECT_STREQ(text, expected);
    }

    // Every control id of the pages, each once per page.
    const std::pair<int, std::set<int>> pages[] = {
        {108, {1032, 1033, 1017}},
        {101, {1026, 1027, 1004, 1007, 1016, 1021, 1000, 1022, 1011, 1012, 1013, 1001, 1031}},
        {102, {1028, 1029, 1025, 1026, 1033, 1049, 1050, 1051, 1021, 1000, 1022, 1014, 1015, 1036, 1011, 1012, 1013, 1035}},
        {109, {}}};
    for (const auto& [templateId, ids] : pages) {
        const DialogTemplate* dialog = FindDialogTemplate(desc->HInstance(), templateId);
        ASSERT_NE(dialog, nullptr) << templateId;
        std::multiset<int> found;
        for (const DialogControl& c : dialog->controls)
            if (c.id != IDC_STATIC) found.insert(c.id);
        EXPECT_EQ(std::set<int>(found.begin(), found.end()), ids) << templateId;
        EXPECT_EQ(found.size(), ids.size()) << templateId;
    }
}

TEST_F(LoadedLibrary, FphelperAnswersForEmptyLists) {
    ASSERT_EQ(desc->NumInterfaces(), 1);
    FPInterface* fp = GetCOREInterface(Interface_ID(0x00434455, 0x00065654));
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(fp, desc->GetInterfaceAt(0));
    const FPInterfaceDesc& fpDesc = fp->GetDesc();
    EXPECT_EQ(fpDesc.internalName, "fphelper");
    EXPECT_EQ(fpDesc.flags, 4u);
    EXPECT_EQ(fpDesc.descriptionStringId, 3);
    ASSERT_EQ(fpDesc.functions.size(), 3u);
    EXPECT_EQ(fpDesc.functions[2].name, "getTypeValue");
    EXPECT_EQ(fpDesc.functions[2].params.size(), 2u);

    for (int helper : {0, 1, 2}) {
        EXPECT_FALSE(call(fp, 0, {helper}).asBool());
        EXPECT_EQ(call(fp, 1, {helper}).asInt(), 0);
        EXPECT_TRUE(call(fp, 2, {helper, 0}).isNone()) << "no names to read";
    }
    for (int outside : {-1, 3}) {
        EXPECT_FALSE(call(fp, 0, {outside}).asBool());
        EXPECT_EQ(call(fp, 1, {outside}).asInt(), -1);
        EXPECT_TRUE(call(fp, 2, {outside, 0}).isNone());
    }
    EXPECT_TRUE(call(fp, 7, {0}, FPS_NO_SUCH_FUNCTION).isNone());
    call(fp, 1, {}, FPS_FAIL);
    // An argument that is no integer names no list; it is not read as list 0.
    for (const FPValue& wrong : {FPValue(), FPValue(2.0f), FPValue("2"), FPValue(true)}) {
        call(fp, 0, {wrong}, FPS_FAIL);
        call(fp, 1, {wrong}, FPS_FAIL);
        call(fp, 2, {0, wrong}, FPS_FAIL);
    }
}

TEST_F(LoadedLibrary, HostStartsAndStopsTheUtility) {
    ASSERT_EQ(host.startGlobalUtilities(), 1);
    headless::Node* box = host.scene().createNode("Box");
    Mesh mesh;
    mesh.setNumVerts(3);
    mesh.setNumFaces(1);
    box->SetObjectRef(host.scene().newTriObject(mesh));
    host.SelectNode(box);
    BroadcastNotification(NOTIFY_SELECTIONSET_CHANGED);
    headless::RollupPage* alpha = host.ui().findOpenRollupPage("Zeq Parameters");
    ASSERT_NE(alpha, nullptr);
    ASSERT_TRUE(host.ui().findOpenRollupPage("Zeq Object Parameters"));
    ASSERT_TRUE(alpha->selectItem(IDC_BLEND_MODE, 0));
    const AppDataChunk* chunk = box->GetObjectRef()->GetAppDataChunk(KELDANE_GUP_CLASS_ID, GUP_CLASS_ID, BLEND_MODE);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(*static_cast<const int32_t*>(chunk->data), 0);

    host.stopGlobalUtilities();
    EXPECT_TRUE(host.ui().openRollupPages().empty());
    EXPECT_TRUE(host.globalUtilities().empty());
    BroadcastNotification(NOTIFY_SELECTIONSET_CHANGED);
    EXPECT_TRUE(host.ui().openRollupPages().empty());
}

// Filled lists, through the plug-in's own call (the test's linked copy of the library).
TEST(FphelperLists, FilledListsAreReported) {
    setHelperTypeList(0, {"wall", "floor"}, true);
    setHelperTypeList(2, {"spawn"}, false);
    setHelperTypeList(5, {"ignored"}, true);
    IFP_Helper& fp = fpHelper();
    EXPECT_TRUE(fp.isMultiType(0));
    EXPECT_FALSE(fp.isMultiType(2));
    EXPECT_EQ(fp.getTypeCount(0), 2);
    EXPECT_EQ(fp.getTypeCount(1), 0);
    EXPECT_EQ(fp.getTypeValue(0, 1), "floor");
    EXPECT_EQ(fp.getTypeValue(2, 0), "spawn");
    // Past the names there is nothing to read.
    EXPECT_EQ(fp.getTypeValue(0, 2), std::nullopt);
    EXPECT_EQ(fp.getTypeValue(0, -1), std::nullopt);
    FPValue result;
    EXPECT_EQ(fp.Invoke(FP_HELPER_GET_TYPE_VALUE, result, {0, 0}), FPS_OK);
    EXPECT_EQ(result.asString(), "wall");
    for (int i = 0; i < 3; ++i) setHelperTypeList(i, {}, false);
}

}  // namespace
}  // namespace zeq::test

// The SceneLoader library as the host sees it: entry points, the class descriptor, the importer's
// answers, the string table, and an import run through the loaded library.
#include "host/plugin_classes.h"
#include "import/resources.h"
#include "support.h"

#include <dlfcn.h>

namespace zeq::test {
namespace {

const std::string kLibraryPath = std::string(ZEQ_RUNTIME_DIR) + "/SceneLoader.so";

class LoadedLibrary : public ImportTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(kLibraryPath)) << kLibraryPath << " is built with the tests";
        ASSERT_TRUE(plugins_.loadLibrary(kLibraryPath)) << plugins_.failures().front().reason;
        host_.setPlugins(&plugins_);
    }
    headless::PluginRegistry plugins_;
};

TEST_F(LoadedLibrary, EntryPointsAndDescriptor) {
    ASSERT_EQ(plugins_.libraries().size(), 1u);
    const headless::PluginLibraryInfo& library = plugins_.libraries().front();
    EXPECT_EQ(library.description, "Zeq Import plugin v 1.17");
    EXPECT_EQ(library.version, HOST_SDK_VERSION);
    EXPECT_FALSE(library.canAutoDefer);
    ASSERT_EQ(library.classes.size(), 1u);
    const headless::PluginClass& cls = library.classes.front();
    EXPECT_EQ(cls.className, "SceneLoader");
    EXPECT_EQ(cls.category, "Keldane");
    EXPECT_EQ(cls.internalName, "ZeqImport");
    EXPECT_EQ(cls.superClassID, SCENE_IMPORT_CLASS_ID);
    EXPECT_EQ(cls.classID, Class_ID(0x4DDA2CFA, 0x577C5E82));
    EXPECT_TRUE(cls.isPublic);
    EXPECT_EQ(cls.desc->InitialRollupPageState(), 0x7FFFFFFFu);

    // Strings 4 and 5 of the library's table, through its module handle.
    char text[64] = {};
    ASSERT_NE(cls.desc->HInstance(), nullptr);
    EXPECT_GT(LoadString(cls.desc->HInstance(), IDS_PARAMS, text, sizeof text), 0);
    EXPECT_STREQ(text, "Parameters");
    EXPECT_GT(LoadString(cls.desc->HInstance(), IDS_SPIN, text, sizeof text), 0);
    EXPECT_STREQ(text, "Spin");

    // The same library mapped again: no descriptor past the first.
    void* handle = dlopen(kLibraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    auto libClassDesc = reinterpret_cast<LibClassDescFn>(dlsym(handle, "LibClassDesc"));
    ASSERT_NE(libClassDesc, nullptr);
    EXPECT_EQ(libClassDesc(0), cls.desc);
    EXPECT_EQ(libClassDesc(1), nullptr);
    EXPECT_EQ(libClassDesc(-1), nullptr);
    dlclose(handle);
}

TEST_F(LoadedLibrary, ImporterAnswers) {
    ClassDesc* desc = plugins_.findImporterFor("ZEQ");
    ASSERT_NE(desc, nullptr);
    std::unique_ptr<SceneImport> importer(static_cast<SceneImport*>(desc->Create(false)));
    EXPECT_EQ(importer->ExtCount(), 1);
    EXPECT_STREQ(importer->Ext(0), "Zeq");
    EXPECT_STREQ(importer->Ext(3), "Zeq");
    EXPECT_STREQ(importer->LongDesc(), "Keldane3D Scene");
    EXPECT_STREQ(importer->ShortDesc(), "Keldane3D Scene");
    EXPECT_STREQ(importer->OtherMessage1(), "");
    EXPECT_STREQ(importer->OtherMessage2(), "");
    EXPECT_EQ(importer->Version(), 200u);
    EXPECT_TRUE(importer->ZoomExtents());
    importer->ShowAbout(nullptr);
    EXPECT_TRUE(host_.ui().dialogs().empty());
    EXPECT_TRUE(boxes().empty());
}

TEST_F(LoadedLibrary, ImportsThroughTheLoadedLibrary) {
    SceneFile file;
    file.root = emptyRoot();
    file.root.objects->add(objectRecord(4, "Loaded", std::nullopt, moveTo(1, 2, 3)));
    // The host picks the importer by the file's extension, whatever its case.
    ASSERT_EQ(host_.importFile(writeScene(file, "scene.zeq"), true), IMPEXP_SUCCESS);
    ASSERT_NE(node("Loaded"), nullptr);
    EXPECT_TRUE(host_.ui().dialogs().empty());  // no options dialog, prompts or not
}

TEST(StringTable, LookupsShareOneBufferAndNeedTheModuleHandle) {
    PluginLibrary& library = importLibrary();
    library.Detach();
    EXPECT_EQ(GetString(IDS_CLASS_NAME), nullptr);
    EXPECT_EQ(GetZeqImportClassDesc()->HInstance(), nullptr);
    library.Attach();
    const char* first = GetString(IDS_LIBDESCRIPTION);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "Zeq Import plugin v 1.17");
    EXPECT_EQ(GetString(IDS_CATEGORY), first);  // the same buffer, overwritten
    EXPECT_STREQ(first, "Keldane");
    EXPECT_EQ(GetString(6), nullptr);
    EXPECT_STREQ(GetZeqImportClassDesc()->ClassName(), "SceneLoader");
    library.Detach();
}

}  // namespace
}  // namespace zeq::test

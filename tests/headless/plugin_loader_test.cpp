// Plug-in loading with the fixture libraries: entry points by name, the descriptor registry, string
// lookups, refusals, and running a plug-in's export command with its options dialog.
#include "headless/host.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using namespace headless;
namespace fs = std::filesystem;

const std::string kFixtures = ZEQ_FIXTURE_DIR;
const Class_ID kExportClass(0x0F1C7E01, 0x00000001);
const Class_ID kObjectClass(0x0F1C7E02, 0x00000002);

std::string Fixture(const std::string& name) { return kFixtures + "/fixture_" + name + ".so"; }

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh folder under the temporary directory, removed at the end of the test.
class TempFolder {
public:
    TempFolder() {
        path_ = fs::temp_directory_path() / ("zeq_headless_" + std::to_string(getpid()) + "_" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

TEST(PluginLoader, RegistersClassesOfAGoodLibrary) {
    PluginRegistry registry;
    ASSERT_TRUE(registry.loadLibrary(Fixture("good"))) << (registry.failures().empty() ? "" : registry.failures()[0].reason);
    ASSERT_EQ(registry.libraries().size(), 1u);
    const PluginLibraryInfo& info = registry.libraries()[0];
    EXPECT_EQ(info.fileName, "fixture_good.so");
    EXPECT_EQ(info.description, "Fixture plug-in library");
    EXPECT_EQ(info.version, 0x32C82300u);
    EXPECT_FALSE(info.canAutoDefer);
    ASSERT_EQ(info.classes.size(), 2u);
    EXPECT_EQ(info.classes[0].className, "FixtureExport");
    EXPECT_EQ(info.classes[0].category, "Testing");
    EXPECT_EQ(info.classes[0].superClassID, SCENE_EXPORT_CLASS_ID);
    EXPECT_EQ(info.classes[1].internalName, "FixtureObject");

    ClassDesc* exporter = registry.find(SCENE_EXPORT_CLASS_ID, kExportClass);
    ASSERT_NE(exporter, nullptr);
    EXPECT_EQ(registry.find(GEOMOBJECT_CLASS_ID, kExportClass), nullptr);  // keyed by both ids
    EXPECT_EQ(registry.findExporterFor("FXT"), exporter);
    EXPECT_EQ(registry.findExporterFor("zeq"), nullptr);
    // The descriptor's module handle finds the library's own strings.
    char buffer[256];
    ASSERT_NE(exporter->HInstance(), nullptr);
    EXPECT_EQ(LoadString(exporter->HInstance(), 5, buffer, sizeof(buffer)), 255);
    EXPECT_EQ(LoadString(exporter->HInstance(), 99, buffer, sizeof(buffer)), 0);

    // Loading the same library again registers nothing twice.
    EXPECT_TRUE(registry.loadLibrary(Fixture("good")));
    EXPECT_EQ(registry.failures().size(), 2u);
    EXPECT_NE(registry.failures()[0].reason.find("already registered"), std::string::npos);
}

TEST(PluginLoader, EntryPointsAreFoundByName) {
    void* handle = dlopen(Fixture("good").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto description = reinterpret_cast<LibDescriptionFn>(dlsym(handle, "LibDescription"));
    auto count = reinterpret_cast<LibNumberClassesFn>(dlsym(handle, "LibNumberClasses"));
    auto classDesc = reinterpret_cast<LibClassDescFn>(dlsym(handle, "LibClassDesc"));
    auto version = reinterpret_cast<LibVersionFn>(dlsym(handle, "LibVersion"));
    auto initialize = reinterpret_cast<LibInitializeFn>(dlsym(handle, "LibInitialize"));
    auto shutdown = reinterpret_cast<LibShutdownFn>(dlsym(handle, "LibShutdown"));
    auto canAutoDefer = reinterpret_cast<CanAutoDeferFn>(dlsym(handle, "CanAutoDefer"));
    ASSERT_TRUE(description && count && classDesc && version && initialize && shutdown && canAutoDefer);
    // The module handle was stored when the library was loaded, so the description is there.
    ASSERT_NE(description(), nullptr);
    EXPECT_STREQ(description(), "Fixture plug-in library");
    EXPECT_EQ(count(), 2);
    ASSERT_NE(classDesc(0), nullptr);
    EXPECT_EQ(classDesc(0)->ClassID(), kExportClass);
    EXPECT_EQ(classDesc(1)->ClassID(), kObjectClass);
    EXPECT_EQ(classDesc(2), nullptr);
    EXPECT_EQ(classDesc(-1), nullptr);
    EXPECT_EQ(version(), HOST_SDK_VERSION);
    EXPECT_EQ(initialize(), 1);
    EXPECT_EQ(shutdown(), 1);
    EXPECT_EQ(canAutoDefer(), 0);
    dlclose(handle);
}

TEST(PluginLoader, RefusesLibrariesAndKeepsLoadingTheOthers) {
    TempFolder folder;
    fs::copy_file(Fixture("good"), folder.path() / "a_good.so");
    fs::copy_file(Fixture("no_class_desc"), folder.path() / "b_no_class_desc.so");
    fs::copy_file(Fixture("old_version"), folder.path() / "c_old_version.so");
    std::ofstream(folder.path() / "d_garbage.so") << "not a library";
    std::ofstream(folder.path() / "notes.txt") << "ignored";

    PluginRegistry registry;
    EXPECT_EQ(registry.loadFolder(folder.path().string()), 1);
    ASSERT_EQ(registry.libraries().size(), 1u);
    EXPECT_EQ(registry.libraries()[0].fileName, "a_good.so");
    ASSERT_EQ(registry.failures().size(), 3u);
    EXPECT_EQ(registry.failures()[0].fileName, "b_no_class_desc.so");
    EXPECT_EQ(registry.failures()[0].reason, "missing entry point LibClassDesc");
    EXPECT_EQ(registry.failures()[1].fileName, "c_old_version.so");
    EXPECT_NE(registry.failures()[1].reason.find("unsupported version 0x32C82200"), std::string::npos);
    EXPECT_EQ(registry.failures()[2].fileName, "d_garbage.so");
    EXPECT_FALSE(registry.failures()[2].reason.empty());

    PluginRegistry missing;
    EXPECT_EQ(missing.loadFolder((folder.path() / "nowhere").string()), 0);
    ASSERT_EQ(missing.failures().size(), 1u);
    EXPECT_NE(missing.failures()[0].reason.find("cannot read the plug-in folder"), std::string::npos);
}

TEST(PluginLoader, InitializesOnLoadAndShutsDownOnce) {
    using Counters = void (*)(int*, int*);
    int init = -1, down = -1;
    {
        PluginRegistry registry;
        ASSERT_TRUE(registry.loadLibrary(Fixture("manual")));
        EXPECT_FALSE(registry.libraries()[0].hasDescription == false);
        EXPECT_TRUE(registry.libraries()[0].canAutoDefer);  // it defines no CanAutoDefer
        void* handle = dlopen(Fixture("manual").c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(handle, nullptr);
        auto counters = reinterpret_cast<Counters>(dlsym(handle, "FixtureCounters"));
        ASSERT_NE(counters, nullptr);
        counters(&init, &down);
        EXPECT_EQ(init, 1);
        EXPECT_EQ(down, 0);
        registry.shutdown();
        registry.shutdown();
        counters(&init, &down);
        EXPECT_EQ(down, 1);
        dlclose(handle);
    }
    void* handle = dlopen(Fixture("manual").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);  // still mapped after the registry is gone
    reinterpret_cast<Counters>(dlsym(handle, "FixtureCounters"))(&init, &down);
    EXPECT_EQ(down, 1);  // the destructor did not shut it down a second time
    dlclose(handle);
}

TEST(PluginLoader, ExportCommandRunsItsDialogThroughTheHost) {
    PluginRegistry registry;
    ASSERT_TRUE(registry.loadLibrary(Fixture("good")));
    Host host;
    host.setPlugins(&registry);
    host.ui().setProgressStream(nullptr);
    host.scene().createNode("One");
    host.scene().createNode("Two");
    TempFolder folder;
    fs::path out = folder.path() / "scene.fxt";

    host.ui().queueDialog({DialogStep::click(1006), DialogStep::clickText("OK")});
    EXPECT_EQ(host.exportFile(out.string(), false, SCENE_EXPORT_SELECTED), IMPEXP_SUCCESS);
    EXPECT_EQ(ReadFile(out), "normals=1\ntangents=1\nselected=1\nchildren=2\nticks=160\n"
                             "messages=init(7) command(1006) command(1003)\n");
    EXPECT_TRUE(host.ui().messageBoxes().empty());
    ASSERT_EQ(host.ui().progressEvents().size(), 3u);

    host.ui().queueDialog({DialogStep::click(1004)});
    EXPECT_EQ(host.exportFile(out.string()), IMPEXP_CANCEL);
    EXPECT_EQ(host.exportFile(out.string()), IMPEXP_FAIL);  // no driver: the dialog cannot run
    EXPECT_EQ(host.exportFile(out.string(), true), IMPEXP_SUCCESS);
    ASSERT_EQ(host.ui().messageBoxes().size(), 1u);
    EXPECT_EQ(host.ui().messageBoxes()[0].text, "Normals are off");
    EXPECT_EQ(host.ui().messageBoxes()[0].type, MB_OK | MB_ICONWARNING);
    EXPECT_EQ(host.exportFile((folder.path() / "scene.unknown").string()), -1);
}

TEST(PluginLoader, PluginObjectsGetAutomaticParameterBlocks) {
    PluginRegistry registry;
    ASSERT_TRUE(registry.loadLibrary(Fixture("good")));
    Host host;
    host.setPlugins(&registry);
    auto* obj = static_cast<Object*>(host.CreateInstance(GEOMOBJECT_CLASS_ID, kObjectClass));
    ASSERT_NE(obj, nullptr);
    EXPECT_TRUE(host.scene().owns(obj));
    IParamBlock2* block = obj->GetParamBlock(0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(obj->GetParamBlockByID(3), block);
    EXPECT_EQ(block->GetFloat(0), 32.0f);
    EXPECT_EQ(block->GetInt(1), 1);
    EXPECT_EQ(block->Count(2), 0);
    Node* node = host.scene().createNode("Square");
    node->SetObjectRef(obj);
    INode* targets[] = {node};
    EXPECT_EQ(block->Append(2, 1, targets), 1);
    block->SetValue(0, 0, 2.0f);

    ASSERT_TRUE(obj->CanConvertToType(TRIOBJ_CLASS_ID));
    auto* tri = static_cast<TriObject*>(obj->ConvertToType(0, TRIOBJ_CLASS_ID));
    ASSERT_NE(tri, nullptr);
    tri->mesh.buildBoundingBox();
    EXPECT_EQ(tri->mesh.getBoundingBox().Max(), Point3(2, 2, 0));
    // The scene frees the plug-in object, and the object its block, when the host ends.
}

}  // namespace

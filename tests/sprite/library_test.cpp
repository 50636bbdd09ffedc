// The Sprite library as the host sees it: entry points, the class descriptor's answers, the string
// table, the parameter block description and the rollup page, through the built Sprite.so.
#include "support.h"

#include <dlfcn.h>

#include <filesystem>

namespace zeq::spritetest {
namespace {

const std::string kLibraryPath = std::string(ZEQ_RUNTIME_DIR) + "/Sprite.so";

class LoadedLibrary : public SpriteTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(kLibraryPath)) << kLibraryPath << " is built with the tests";
        ASSERT_TRUE(plugins.loadLibrary(kLibraryPath)) << plugins.failures().front().reason;
        host.setPlugins(&plugins);
        ASSERT_EQ(plugins.libraries().size(), 1u);
        ASSERT_EQ(plugins.libraries().front().classes.size(), 1u);
        desc = plugins.libraries().front().classes.front().desc;
    }
    headless::PluginRegistry plugins;
    ClassDesc* desc = nullptr;
};

TEST_F(LoadedLibrary, EntryPointsAndDescriptor) {
    const headless::PluginLibraryInfo& library = plugins.libraries().front();
    EXPECT_EQ(library.description, "");  // string 1 does not exist
    EXPECT_EQ(library.version, HOST_SDK_VERSION);
    EXPECT_FALSE(library.canAutoDefer);
    const headless::PluginClass& cls = library.classes.front();
    EXPECT_EQ(cls.className, "Sprite");
    EXPECT_EQ(cls.category, "Keldane");
    EXPECT_EQ(cls.internalName, "Sprite");
    EXPECT_EQ(cls.superClassID, GEOMOBJECT_CLASS_ID);
    EXPECT_EQ(cls.classID, Class_ID(0x8264D187, 0x6912FD2F));
    EXPECT_TRUE(cls.isPublic);
    EXPECT_TRUE(desc->OkToCreate(&host));
    EXPECT_EQ(desc->InitialRollupPageState(), 0x7FFFFFFFu);

    char text[64] = {};
    ASSERT_NE(desc->HInstance(), nullptr);
    EXPECT_EQ(LoadString(desc->HInstance(), IDS_SPRITE_LIBDESCRIPTION, text, sizeof text), 0);
    const std::pair<int, const char*> strings[] = {
        {2, "Keldane"}, {3, "Sprite"}, {4, "Parameters"}, {5, "Spin"}, {6, "CheckBox"}};
    for (const auto& [id, expected] : strings) {
        EXPECT_GT(LoadString(desc->HInstance(), id, text, sizeof text), 0) << id;
        EXPECT_STREQ(text, expected);
    }

    void* handle = dlopen(kLibraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    auto libDescription = reinterpret_cast<LibDescriptionFn>(dlsym(handle, "LibDescription"));
    auto libClassDesc = reinterpret_cast<LibClassDescFn>(dlsym(handle, "LibClassDesc"));
    auto libNumberClasses = reinterpret_cast<LibNumberClassesFn>(dlsym(handle, "LibNumberClasses"));
    auto canAutoDefer = reinterpret_cast<CanAutoDeferFn>(dlsym(handle, "CanAutoDefer"));
    ASSERT_TRUE(libDescription && libClassDesc && libNumberClasses && canAutoDefer);
    EXPECT_EQ(libDescription(), nullptr);
    EXPECT_EQ(libNumberClasses(), 1);
    EXPECT_EQ(canAutoDefer(), 0);
    EXPECT_EQ(libClassDesc(0), desc);
    EXPECT_EQ(libClassDesc(1), nullptr);
    dlclose(handle);
}

TEST_F(LoadedLibrary, ParameterBlockDescription) {
    auto* desc2 = dynamic_cast<ClassDesc2*>(desc);
    ASSERT_NE(desc2, nullptr);
    ASSERT_EQ(desc2->NumParamBlockDescs(), 1);
    const ParamBlockDesc2* block = desc2->GetParamBlockDesc(0);
    EXPECT_EQ(block->id, 3);
    EXPECT_STREQ(block->internalName, "params");
    EXPECT_EQ(block->localNameId, 0);
    EXPECT_EQ(block->flags, P_AUTO_CONSTRUCT | P_AUTO_UI);
    EXPECT_EQ(block->ref, 0);
    EXPECT_EQ(block->dialogTemplateId, 101);
    EXPECT_EQ(block->titleStringId, 4);
    EXPECT_EQ(block->classDesc, desc2);

    struct Expected {
        ParamID id;
        const char* name;
        ParamType2 type;
        float defaultValue, low, high;
        ParamControlKind control;
        int edit, spinner;
        float step;
    };
    const Expected expected[] = {
        {0, "originX", TYPE_FLOAT, 0.5f, 0.0f, 1.0f, ParamControlKind::FloatSpinner, 1002, 1005, 0.1f},
        {1, "originY", TYPE_FLOAT, 0.5f, 0.0f, 1.0f, ParamControlKind::FloatSpinner, 1008, 1006, 0.1f},
        {2, "rotation", TYPE_INT, 0.0f, -180.0f, 180.0f, ParamControlKind::IntSpinner, 1004, 1007, 1.0f},
        {3, "perspectiveScale", TYPE_BOOL, 1.0f, 0.0f, 0.0f, ParamControlKind::CheckBox, 1010, 0, 0.0f},
        {4, "width", TYPE_FLOAT, 32.0f, 0.0f, 100000000.0f, ParamControlKind::FloatSpinner, 1009, 1011, 1.0f},
        {5, "height", TYPE_FLOAT, 32.0f, 0.0f, 100000000.0f, ParamControlKind::FloatSpinner, 1012, 1013, 1.0f},
        {6, "autosize", TYPE_BOOL, 0.0f, 0.0f, 0.0f, ParamControlKind::CheckBox, 1003, 0, 0.0f},
    };
    ASSERT_EQ(block->params.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const ParamDef& def = block->params[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(def.id, e.id);
        EXPECT_STREQ(def.internalName, e.name);
        EXPECT_EQ(def.type, e.type);
        EXPECT_EQ(def.flags, P_ANIMATABLE);
        EXPECT_EQ(def.localNameId, e.type == TYPE_BOOL ? 6 : 5);
        const float value = e.type == TYPE_FLOAT ? def.defaultFloat : static_cast<float>(def.defaultInt);
        EXPECT_EQ(value, e.defaultValue);
        EXPECT_EQ(def.rangeLow, e.low);
        EXPECT_EQ(def.rangeHigh, e.high);
        EXPECT_EQ(def.control, e.control);
        EXPECT_EQ(def.editId, e.edit);
        EXPECT_EQ(def.spinnerId, e.spinner);
        EXPECT_FLOAT_EQ(def.spinnerStep, e.step);
    }
}

TEST_F(LoadedLibrary, RollupPageTemplate) {
    const DialogTemplate* page = FindDialogTemplate(desc->HInstance(), 101);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->width, 105);
    EXPECT_EQ(page->height, 123);
    struct Expected {
        int id;
        ControlKind kind;
        const char* text;
        int x, y, w, h;
    };
    const Expected expected[] = {
        {IDC_STATIC, ControlKind::StaticText, "OriginX", 42, 6, 24, 12},
        {1002, ControlKind::EditText, "", 72, 6, 24, 12},
        {1005, ControlKind::Spinner, "", 96, 6, 6, 12},
        {IDC_STATIC, ControlKind::StaticText, "OriginY", 42, 24, 24, 12},
        {1008, ControlKind::EditText, "", 72, 24, 24, 12},
        {1006, ControlKind::Spinner, "", 96, 24, 6, 12},
        {IDC_STATIC, ControlKind::StaticText, "Rotation", 42, 42, 26, 8},
        {1004, ControlKind::EditText, "", 72, 42, 24, 12},
        {1007, ControlKind::Spinner, "", 96, 42, 6, 12},
        {1003, ControlKind::CheckBox, "Autosize", 6, 60, 42, 10},
        {IDC_STATIC, ControlKind::StaticText, "Width", 42, 72, 18, 8},
        {1009, ControlKind::EditText, "", 72, 72, 24, 12},
        {1011, ControlKind::Spinner, "", 96, 72, 6, 12},
        {IDC_STATIC, ControlKind::StaticText, "Height", 42, 90, 21, 8},
        {1012, ControlKind::EditText, "", 72, 90, 24, 12},
        {1013, ControlKind::Spinner, "", 96, 90, 6, 12},
        {1010, ControlKind::CheckBox, "PerspectiveScale", 6, 108, 66, 10},
    };
    ASSERT_EQ(page->controls.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const DialogControl& c = page->controls[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.kind, e.kind);
        EXPECT_STREQ(c.text, e.text);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.width, e.w);
        EXPECT_EQ(c.height, e.h);
    }
}

TEST_F(LoadedLibrary, CreatedSpriteHasItsBlockAtTheDefaults) {
    auto* obj = static_cast<Object*>(host.CreateInstance(GEOMOBJECT_CLASS_ID, SPRITE_CLASS_ID));
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->ClassID(), SPRITE_CLASS_ID);
    EXPECT_EQ(obj->SuperClassID(), GEOMOBJECT_CLASS_ID);
    EXPECT_STREQ(obj->GetObjectName(), "Sprite");
    std::string className;
    obj->GetClassName(className);
    EXPECT_EQ(className, "Sprite");
    IParamBlock2* block = obj->GetParamBlockByID(3);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->NumParams(), 7);
    EXPECT_EQ(block->GetFloat(SPRITE_PARAM_ORIGIN_X), 0.5f);
    EXPECT_EQ(block->GetFloat(SPRITE_PARAM_ORIGIN_Y), 0.5f);
    EXPECT_EQ(block->GetInt(SPRITE_PARAM_ROTATION), 0);
    EXPECT_EQ(block->GetInt(SPRITE_PARAM_PERSPECTIVE_SCALE), 1);
    EXPECT_EQ(block->GetFloat(SPRITE_PARAM_WIDTH), 32.0f);
    EXPECT_EQ(block->GetFloat(SPRITE_PARAM_HEIGHT), 32.0f);
    EXPECT_EQ(block->GetInt(SPRITE_PARAM_AUTOSIZE), 0);
    EXPECT_STREQ(block->GetParamName(SPRITE_PARAM_PERSPECTIVE_SCALE), "perspectiveScale");
}

TEST_F(LoadedLibrary, EditingShowsTheRollupPageWithTheBlocksValues) {
    auto* obj = static_cast<Object*>(host.CreateInstance(GEOMOBJECT_CLASS_ID, SPRITE_CLASS_ID));
    ASSERT_NE(obj, nullptr);
    obj->GetParamBlock(0)->SetValue(SPRITE_PARAM_WIDTH, 0, 48.5f);
    obj->GetParamBlock(0)->SetValue(SPRITE_PARAM_ROTATION, 0, -30);
    obj->BeginEditParams(&host, 0, nullptr);

    const auto open = host.ui().openRollupPages();
    ASSERT_EQ(open.size(), 1u);
    const headless::RollupPage& page = *open.front();
    EXPECT_EQ(page.title(), "Parameters");
    EXPECT_EQ(page.block(), obj->GetParamBlock(0));
    EXPECT_EQ(page.control(1002)->text, "0.5");
    EXPECT_EQ(page.control(1004)->text, "-30");
    EXPECT_EQ(page.control(1009)->text, "48.5");
    EXPECT_EQ(page.control(1012)->text, "32");
    EXPECT_TRUE(page.control(1010)->checked);
    EXPECT_FALSE(page.control(1003)->checked);
    EXPECT_EQ(SimpleObject::editOb, obj);

    obj->EndEditParams(&host, END_EDIT_REMOVEUI, nullptr);
    EXPECT_TRUE(host.ui().openRollupPages().empty());
    EXPECT_EQ(host.ui().rollupPages().size(), 1u);
    EXPECT_EQ(SimpleObject::editOb, nullptr);
}

// The library-wide parameter interface, through the linked logic (the loaded library keeps its own).
TEST_F(SpriteTest, EditInterfaceIsRememberedBetweenBeginAndEnd) {
    Sprite* sprite = addSprite();
    EXPECT_EQ(SpriteEditInterface(), nullptr);
    sprite->BeginEditParams(&host, 0, nullptr);
    EXPECT_EQ(SpriteEditInterface(), &host);
    EXPECT_EQ(GetSpriteClassDesc()->NumOpenRollupPages(), 1);
    // A second begin without an end shows the page once, not twice.
    sprite->BeginEditParams(&host, 0, nullptr);
    EXPECT_EQ(host.ui().openRollupPages().size(), 1u);
    sprite->EndEditParams(&host, END_EDIT_REMOVEUI, nullptr);
    EXPECT_EQ(SpriteEditInterface(), nullptr);
    EXPECT_EQ(GetSpriteClassDesc()->NumOpenRollupPages(), 0);
    EXPECT_TRUE(host.ui().openRollupPages().empty());
}

}  // namespace
}  // namespace zeq::spritetest

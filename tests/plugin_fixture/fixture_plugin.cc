// A small plug-in library built only for the headless host's tests. One source, several variants
// (chosen by ZEQ_FIXTURE_VARIANT when it is compiled):
//   0  a complete library made with the entry-point helpers: an exporter with an options dialog and
//      a procedural object with an automatic parameter block;
//   1  a library whose entry points are written out by hand and that counts LibInitialize and
//      LibShutdown calls (read back through FixtureCounters);
//   2  like 1 but without LibClassDesc;
//   3  like 1 but reporting another API version.
// The file ends in .cc so that the test folders' *.cpp globbing leaves it alone.
#include "host/host.h"

#include <cstdio>
#include <string>

#ifndef ZEQ_FIXTURE_VARIANT
#define ZEQ_FIXTURE_VARIANT 0
#endif

namespace {

#define FIXTURE_X10 "xxxxxxxxxx"
#define FIXTURE_X100 FIXTURE_X10 FIXTURE_X10 FIXTURE_X10 FIXTURE_X10 FIXTURE_X10 \
    FIXTURE_X10 FIXTURE_X10 FIXTURE_X10 FIXTURE_X10 FIXTURE_X10

constexpr StringResource kStrings[] = {
    {1, "Fixture plug-in library"},
    {2, "Testing"},
    {3, "FixtureExport"},
    {4, "FixtureObject"},
    {5, FIXTURE_X100 FIXTURE_X100 FIXTURE_X100},  // 300 characters: longer than the string buffer
    {6, ""},
};

constexpr int kOptionsDialog = 101;
constexpr int kNormals = 1005;
constexpr int kTangents = 1006;
constexpr int kExtra = 1007;
constexpr int kOk = 1003;
constexpr int kCancel = 1004;

constexpr DialogControl kOptionsControls[] = {
    {.id = IDC_STATIC, .kind = ControlKind::Group, .text = "Options"},
    {.id = kNormals, .kind = ControlKind::CheckBox, .text = "Normals"},
    {.id = kTangents, .kind = ControlKind::CheckBox, .text = "Tangents"},
    {.id = kExtra, .kind = ControlKind::CheckBox, .text = "Extra", .checked = true, .enabled = false},
    {.id = kOk, .kind = ControlKind::Button, .text = "OK"},
    {.id = kCancel, .kind = ControlKind::Button, .text = "Cancel"},
};

constexpr DialogTemplate kDialogs[] = {
    {.id = kOptionsDialog, .caption = "Fixture options", .controls = kOptionsControls},
};

}  // namespace

PluginLibrary gFixtureLibrary{{"Fixture", kStrings, kDialogs}};

#if ZEQ_FIXTURE_VARIANT == 0

namespace {

// What the options dialog left behind, and the messages its procedure saw.
struct FixtureOptions {
    bool normals = false;
    bool tangents = false;
    std::string messages;
} gOptions;

intptr_t OptionsProc(DialogWindow* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case WM_INITDIALOG:
        gOptions = {};
        gOptions.messages = "init(" + std::to_string(lParam) + ")";
        dialog->CenterOnParent();
        return 1;
    case WM_COMMAND: {
        int id = static_cast<int>(wParam);
        gOptions.messages += " command(" + std::to_string(id) + ")";
        switch (id) {
        case kOk: dialog->EndDialog(1); return 1;
        case kNormals: gOptions.normals = dialog->IsButtonChecked(kNormals); return 1;
        case kTangents:
            gOptions.tangents = dialog->IsButtonChecked(kTangents);
            if (gOptions.tangents) {
                dialog->CheckButton(kNormals, true);
                gOptions.normals = true;
            }
            dialog->EnableControl(kNormals, !gOptions.tangents);
            return 1;
        default: dialog->EndDialog(2); return 1;
        }
    }
    case WM_CLOSE:
        gOptions.messages += " close";
        dialog->EndDialog(2);
        return 1;
    default: return 0;
    }
}

// Writes a small report of the options and the scene as the plug-in sees it through the host.
class FixtureExport : public SceneExport {
public:
    int ExtCount() override { return 1; }
    const char* Ext(int) override { return "fxt"; }
    const char* LongDesc() override { return "Fixture scene"; }
    const char* ShortDesc() override { return "Fixture"; }
    const char* AuthorName() override { return "Tests"; }
    const char* CopyrightMessage() override { return ""; }
    const char* OtherMessage1() override { return ""; }
    const char* OtherMessage2() override { return ""; }
    unsigned int Version() override { return 1; }
    void ShowAbout(WindowHandle) override {}
    bool SupportsOptions(int, uint32_t) override { return true; }

    int DoExport(const char* name, ExpInterface*, Interface* ip, bool suppressPrompts, uint32_t options) override {
        intptr_t result = 1;
        if (!suppressPrompts) {
            result = DialogBoxParam(gFixtureLibrary.Handle(), kOptionsDialog, GetActiveWindow(), OptionsProc, 7);
            if (result == 2) return IMPEXP_CANCEL;
            if (result != 1) return IMPEXP_FAIL;
        }
        ip->ProgressStart("Fixture export", true, nullptr, nullptr);
        ip->ProgressUpdate(50, true, "Writing...");
        std::FILE* out = std::fopen(name, "w");
        if (out) {
            std::fprintf(out, "normals=%d\ntangents=%d\nselected=%u\nchildren=%d\nticks=%d\nmessages=%s\n",
                         gOptions.normals ? 1 : 0, gOptions.tangents ? 1 : 0, options & SCENE_EXPORT_SELECTED,
                         GetCOREInterface()->GetRootNode()->NumberOfChildren(), GetTicksPerFrame(),
                         gOptions.messages.c_str());
            std::fclose(out);
        }
        if (!gOptions.normals) MessageBox(GetActiveWindow(), "Normals are off", "Fixture", MB_OK | MB_ICONWARNING);
        ip->ProgressEnd();
        return IMPEXP_SUCCESS;
    }
};

class FixtureExportClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(bool) override { return static_cast<SceneExport*>(new FixtureExport); }
    const char* ClassName() override { return gFixtureLibrary.GetString(3); }
    SClass_ID SuperClassID() override { return SCENE_EXPORT_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x0F1C7E01, 0x00000001); }
    const char* Category() override { return gFixtureLibrary.GetString(2); }
    const char* InternalName() override { return "FixtureExport"; }
    ModuleHandle HInstance() override { return gFixtureLibrary.Handle(); }
} gExportDesc;

// A procedural square whose side is its "size" parameter.
class FixtureObjectClassDesc;
FixtureObjectClassDesc& ObjectDesc();

constexpr Class_ID kObjectClassID{0x0F1C7E02, 0x00000002};
constexpr BlockID kObjectBlock = 3;
enum : ParamID { kSize = 0, kFlag = 1, kTargets = 2 };

class FixtureObject : public SimpleObject2 {
public:
    FixtureObject();
    Class_ID ClassID() override { return kObjectClassID; }
    const char* GetObjectName() override { return "FixtureObject"; }
    void BuildMesh(TimeValue t) override {
        float s = pblock2 ? pblock2->GetFloat(kSize, t) : 0.0f;
        mesh.setNumVerts(4);
        mesh.setNumFaces(2);
        mesh.verts = {{0.0f, 0.0f, 0.0f}, {s, 0.0f, 0.0f}, {s, s, 0.0f}, {0.0f, s, 0.0f}};
        mesh.faces[0].setVerts(0, 1, 2);
        mesh.faces[1].setVerts(0, 2, 3);
        ivalid = FOREVER;
    }
};

ParamBlockDesc2 gObjectBlock = [] {
    ParamBlockDesc2 desc;
    desc.id = kObjectBlock;
    desc.internalName = "params";
    desc.flags = P_AUTO_CONSTRUCT;
    desc.ref = 0;
    ParamDef size;
    size.id = kSize;
    size.internalName = "size";
    size.type = TYPE_FLOAT;
    size.defaultFloat = 32.0f;
    ParamDef flag;
    flag.id = kFlag;
    flag.internalName = "flag";
    flag.type = TYPE_BOOL;
    flag.defaultInt = 1;
    ParamDef targets;
    targets.id = kTargets;
    targets.internalName = "targets";
    targets.type = TYPE_INODE_TAB;
    targets.flags = P_VARIABLE_SIZE;
    desc.params = {size, flag, targets};
    return desc;
}();

class FixtureObjectClassDesc : public ClassDesc2 {
public:
    FixtureObjectClassDesc() { AddParamBlockDesc(&gObjectBlock); }
    int IsPublic() override { return 1; }
    void* Create(bool) override { return static_cast<Object*>(new FixtureObject); }
    const char* ClassName() override { return gFixtureLibrary.GetString(4); }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return kObjectClassID; }
    const char* Category() override { return gFixtureLibrary.GetString(2); }
    const char* InternalName() override { return "FixtureObject"; }
    ModuleHandle HInstance() override { return gFixtureLibrary.Handle(); }
};

FixtureObjectClassDesc& ObjectDesc() {
    static FixtureObjectClassDesc desc;
    return desc;
}

FixtureObject::FixtureObject() { ObjectDesc().MakeAutoParamBlocks(this); }

}  // namespace

ZEQ_LIBRARY_ENTRY_POINTS(gFixtureLibrary, 1, &gExportDesc, &ObjectDesc())
ZEQ_LIBRARY_NO_AUTO_DEFER()

#else  // hand-written entry points

namespace {

int gInitializeCalls = 0;
int gShutdownCalls = 0;

class PlainDesc : public ClassDesc {
public:
    int IsPublic() override { return 0; }
    void* Create(bool) override { return nullptr; }
    const char* ClassName() override { return "Plain"; }
    SClass_ID SuperClassID() override { return UTILITY_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x0F1C7E03, ZEQ_FIXTURE_VARIANT); }
    const char* Category() override { return "Testing"; }
} gPlainDesc;

__attribute__((constructor)) void AttachFixture() { gFixtureLibrary.Attach(); }

}  // namespace

ZEQ_PLUGIN_EXPORT const char* LibDescription() { return gFixtureLibrary.GetString(1); }
ZEQ_PLUGIN_EXPORT int LibNumberClasses() { return 1; }
#if ZEQ_FIXTURE_VARIANT != 2
ZEQ_PLUGIN_EXPORT ClassDesc* LibClassDesc(int i) { return i == 0 ? &gPlainDesc : nullptr; }
#endif
#if ZEQ_FIXTURE_VARIANT == 3
ZEQ_PLUGIN_EXPORT uint32_t LibVersion() { return (HOST_RELEASE << 16) | ((HOST_API_NUM - 1) << 8); }
#else
ZEQ_PLUGIN_EXPORT uint32_t LibVersion() { return HOST_SDK_VERSION; }
#endif
ZEQ_PLUGIN_EXPORT int LibInitialize() { return ++gInitializeCalls, 1; }
ZEQ_PLUGIN_EXPORT int LibShutdown() { return ++gShutdownCalls, 1; }
// Lets a test read how often the host called the two entry points above.
ZEQ_PLUGIN_EXPORT void FixtureCounters(int* initializeCalls, int* shutdownCalls) {
    *initializeCalls = gInitializeCalls;
    *shutdownCalls = gShutdownCalls;
}

#endif

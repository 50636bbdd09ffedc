#pragma once
// The Export plug-in class: its library resources (string table and the options dialog), the
// class descriptor, the scene-exporter object and the options dialog procedure.
#include "host/host.h"
#include "host/plugin_library.h"

namespace zeq {

// String table entries and dialog resources of the library.
inline constexpr int IDS_LIBDESCRIPTION = 1;
inline constexpr int IDS_CATEGORY = 2;
inline constexpr int IDS_CLASS_NAME = 3;
inline constexpr int IDS_PARAMS = 4;
inline constexpr int IDS_SPIN = 5;

inline constexpr int IDD_EXPORT_OPTIONS = 101;
inline constexpr int IDC_OK = 1003;
inline constexpr int IDC_CANCEL = 1004;
inline constexpr int IDC_NORMALS = 1005;
inline constexpr int IDC_TANGENTS = 1006;
inline constexpr int IDC_ATF_EXTENSIONS = 1007;
inline constexpr int IDC_ANIMATION = 1008;
inline constexpr int IDC_16BIT_BUFFERS = 1009;
inline constexpr int IDC_ANIMATION_ONLY = 1011;

// The library's resources and module handle (stored when the plug-in library is loaded).
PluginLibrary& exportLibrary();

// The options dialog procedure: resets the options when it opens, keeps each flag in step with its
// check box, applies the enabling rules, and ends with 1 only for the "OK" button (2 otherwise).
intptr_t ExportOptionsDlgProc(DialogWindow* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

class Export : public SceneExport {
public:
    int ExtCount() override;
    const char* Ext(int n) override;
    const char* LongDesc() override;
    const char* ShortDesc() override;
    const char* AuthorName() override;
    const char* CopyrightMessage() override;
    const char* OtherMessage1() override;
    const char* OtherMessage2() override;
    unsigned int Version() override;
    void ShowAbout(WindowHandle parent) override;
    // Returns 2 when the dialog was cancelled, 0 when it cannot be run, 1 otherwise (a failed
    // export included: the failure is shown to the user in a message box).
    int DoExport(const char* name, ExpInterface* ei, Interface* i, bool suppressPrompts = false,
                 uint32_t options = 0) override;
    bool SupportsOptions(int ext, uint32_t options) override;
};

class ExportClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(bool loading = false) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const char* Category() override;
    int BeginCreate(Interface*) override { return 0; }
    int EndCreate(Interface*) override { return 0; }
    const char* InternalName() override { return "Export"; }
    ModuleHandle HInstance() override;
};

// The one static descriptor.
ClassDesc* GetExportClassDesc();

}  // namespace zeq

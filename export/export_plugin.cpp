#include "export/export_plugin.h"

#include "export/export_command.h"
#include "export/options.h"
#include "host/plugin_classes.h"

namespace zeq {
namespace {

constexpr StringResource kStrings[] = {
    {IDS_LIBDESCRIPTION, "Zeq Export plugin v 2.5.1"},
    {IDS_CATEGORY, "Keldane"},
    {IDS_CLASS_NAME, "ZeqExport"},
    {IDS_PARAMS, "Parameters"},
    {IDS_SPIN, "Spin"},
};

// Template 101: three groups of check boxes, all unchecked and enabled, then "OK" and "Cancel".
constexpr DialogControl kOptionsControls[] = {
    {.id = IDC_STATIC, .kind = ControlKind::Group, .text = "Geometry", .x = 7, .y = 7, .width = 130, .height = 52},
    {.id = IDC_NORMALS, .kind = ControlKind::CheckBox, .text = "Normals", .x = 14, .y = 18, .width = 110, .height = 10},
    {.id = IDC_TANGENTS, .kind = ControlKind::CheckBox, .text = "Tangents/binormals", .x = 14, .y = 30, .width = 110, .height = 10},
    {.id = IDC_16BIT_BUFFERS, .kind = ControlKind::CheckBox, .text = "16bit vertex buffers", .x = 14, .y = 42, .width = 110, .height = 10},
    {.id = IDC_STATIC, .kind = ControlKind::Group, .text = "Textures", .x = 7, .y = 62, .width = 130, .height = 28},
    {.id = IDC_ATF_EXTENSIONS, .kind = ControlKind::CheckBox, .text = "Extensions as ATF", .x = 14, .y = 73, .width = 110, .height = 10},
    {.id = IDC_STATIC, .kind = ControlKind::Group, .text = "Animation", .x = 7, .y = 93, .width = 130, .height = 40},
    {.id = IDC_ANIMATION, .kind = ControlKind::CheckBox, .text = "Enable export", .x = 14, .y = 104, .width = 110, .height = 10},
    {.id = IDC_ANIMATION_ONLY, .kind = ControlKind::CheckBox, .text = "Export only animation", .x = 14, .y = 116, .width = 110, .height = 10},
    {.id = IDC_OK, .kind = ControlKind::Button, .text = "OK", .x = 144, .y = 7, .width = 50, .height = 14},
    {.id = IDC_CANCEL, .kind = ControlKind::Button, .text = "Cancel", .x = 144, .y = 25, .width = 50, .height = 14},
};

constexpr DialogTemplate kDialogs[] = {
    {.id = IDD_EXPORT_OPTIONS, .caption = "Export to Zeq", .controls = kOptionsControls, .width = 201, .height = 140},
};

PluginLibrary gLibrary{{"Export", kStrings, kDialogs}};

ExportClassDesc gExportClassDesc;

constexpr int kCheckBoxes[] = {IDC_NORMALS,   IDC_TANGENTS,      IDC_ATF_EXTENSIONS,
                               IDC_ANIMATION, IDC_16BIT_BUFFERS, IDC_ANIMATION_ONLY};

void openOptionsDialog(DialogWindow* dialog) {
    // Options are not remembered between dialogs: every flag but selectedOnly starts false.
    ExportOptions& options = exportOptions();
    const bool selectedOnly = options.selectedOnly;
    options = ExportOptions{};
    options.selectedOnly = selectedOnly;
    for (int id : kCheckBoxes) {
        dialog->CheckButton(id, false);
        dialog->EnableControl(id, true);
    }
    dialog->CenterOnParent();
}

void onTangents(DialogWindow* dialog) {
    ExportOptions& options = exportOptions();
    options.tangents = dialog->IsButtonChecked(IDC_TANGENTS);
    if (options.tangents) {
        // Tangent frames need normals: force them on and lock the box.
        dialog->CheckButton(IDC_NORMALS, true);
        dialog->EnableControl(IDC_NORMALS, false);
        options.normals = true;
    } else {
        dialog->EnableControl(IDC_NORMALS, true);
    }
}

void onAnimationOnly(DialogWindow* dialog) {
    ExportOptions& options = exportOptions();
    options.animationOnly = dialog->IsButtonChecked(IDC_ANIMATION_ONLY);
    if (options.animationOnly) {
        // Tracks only: geometry and texture settings no longer apply.
        options.animation = true;
        dialog->CheckButton(IDC_ANIMATION, true);
        dialog->EnableControl(IDC_TANGENTS, false);
        dialog->EnableControl(IDC_NORMALS, false);
        dialog->EnableControl(IDC_ATF_EXTENSIONS, false);
    } else {
        dialog->EnableControl(IDC_TANGENTS, true);
        dialog->EnableControl(IDC_NORMALS, !dialog->IsButtonChecked(IDC_TANGENTS));
        dialog->EnableControl(IDC_ATF_EXTENSIONS, true);
    }
}

}  // namespace

PluginLibrary& exportLibrary() { return gLibrary; }

intptr_t ExportOptionsDlgProc(DialogWindow* dialog, uint32_t message, uintptr_t wParam, intptr_t) {
    ExportOptions& options = exportOptions();
    switch (message) {
    case WM_INITDIALOG:
        openOptionsDialog(dialog);
        return 1;
    case WM_COMMAND:
        switch (static_cast<int>(wParam)) {
        case IDC_OK:
            dialog->EndDialog(1);
            return 1;
        case IDC_NORMALS:
            options.normals = dialog->IsButtonChecked(IDC_NORMALS);
            return 1;
        case IDC_TANGENTS:
            onTangents(dialog);
            return 1;
        case IDC_ATF_EXTENSIONS:
            options.atfExtensions = dialog->IsButtonChecked(IDC_ATF_EXTENSIONS);
            return 1;
        case IDC_ANIMATION:
            options.animation = dialog->IsButtonChecked(IDC_ANIMATION);
            return 1;
        case IDC_16BIT_BUFFERS:
            options.vertexBuffers16Bit = dialog->IsButtonChecked(IDC_16BIT_BUFFERS);
            return 1;
        case IDC_ANIMATION_ONLY:
            onAnimationOnly(dialog);
            return 1;
        default:
            // "Cancel", and also the keyboard's confirm and escape commands: only "OK" confirms.
            dialog->EndDialog(2);
            return 1;
        }
    case WM_CLOSE:
        dialog->EndDialog(2);
        return 1;
    default:
        return 0;
    }
}

// ---- Export -----------------------------------------------------------------------------------

int Export::ExtCount() { return 1; }
const char* Export::Ext(int) { return "zeq"; }
const char* Export::LongDesc() { return "Keldane3D Scene"; }
const char* Export::ShortDesc() { return "Keldane3D Scene"; }
const char* Export::AuthorName() { return "Zeq plug-in suite developers"; }
const char* Export::CopyrightMessage() { return "Copyright (c) the Zeq plug-in suite developers"; }
const char* Export::OtherMessage1() { return ""; }
const char* Export::OtherMessage2() { return ""; }
unsigned int Export::Version() { return 10; }
void Export::ShowAbout(WindowHandle) {}
bool Export::SupportsOptions(int, uint32_t) { return true; }

int Export::DoExport(const char* name, ExpInterface*, Interface* i, bool suppressPrompts, uint32_t options) {
    Interface* ip = i ? i : GetCOREInterface();
    if (!ip || !name) return IMPEXP_FAIL;
    if (!suppressPrompts) {
        const intptr_t result =
            DialogBoxParam(gLibrary.Handle(), IDD_EXPORT_OPTIONS, GetActiveWindow(), &ExportOptionsDlgProc, 0);
        if (result == 2) return IMPEXP_CANCEL;
        if (result != 1) return IMPEXP_FAIL;
    }
    return runExport(name, ip, options);
}

// ---- ExportClassDesc --------------------------------------------------------------------------

void* ExportClassDesc::Create(bool) { return static_cast<SceneExport*>(new Export); }
const char* ExportClassDesc::ClassName() { return gLibrary.GetString(IDS_CLASS_NAME); }
SClass_ID ExportClassDesc::SuperClassID() { return EXPORT_SUPER_CLASS_ID; }
Class_ID ExportClassDesc::ClassID() { return EXPORT_CLASS_ID; }
const char* ExportClassDesc::Category() { return gLibrary.GetString(IDS_CATEGORY); }
ModuleHandle ExportClassDesc::HInstance() { return gLibrary.Handle(); }

ClassDesc* GetExportClassDesc() { return &gExportClassDesc; }

}  // namespace zeq

// The LOD distance editor and level selector: their pages, field reading and the scene search.
#include "lod/lod_tools.h"

#include "host/node.h"
#include "host/plugin_classes.h"
#include "lod/lod_object.h"
#include "lod/resources.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

namespace zeq {

namespace {

// Where the tools' pages sit among the utility panel's pages.
constexpr int kToolPageCategory = 4000;

IObjParam* paramInterface(Interface* ip) { return dynamic_cast<IObjParam*>(ip); }

// A numeric field of a tool's page: a spinner linked to its edit field, with its range, its value
// when the page opens and whether it counts whole numbers.
struct NumericField {
    int spinnerId;
    int editId;
    float low, high, initial;
    bool integer;
};

constexpr float kDistanceHigh = 1000000.0f;
constexpr float kLevelHigh = 1000000.0f;

constexpr NumericField fixedLevelField(int i) {
    return {IDC_LEVEL_DISTANCE_SPIN[i], IDC_LEVEL_DISTANCE_EDIT[i], 0.0f, kDistanceHigh, 0.0f, false};
}
constexpr NumericField kEditorFields[] = {
    fixedLevelField(0), fixedLevelField(1), fixedLevelField(2), fixedLevelField(3), fixedLevelField(4),
    {IDC_LEVEL_SPIN, IDC_LEVEL_EDIT, 6.0f, kLevelHigh, 6.0f, true},
    {IDC_EXTRA_DISTANCE_SPIN, IDC_EXTRA_DISTANCE_EDIT, 0.0f, kDistanceHigh, 0.0f, false},
};
constexpr NumericField kSelectorFields[] = {
    {IDC_LEVEL_SPIN, IDC_LEVEL_EDIT, 1.0f, kLevelHigh, 1.0f, true},
};

// A page holds its controls from WM_INITDIALOG until the first of WM_CLOSE and WM_DESTROY; its
// user data says whether it still does, so they are released exactly once.
void takeFields(DialogWindow* page, std::span<const NumericField> fields) {
    for (const NumericField& f : fields) {
        page->TakeControl(f.spinnerId);
        page->TakeControl(f.editId);
        page->SetupNumeric(f.spinnerId, f.editId, f.low, f.high, f.initial, f.integer ? 0 : -1);
        page->SetSpinnerDragNotify(f.spinnerId, true);
    }
    page->SetUserData(1);
}

void releaseFields(DialogWindow* page, std::span<const NumericField> fields) {
    if (page->GetUserData() == 0) return;
    for (const NumericField& f : fields) {
        page->ReleaseControl(f.spinnerId);
        page->ReleaseControl(f.editId);
    }
    page->SetUserData(0);
}

// A number typed into a field's edit (and confirmed) becomes the spinner's value, within its
// range; anything else leaves the spinner as it was and shows its value again.
bool takeTypedValue(DialogWindow* page, std::span<const NumericField> fields, int editId) {
    for (const NumericField& f : fields) {
        if (f.editId != editId) continue;
        const std::string text = page->GetControlText(editId);
        char* end = nullptr;
        float typed = std::strtof(text.c_str(), &end);
        if (end == text.c_str() || std::isnan(typed)) typed = page->GetNumericValue(f.spinnerId);
        typed = std::clamp(typed, f.low, f.high);
        page->SetNumericValue(f.spinnerId, f.integer ? std::trunc(typed) : typed);
        return true;
    }
    return false;
}

// What both tools' pages do alike: set up and release their fields, take typed values, pass the
// mouse on so that the panel can be scrolled by dragging the page, and accept spinner notices
// (the values are read when the button is pressed). True when the message is handled.
bool fieldMessage(DialogWindow* page, std::span<const NumericField> fields, uint32_t message, uintptr_t wParam,
                  intptr_t lParam) {
    switch (message) {
    case WM_INITDIALOG: takeFields(page, fields); return true;
    case WM_CLOSE:
    case WM_DESTROY: releaseFields(page, fields); return true;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        if (IObjParam* ip = paramInterface(GetCOREInterface()))
            ip->RollupMouseMessage(page->Handle(), message, wParam, lParam);
        return true;
    case CC_SPINNER_CHANGE: return true;
    case WM_CUSTEDIT_ENTER: return takeTypedValue(page, fields, static_cast<int>(wParam));
    default: return false;
    }
}

int levelValue(DialogWindow* page) { return static_cast<int>(page->GetNumericValue(IDC_LEVEL_SPIN)); }

DialogWindow* pageWindow(WindowHandle page) { return static_cast<DialogWindow*>(page); }

intptr_t DistanceEditorProc(DialogWindow* page, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_INITDIALOG) page->CheckButton(IDC_ONLY_SELECTED, false);
    if (fieldMessage(page, kEditorFields, message, wParam, lParam)) return 1;
    if (message == WM_COMMAND && (wParam & 0xFFFF) == IDC_SET_DISTANCES) {
        TheLODDistanceEditor().apply();
        return 1;
    }
    return 0;
}

intptr_t LevelSelectorProc(DialogWindow* page, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (fieldMessage(page, kSelectorFields, message, wParam, lParam)) return 1;
    if (message == WM_COMMAND && (wParam & 0xFFFF) == IDC_SELECTOR_SELECT) {
        TheLODLevelSelector().apply();
        return 1;
    }
    return 0;
}

}  // namespace

LODObject* lodObjectOf(INode* node) {
    Object* object = node ? node->GetObjectRef() : nullptr;
    Object* base = object ? object->FindBaseObject() : nullptr;
    if (!base || base->ClassID() != LOD_OBJECT_CLASS_ID) return nullptr;
    return dynamic_cast<LODObject*>(base);
}

void forEachLod(INode* root, const std::function<void(LODObject&)>& fn) {
    if (!root) return;
    if (LODObject* lod = lodObjectOf(root)) {
        fn(*lod);
        return;
    }
    for (int i = 0; i < root->NumberOfChildren(); ++i) forEachLod(root->GetChildNode(i), fn);
}

void applyLevelDistances(LODObject& lod, const LevelDistances& distances) {
    const int fixed = std::min(LODDistanceEditor::kFixedLevels, lod.levelCount());
    for (int i = 0; i < fixed; ++i)
        if (distances.fixed[i] > 0)
            if (INode* level = lod.levelNode(i)) level->SetUserPropFloat(LOD_DISTANCE_PROPERTY, distances.fixed[i]);
    lod.resortLevels();
    // Counted in the order the first sort made.
    const int extra = distances.level - 1;
    if (extra >= 0 && extra < lod.levelCount()) {
        if (INode* level = lod.levelNode(extra)) level->SetUserPropFloat(LOD_DISTANCE_PROPERTY, distances.distance);
        lod.resortLevels();
    }
}

// ---- Tools ----

void LODTool::BeginEditParams(Interface* ip, IUtil*) {
    ip_ = paramInterface(ip);
    if (ip_) page_ = ip_->AddRollupPage(lodLibrary().Handle(), templateId_, proc_, GetString(titleId_), 0, 0, kToolPageCategory);
}

void LODTool::EndEditParams(Interface*, IUtil*) {
    if (ip_ && page_) ip_->DeleteRollupPage(page_);
    page_ = nullptr;
    ip_ = nullptr;
}

LODDistanceEditor::LODDistanceEditor() : LODTool(IDD_DISTANCE_EDITOR, DistanceEditorProc, IDS_DISTANCE_EDITOR_TITLE) {}

void LODDistanceEditor::apply() {
    DialogWindow* page = pageWindow(this->page());
    Interface* ip = GetCOREInterface();
    if (!page || !ip) return;
    LevelDistances distances;
    for (int i = 0; i < kFixedLevels; ++i) distances.fixed[i] = page->GetNumericValue(IDC_LEVEL_DISTANCE_SPIN[i]);
    distances.level = levelValue(page);
    distances.distance = page->GetNumericValue(IDC_EXTRA_DISTANCE_SPIN);

    std::vector<INode*> roots;
    if (page->IsButtonChecked(IDC_ONLY_SELECTED)) {
        for (int i = 0; i < ip->GetSelNodeCount(); ++i) roots.push_back(ip->GetSelNode(i));
    } else if (INode* root = ip->GetRootNode()) {
        for (int i = 0; i < root->NumberOfChildren(); ++i) roots.push_back(root->GetChildNode(i));
    }
    // A LOD object is reached once per node showing it (instances), and twice when a selected node and
    // one of its ancestors are both roots; applying twice would count levels in the first pass's order.
    std::vector<LODObject*> lods;
    std::unordered_set<LODObject*> seen;
    for (INode* root : roots)
        forEachLod(root, [&](LODObject& lod) {
            if (seen.insert(&lod).second) lods.push_back(&lod);
        });
    for (LODObject* lod : lods) applyLevelDistances(*lod, distances);
}

LODLevelSelector::LODLevelSelector() : LODTool(IDD_LEVEL_SELECTOR, LevelSelectorProc, IDS_LEVEL_SELECTOR_TITLE) {}

void LODLevelSelector::apply() {
    DialogWindow* page = pageWindow(this->page());
    Interface* ip = GetCOREInterface();
    if (!page || !ip) return;
    const int level = levelValue(page);
    forEachLod(ip->GetRootNode(), [&](LODObject& lod) { lod.setCurrentLevel(level - 1); });
    ip->RedrawViews(ip->GetTime());
}

// ---- Descriptors ----

LODDistanceEditor& TheLODDistanceEditor() {
    static LODDistanceEditor tool;
    return tool;
}

LODLevelSelector& TheLODLevelSelector() {
    static LODLevelSelector tool;
    return tool;
}

void* LODToolClassDesc::Create(bool) { return static_cast<UtilityObj*>(&tool_); }
const char* LODToolClassDesc::ClassName() { return GetString(nameId_); }
SClass_ID LODToolClassDesc::SuperClassID() { return LOD_TOOL_SUPER_CLASS_ID; }
const char* LODToolClassDesc::Category() { return GetString(IDS_CATEGORY); }
ModuleHandle LODToolClassDesc::HInstance() { return lodLibrary().Handle(); }

LODToolClassDesc* GetLODDistanceEditorClassDesc() {
    static LODToolClassDesc desc(IDS_DISTANCE_EDITOR_CLASS, "LODDistanceEditor", LOD_DISTANCE_EDITOR_CLASS_ID,
                                 TheLODDistanceEditor());
    return &desc;
}

LODToolClassDesc* GetLODLevelSelectorClassDesc() {
    static LODToolClassDesc desc(IDS_LEVEL_SELECTOR_CLASS, "LODLevelSelector", LOD_LEVEL_SELECTOR_CLASS_ID,
                                 TheLODLevelSelector());
    return &desc;
}

}  // namespace zeq

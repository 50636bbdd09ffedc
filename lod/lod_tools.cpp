// The LOD distance editor and level selector: their pages, field reading and the scene search.
#include "lod/lod_tools.h"

#include "host/node.h"
#include "host/plugin_classes.h"
#include "lod/lod_object.h"
#include "lod/resources.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>

namespace zeq {

namespace {

constexpr float kDistanceLow = 0.0f, kDistanceHigh = 1000000.0f;
constexpr int kLevelHigh = 1000000;
constexpr int kEditorLevelLow = 6, kSelectorLevelLow = 1;

// A field's number, clamped to the spinner's range; the low end when the field holds none.
float readFloat(DialogWindow* page, int editId, float low, float high) {
    const std::string text = page ? page->GetControlText(editId) : std::string();
    float value = low;
    const char* first = text.data();
    while (first < text.data() + text.size() && *first == ' ') ++first;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    (void)end;
    if (error != std::errc() || !(value == value)) return low;
    return std::clamp(value, low, high);
}

int readInt(DialogWindow* page, int editId, int low, int high) {
    const float value = readFloat(page, editId, float(low), float(high));
    return static_cast<int>(value);
}

DialogWindow* pageWindow(WindowHandle page) { return static_cast<DialogWindow*>(page); }

IObjParam* paramInterface(Interface* ip) { return dynamic_cast<IObjParam*>(ip); }

intptr_t DistanceEditorProc(DialogWindow* page, uint32_t message, uintptr_t wParam, intptr_t) {
    switch (message) {
    case WM_INITDIALOG:
        for (int i = 0; i < LODDistanceEditor::kFixedLevels; ++i) page->SetControlText(IDC_LEVEL_DISTANCE_EDIT[i], "0");
        page->SetControlText(IDC_LEVEL_EDIT, std::to_string(kEditorLevelLow));
        page->SetControlText(IDC_EXTRA_DISTANCE_EDIT, "0");
        page->CheckButton(IDC_ONLY_SELECTED, false);
        return 1;
    case WM_COMMAND:
        if ((wParam & 0xFFFF) == IDC_SET_DISTANCES) {
            TheLODDistanceEditor().apply();
            return 1;
        }
        return 0;
    default: return 0;
    }
}

intptr_t LevelSelectorProc(DialogWindow* page, uint32_t message, uintptr_t wParam, intptr_t) {
    switch (message) {
    case WM_INITDIALOG: page->SetControlText(IDC_LEVEL_EDIT, std::to_string(kSelectorLevelLow)); return 1;
    case WM_COMMAND:
        if ((wParam & 0xFFFF) == IDC_SELECTOR_SELECT) {
            TheLODLevelSelector().apply();
            return 1;
        }
        return 0;
    default: return 0;
    }
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
    if (ip_) page_ = ip_->AddRollupPage(lodLibrary().Handle(), templateId_, proc_, GetString(titleId_));
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
    for (int i = 0; i < kFixedLevels; ++i)
        distances.fixed[i] = readFloat(page, IDC_LEVEL_DISTANCE_EDIT[i], kDistanceLow, kDistanceHigh);
    distances.level = readInt(page, IDC_LEVEL_EDIT, kEditorLevelLow, kLevelHigh);
    distances.distance = readFloat(page, IDC_EXTRA_DISTANCE_EDIT, kDistanceLow, kDistanceHigh);

    std::vector<INode*> roots;
    if (page->IsButtonChecked(IDC_ONLY_SELECTED)) {
        for (int i = 0; i < ip->GetSelNodeCount(); ++i) roots.push_back(ip->GetSelNode(i));
    } else if (INode* root = ip->GetRootNode()) {
        for (int i = 0; i < root->NumberOfChildren(); ++i) roots.push_back(root->GetChildNode(i));
    }
    for (INode* root : roots) forEachLod(root, [&](LODObject& lod) { applyLevelDistances(lod, distances); });
}

LODLevelSelector::LODLevelSelector() : LODTool(IDD_LEVEL_SELECTOR, LevelSelectorProc, IDS_LEVEL_SELECTOR_TITLE) {}

void LODLevelSelector::apply() {
    DialogWindow* page = pageWindow(this->page());
    Interface* ip = GetCOREInterface();
    if (!page || !ip) return;
    const int level = readInt(page, IDC_LEVEL_EDIT, kSelectorLevelLow, kLevelHigh);
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

#pragma once
// The two LOD tools of the utility panel, which act on every LOD object of the scene at once: the
// distance editor assigns switching distances to levels, the level selector makes the same level
// current everywhere (to preview a whole scene at one level of detail).
#include "host/class_desc.h"
#include "host/plugin.h"

#include <array>
#include <functional>

namespace zeq {

class LODObject;

// The LOD object a node holds (its object resolved to the base object), or null.
LODObject* lodObjectOf(INode* node);

// Runs fn on every LOD object found below root (root included): the search does not descend into
// a node that holds a LOD object, so LOD objects inside another one's levels are not reached.
void forEachLod(INode* root, const std::function<void(LODObject&)>& fn);

// What "Set" applies: distances of levels 1 to 5 (0 keeps a level's distance), and one further
// level (1-based) with its distance (any value, zero included).
struct LevelDistances {
    std::array<float, 5> fixed{};
    int level = 6;
    float distance = 0.0f;
};
void applyLevelDistances(LODObject& lod, const LevelDistances& distances);

// What both tools share: one rollup page in the utility panel, shown while the tool is open.
class LODTool : public UtilityObj {
public:
    void BeginEditParams(Interface* ip, IUtil* iu) override;
    void EndEditParams(Interface* ip, IUtil* iu) override;
    // Each tool is one static instance: nothing to free.
    void DeleteThis() override {}
    // The tool's action (its button), on the fields of the open page.
    virtual void apply() = 0;
    WindowHandle page() const { return page_; }

protected:
    LODTool(int templateId, DialogProc proc, int titleId) : templateId_(templateId), proc_(proc), titleId_(titleId) {}

private:
    int templateId_;
    DialogProc proc_;
    int titleId_;
    IObjParam* ip_ = nullptr;
    WindowHandle page_ = nullptr;
};

class LODDistanceEditor : public LODTool {
public:
    static constexpr int kFixedLevels = 5;
    LODDistanceEditor();
    // "Set": reads the fields and applies them to the chosen roots (the selected nodes with "Only
    // selected", else every child of the scene root).
    void apply() override;
};

class LODLevelSelector : public LODTool {
public:
    LODLevelSelector();
    // "Select": makes level L (the page's field, 1-based) current in every LOD object of the scene,
    // then redraws the views.
    void apply() override;
};

// The descriptor of a tool: its name (a string of the table), internal name and class id; its
// create operation hands out the tool's one instance.
class LODToolClassDesc : public ClassDesc2 {
public:
    LODToolClassDesc(int nameId, const char* internalName, Class_ID classId, LODTool& tool)
        : nameId_(nameId), internalName_(internalName), classId_(classId), tool_(tool) {}
    int IsPublic() override { return 1; }
    void* Create(bool loading = false) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override { return classId_; }
    const char* Category() override;
    const char* InternalName() override { return internalName_; }
    ModuleHandle HInstance() override;

private:
    int nameId_;
    const char* internalName_;
    Class_ID classId_;
    LODTool& tool_;
};

LODToolClassDesc* GetLODDistanceEditorClassDesc();
LODToolClassDesc* GetLODLevelSelectorClassDesc();
LODDistanceEditor& TheLODDistanceEditor();
LODLevelSelector& TheLODLevelSelector();

}  // namespace zeq

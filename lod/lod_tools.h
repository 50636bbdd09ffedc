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

class LODDistanceEditor : public UtilityObj {
public:
    static constexpr int kFixedLevels = 5;

    void BeginEditParams(Interface* ip, IUtil* iu) override;
    void EndEditParams(Interface* ip, IUtil* iu) override;
    // The tool is one static instance: nothing to free.
    void DeleteThis() override {}

    // "Set": reads the fields of the open page and applies them to the chosen roots (the selected
    // nodes with "Only selected", else every child of the scene root).
    void apply();
    WindowHandle page() const { return page_; }

private:
    IObjParam* ip_ = nullptr;
    IUtil* iu_ = nullptr;
    WindowHandle page_ = nullptr;
};

class LODLevelSelector : public UtilityObj {
public:
    void BeginEditParams(Interface* ip, IUtil* iu) override;
    void EndEditParams(Interface* ip, IUtil* iu) override;
    void DeleteThis() override {}

    // "Select": makes level L (the page's field, 1-based) current in every LOD object of the scene,
    // then redraws the views.
    void apply();
    WindowHandle page() const { return page_; }

private:
    IObjParam* ip_ = nullptr;
    IUtil* iu_ = nullptr;
    WindowHandle page_ = nullptr;
};

class LODDistanceEditorClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    // The tool's one static instance, as a UtilityObj*.
    void* Create(bool loading = false) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const char* Category() override;
    const char* InternalName() override { return "LODDistanceEditor"; }
    ModuleHandle HInstance() override;
};

class LODLevelSelectorClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(bool loading = false) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const char* Category() override;
    const char* InternalName() override { return "LODLevelSelector"; }
    ModuleHandle HInstance() override;
};

LODDistanceEditorClassDesc* GetLODDistanceEditorClassDesc();
LODLevelSelectorClassDesc* GetLODLevelSelectorClassDesc();
LODDistanceEditor& TheLODDistanceEditor();
LODLevelSelector& TheLODLevelSelector();

}  // namespace zeq

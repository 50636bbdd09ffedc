#pragma once
// The level-of-detail helper object. The artist picks scene nodes into it; each becomes one level
// with a switching distance (the node's "LODDistance" user property). The object's node (its owner)
// becomes the parent of the levels, only the current level is visible, and the levels stay sorted
// by distance. The exporter reads the levels from parameter "Nodes list" of block 0.
#include "host/class_desc.h"
#include "host/create_mouse.h"
#include "host/simple_object.h"

#include <string>

namespace zeq {

class LODObject : public SimpleObject2 {
public:
    // Builds the parameter block through the class descriptor.
    LODObject();
    ~LODObject() override;

    // ---- Identity ----
    Class_ID ClassID() override;
    void GetClassName(std::string& name) override;
    const char* GetObjectName() override;

    // ---- Parameter editing ----
    void BeginEditParams(IObjParam* ip, uint32_t flags, Animatable* prev) override;
    void EndEditParams(IObjParam* ip, uint32_t flags, Animatable* next) override;

    // ---- Geometry and viewports ----
    // Rebuilds the icon when the icon size differs from the size it was built for.
    void BuildMesh(TimeValue t) override;
    int Display(TimeValue t, INode* node, ViewExp* vpt, int flags) override;
    int HitTest(TimeValue t, INode* node, int type, int crossing, int flags, IPoint2* p, ViewExp* vpt) override;
    void GetLocalBoundBox(TimeValue t, INode* node, Box3& box) override;
    void GetLocalBoundBox(TimeValue t, INode* node, ViewExp* vpt, Box3& box) override;
    void GetWorldBoundBox(TimeValue t, INode* node, Box3& box) override;
    void GetWorldBoundBox(TimeValue t, INode* node, ViewExp* vpt, Box3& box) override;
    ObjectState Eval(TimeValue t) override;
    Interval ObjectValidity(TimeValue t) override;
    int CanConvertToType(Class_ID obtype) override;
    // The icon mesh; it stays owned by the object.
    Mesh* GetRenderMesh(TimeValue t);
    CreateMouseCallBack* GetCreateMouseCallBack() override;
    ReferenceTarget* Clone(RemapDir& remap) override;

    // ---- Levels ----
    // The node the object was first displayed in (null until then, and again once that node is
    // deleted: the next node that displays the object takes its place).
    INode* ownerNode() const { return owner_.node(); }
    int levelCount();
    // Level node i (null outside the levels or for an entry that holds none).
    INode* levelNode(int i);
    // The level shown in the scene (-1: none) and the selected line of the level list.
    int currentLevel() const { return currentLevel_; }
    int selectedLine() const { return selectedLine_; }

    // From a node, the ancestor directly below the scene root (the node itself at the top).
    static INode* topLevelAncestor(INode* node);
    // A pick is valid once the object has an owner and the picked node's top-level ancestor lies
    // outside the owner's subtree.
    bool isValidPick(INode* picked);
    // Adds the picked node's top-level ancestor as the last level, with distance 0 (and moved onto
    // the owner when "Center align child" is on).
    void addLevel(INode* picked, TimeValue t);
    // Rewrites "Nodes view" from the levels and shows only the current level.
    void rebuildView();
    // Hides every level but the current one, which is shown.
    void showCurrentLevelOnly();
    // Whether "Nodes view" holds one line per level, as rebuildView writes it.
    bool viewMatchesLevels();
    // Makes level k current; an index outside the levels leaves no current level (every level is
    // then hidden at the next synchronisation).
    void setCurrentLevel(int k);
    // Sorts the levels by distance, keeping the selected line and the current level on their nodes.
    void resortLevels();
    // The level list's selection changed to `line` (-1: none).
    void selectLine(int line);
    // "Current distance" was edited: the selected line's level takes the distance.
    void setSelectedDistance(float distance);
    // The "Select" button: the selected line becomes the current level.
    void showSelectedLevel();
    // A line of "Nodes view" was deleted: its level leaves the list (the node stays in the scene,
    // visible). Deleting the selected line leaves no line selected.
    void removeLevel(int index);
    // Makes the levels the owner's children (dropping levels whose nodes left the scene), rewrites
    // "Nodes view" when it no longer matches the levels, and shows only the current level. The
    // first run of an object that was loaded or imported (not created, cloned or given a current
    // level) makes the first visible level current, or none when every level is hidden, so that
    // the object keeps showing what the scene showed.
    void synchronizeChildren(TimeValue t);
    // Whether a fresh clone still has to move its levels onto its owner.
    bool reparentAfterClone() const { return reparentAfterClone_; }

    // The distance of a level node ("LODDistance"; 0 when it has none).
    static float levelDistance(INode* node);

    // Called while the level list is being rewritten: the accessors ignore the changes then.
    static bool updatingView() { return guard_; }

private:
    // Holds the owner node through the host's reference mechanism, apart from the object's own
    // references (the node already references the object): when the node is deleted the host tells
    // the link, which lets go of it, so the object never follows a pointer to a deleted node.
    class OwnerLink : public ReferenceMaker {
    public:
        OwnerLink() = default;
        ~OwnerLink() override = default;
        INode* node() const { return node_; }
        void set(INode* node) { ReplaceReference(0, node); }
        int NumRefs() override { return 1; }
        ReferenceTarget* GetReference(int i) override { return i == 0 ? node_ : nullptr; }
        RefResult NotifyRefChanged(const Interval& changeInterval, ReferenceTarget* target, PartID partID,
                                   RefMessage message) override;

    protected:
        void SetReference(int i, ReferenceTarget* target) override;

    private:
        INode* node_ = nullptr;
    };

    // The rollup page shows the block's values again.
    void refreshRollup();
    void markOwner(INode* node);

    OwnerLink owner_;
    float iconSize_ = -1.0f;
    int selectedLine_ = 0;
    int currentLevel_ = 0;
    bool reparentAfterClone_ = false;
    // Whether the next children synchronisation takes the current level from the levels' visibility.
    bool adoptVisibleLevel_ = true;
    IObjParam* ip_ = nullptr;
    static bool guard_;
};

class ZeqLODClassDesc : public ClassDesc2 {
public:
    ZeqLODClassDesc();
    int IsPublic() override { return 1; }
    void* Create(bool loading = false) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const char* Category() override;
    const char* InternalName() override { return "ZeqLOD"; }
    ModuleHandle HInstance() override;
};

ZeqLODClassDesc* GetZeqLODClassDesc();
const ParamBlockDesc2& LODObjectParamBlockDesc();

}  // namespace zeq

// The LOD object's levels: picking, the level list and its view, the current level, sorting by
// distance, removal and keeping the levels under the owner node.
#include "lod/lod_object.h"

#include "host/node.h"
#include "host/plugin_classes.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <unordered_set>
#include <vector>

namespace zeq {

namespace {

// Raises the view guard for a scope, restoring what it was.
class GuardScope {
public:
    explicit GuardScope(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
    ~GuardScope() { flag_ = saved_; }

private:
    bool& flag_;
    bool saved_;
};

void hideTree(INode* node, bool hidden) {
    if (!node) return;
    node->Hide(hidden);
    for (int i = 0; i < node->NumberOfChildren(); ++i) hideTree(node->GetChildNode(i), hidden);
}

void collectTree(INode* node, std::unordered_set<INode*>& nodes) {
    if (!node) return;
    nodes.insert(node);
    for (int i = 0; i < node->NumberOfChildren(); ++i) collectTree(node->GetChildNode(i), nodes);
}

bool isInSubtree(INode* node, INode* top) {
    for (INode* n = node; n; n = n->GetParentNode())
        if (n == top) return true;
    return false;
}

std::string viewText(INode* node, float distance, bool current) {
    const char* name = node && node->GetName() ? node->GetName() : "";
    const char* format = current ? ">>%s [%4.2f]<<" : "%s [%4.2f]";
    const int length = std::snprintf(nullptr, 0, format, name, double(distance));
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, format, name, double(distance));
    return text;
}

// The difference of two distances truncated toward zero. Distances are free text, so any float can
// arrive: the difference is held within the int range before truncating, and NaN counts as none.
int distanceDifference(float a, float b) {
    const float difference = a - b;
    if (std::isnan(difference)) return 0;
    return static_cast<int>(std::clamp(double(difference), double(INT_MIN), double(INT_MAX)));
}

}  // namespace

float LODObject::levelDistance(INode* node) {
    float distance = 0.0f;
    if (node && node->GetUserPropFloat(LOD_DISTANCE_PROPERTY, distance)) return distance;
    return 0.0f;
}

int LODObject::levelCount() { return pblock2 ? pblock2->Count(LOD_PARAM_NODES_LIST) : 0; }

INode* LODObject::levelNode(int i) {
    if (!pblock2 || i < 0 || i >= levelCount()) return nullptr;
    return pblock2->GetINode(LOD_PARAM_NODES_LIST, 0, i);
}

INode* LODObject::topLevelAncestor(INode* node) {
    if (!node) return nullptr;
    while (INode* parent = node->GetParentNode()) {
        if (parent->IsRootNode()) break;
        node = parent;
    }
    return node;
}

bool LODObject::isValidPick(INode* picked) {
    INode* top = topLevelAncestor(picked);
    INode* owner = ownerNode();
    if (!owner || !top) return false;
    if (top == owner || isInSubtree(top, owner)) return false;
    // A hierarchy holding the owner cannot become its child, and a level is listed once.
    if (isInSubtree(owner, top)) return false;
    for (int i = 0; i < levelCount(); ++i)
        if (levelNode(i) == top) return false;
    return true;
}

void LODObject::addLevel(INode* picked, TimeValue t) {
    INode* level = topLevelAncestor(picked);
    if (!level || !pblock2) return;
    level->SetUserPropFloat(LOD_DISTANCE_PROPERTY, 0.0f);
    if (INode* owner = ownerNode(); owner && pblock2->GetInt(LOD_PARAM_CENTER_ALIGN, t))
        level->SetNodeTM(t, owner->GetNodeTM(t));
    pblock2->Append(LOD_PARAM_NODES_LIST, 1, &level);
    rebuildView();
    refreshRollup();
}

void LODObject::rebuildView() {
    if (!pblock2) return;
    GuardScope guard(guard_);
    pblock2->SetCount(LOD_PARAM_NODES_VIEW, 0);
    const int count = levelCount();
    if (currentLevel_ >= count) currentLevel_ = 0;
    for (int i = 0; i < count; ++i) {
        INode* node = levelNode(i);
        const std::string text = viewText(node, levelDistance(node), i == currentLevel_);
        const char* entry = text.c_str();
        pblock2->Append(LOD_PARAM_NODES_VIEW, 1, &entry);
    }
    showCurrentLevelOnly();
}

void LODObject::showCurrentLevelOnly() {
    // The current level is shown last: a node listed twice (a saved scene may hold that) is hidden
    // as another line and shown as the current one.
    for (int i = 0; i < levelCount(); ++i)
        if (i != currentLevel_) hideTree(levelNode(i), true);
    if (currentLevel_ >= 0 && currentLevel_ < levelCount()) hideTree(levelNode(currentLevel_), false);
}

bool LODObject::viewMatchesLevels() {
    if (!pblock2) return true;
    const int count = levelCount();
    if (pblock2->Count(LOD_PARAM_NODES_VIEW) != count) return false;
    for (int i = 0; i < count; ++i) {
        INode* node = levelNode(i);
        const char* line = pblock2->GetStr(LOD_PARAM_NODES_VIEW, 0, i);
        if (viewText(node, levelDistance(node), i == currentLevel_) != (line ? line : "")) return false;
    }
    return true;
}

void LODObject::setCurrentLevel(int k) {
    adoptVisibleLevel_ = false;
    if (k >= 0 && k < levelCount()) {
        currentLevel_ = k;
        rebuildView();
    } else {
        currentLevel_ = -1;
    }
}

void LODObject::resortLevels() {
    if (!pblock2) return;
    const int count = levelCount();
    std::vector<INode*> levels(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) levels[i] = levelNode(i);
    INode* selected = selectedLine_ >= 0 && selectedLine_ < count ? levels[selectedLine_] : nullptr;
    INode* current = currentLevel_ >= 0 && currentLevel_ < count ? levels[currentLevel_] : nullptr;

    // Distances are compared as their difference truncated to an integer, so levels less than one
    // unit apart compare equal (and an entry without a node equals everything). Such a comparison
    // is not a strict ordering, which the standard sorts require: 11.5 equals 10.7, which equals
    // 10.2, which is before 11.5. Each level is therefore inserted before the first of the levels
    // sorted so far that it is before, not merely before its neighbour: then no level ends up after
    // one it is before, and levels that compare equal keep their order (levels are few).
    auto before = [](INode* a, INode* b) {
        if (!a || !b) return false;
        return distanceDifference(levelDistance(a), levelDistance(b)) < 0;
    };
    for (size_t i = 1; i < levels.size(); ++i) {
        size_t j = 0;
        while (j < i && !before(levels[i], levels[j])) ++j;
        std::rotate(levels.begin() + static_cast<std::ptrdiff_t>(j), levels.begin() + static_cast<std::ptrdiff_t>(i),
                    levels.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    for (int i = 0; i < count; ++i) pblock2->SetValue(LOD_PARAM_NODES_LIST, 0, levels[i], i);

    auto positionOf = [&](INode* node, int fallback) {
        if (!node) return fallback;
        const auto it = std::find(levels.begin(), levels.end(), node);
        return it == levels.end() ? fallback : static_cast<int>(it - levels.begin());
    };
    selectedLine_ = positionOf(selected, selectedLine_);
    currentLevel_ = positionOf(current, currentLevel_);
    rebuildView();
}

void LODObject::selectLine(int line) {
    selectedLine_ = line;
    INode* level = levelNode(line);
    if (line < 0 || !level || !pblock2) return;
    const float distance = levelDistance(level);
    {
        GuardScope guard(guard_);
        pblock2->SetValue(LOD_PARAM_CURRENT_DISTANCE, 0, distance);
    }
    refreshRollup();
}

void LODObject::setSelectedDistance(float distance) {
    INode* level = levelNode(selectedLine_);
    if (!level) return;
    level->SetUserPropFloat(LOD_DISTANCE_PROPERTY, distance);
    resortLevels();
    refreshRollup();
}

void LODObject::showSelectedLevel() {
    if (selectedLine_ < 0 || selectedLine_ >= levelCount()) return;
    setCurrentLevel(selectedLine_);
    refreshRollup();
}

void LODObject::removeLevel(int index) {
    if (!pblock2 || index < 0 || index >= levelCount()) return;
    hideTree(levelNode(index), false);
    pblock2->Delete(LOD_PARAM_NODES_LIST, index, 1);
    // Lines below the deleted one move up: the current level and the selected line stay on their
    // nodes. Deleting the current line itself makes the level that takes its place current;
    // deleting the selected line leaves no line selected, so that a later distance edit touches
    // no level the artist did not pick.
    if (index < currentLevel_) --currentLevel_;
    if (index == selectedLine_) selectedLine_ = -1;
    else if (index < selectedLine_) --selectedLine_;
    rebuildView();
}

void LODObject::synchronizeChildren(TimeValue t) {
    INode* owner = ownerNode();
    if (!owner || !pblock2) return;
    const int count = levelCount();
    if (adoptVisibleLevel_) {
        // A loaded or imported object knows no current level of its own; the scene shows it. Only
        // entries whose nodes are still in the scene are looked at.
        adoptVisibleLevel_ = false;
        if (count > 0) {
            std::unordered_set<INode*> sceneNodes;
            if (Interface* ip = GetCOREInterface()) collectTree(ip->GetRootNode(), sceneNodes);
            currentLevel_ = -1;
            for (int i = 0; i < count && currentLevel_ < 0; ++i)
                if (INode* level = levelNode(i); level && sceneNodes.count(level) && !level->IsHidden()) currentLevel_ = i;
        }
    }
    // A fresh clone adopts its levels on its first synchronisation, whatever its node holds (the
    // host may have copied the original's children with it), and the flag never outlives it: a
    // level picked later is placed in the world already.
    if (reparentAfterClone_ || count != owner->NumberOfChildren()) {
        std::vector<INode*> children;
        for (int i = 0; i < owner->NumberOfChildren(); ++i)
            if (INode* child = owner->GetChildNode(i)) children.push_back(child);
        for (INode* child : children) child->Detach(t, true);
        // A level whose node left the scene is dropped. Entries are compared against the nodes the
        // scene has now, so a stale entry is never followed.
        std::unordered_set<INode*> sceneNodes;
        if (Interface* ip = GetCOREInterface()) collectTree(ip->GetRootNode(), sceneNodes);
        std::vector<int> gone;
        std::unordered_set<INode*> listed;
        for (int i = 0; i < count; ++i) {
            INode* level = levelNode(i);
            // A node listed again is one level: its later lines go.
            if (!level || !sceneNodes.count(level) || level == owner || isInSubtree(owner, level) ||
                !listed.insert(level).second) {
                gone.push_back(i);
                continue;
            }
            if (reparentAfterClone_) level->SetNodeTM(t, level->GetNodeTM(t) * owner->GetNodeTM(t));
            owner->AttachChild(level, true);
        }
        // Dropped as removeLevel drops a line: the current level and the selected line stay on
        // their nodes (a dropped current level passes to the one that takes its place; a dropped
        // selected line leaves none selected).
        for (auto it = gone.rbegin(); it != gone.rend(); ++it) {
            pblock2->Delete(LOD_PARAM_NODES_LIST, *it, 1);
            if (*it < currentLevel_) --currentLevel_;
            if (*it == selectedLine_) selectedLine_ = -1;
            else if (*it < selectedLine_) --selectedLine_;
        }
        rebuildView();
        reparentAfterClone_ = false;
    } else if (!viewMatchesLevels()) {
        // "Nodes view" is not stored: a loaded or imported object starts without it.
        rebuildView();
    }
    showCurrentLevelOnly();
}

}  // namespace zeq

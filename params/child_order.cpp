// Child order of containers: listing (assigning positions where none is stored) and moving a child
// one line up or down.
#include "params/child_order.h"

namespace zeq {

namespace {

// The child on each shown line of the container's list. Children claim their stored position in the
// host's child order, so of two children claiming one position the later is shown; a position outside
// the container ends the walk, and the lines end at the first position no (named) child claims.
// Children without a position (or with -1) take their host position, which is stored when `assign`.
std::vector<INode*> shownChildren(EngineParamStore& store, INode* container, bool assign) {
    std::vector<INode*> lines;
    if (!container) return lines;
    const int count = container->NumberOfChildren();
    std::vector<INode*> table(static_cast<size_t>(count > 0 ? count : 0), nullptr);
    for (int i = 0; i < count; ++i) {
        INode* child = container->GetChildNode(i);
        if (!child) continue;
        int32_t position = store.childOrder(child);
        if (position == kParamUnsetInt || position == -1) {
            position = i;
            if (assign) store.writeChildOrder(child, position);
        }
        // A position outside the table cannot be shown (and must not be written outside it).
        if (position < 0 || position > count - 1) break;
        table[static_cast<size_t>(position)] = child;
    }
    for (INode* child : table) {
        const char* name = child ? child->GetName() : nullptr;
        if (!name || !*name) break;
        lines.push_back(child);
    }
    return lines;
}

}  // namespace

std::vector<std::string> childOrderList(EngineParamStore& store, INode* container) {
    std::vector<std::string> names;
    for (INode* child : shownChildren(store, container, true)) names.push_back(child->GetName());
    return names;
}

std::optional<int> moveChild(EngineParamStore& store, INode* container, int line, int step) {
    // The children are found as the list shows them, so the move swaps exactly the two lines named.
    const std::vector<INode*> lines = shownChildren(store, container, false);
    const int other = line + step;
    const int count = static_cast<int>(lines.size());
    if (line < 0 || other < 0 || line >= count || other >= count) return std::nullopt;
    store.writeChildOrder(lines[static_cast<size_t>(line)], other);
    store.writeChildOrder(lines[static_cast<size_t>(other)], line);
    return other;
}

}  // namespace zeq

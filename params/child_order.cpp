// Child order of containers: listing (assigning positions where none is stored) and moving a child
// one line up or down.
#include "params/child_order.h"

namespace zeq {

std::vector<std::string> childOrderList(EngineParamStore& store, INode* container) {
    std::vector<std::string> names;
    if (!container) return names;
    const int count = container->NumberOfChildren();
    std::vector<std::string> table(static_cast<size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) {
        INode* child = container->GetChildNode(i);
        if (!child) continue;
        int32_t position = store.childOrder(child);
        if (position == kParamUnsetInt || position == -1) {
            position = i;
            store.writeChildOrder(child, position);
        }
        // A position outside the table cannot be shown (and must not be written outside it).
        if (position < 0 || position > count - 1) break;
        const char* name = child->GetName();
        table[static_cast<size_t>(position)] = name ? name : "";
    }
    for (const std::string& name : table) {
        if (name.empty()) break;
        names.push_back(name);
    }
    return names;
}

std::optional<int> moveChild(EngineParamStore& store, INode* container, int line, int step) {
    if (!container) return std::nullopt;
    const int other = line + step;
    INode* moving = nullptr;
    INode* neighbour = nullptr;
    for (int i = 0; i < container->NumberOfChildren(); ++i) {
        INode* child = container->GetChildNode(i);
        if (!child) continue;
        const int32_t position = store.childOrder(child);
        if (position == kParamUnsetInt) continue;
        if (!moving && position == line) moving = child;
        else if (!neighbour && position == other) neighbour = child;
    }
    // Positions are list lines, never negative: a line above the first has no child (a child still
    // carrying the "none" marker -1 must not be taken for it).
    if (!moving || !neighbour || line < 0 || other < 0) return std::nullopt;
    store.writeChildOrder(moving, other);
    store.writeChildOrder(neighbour, line);
    return other;
}

}  // namespace zeq

// Child order of containers: listing (storing each child's line as its position) and moving a child
// one line up or down.
#include "params/child_order.h"

#include <algorithm>
#include <cstdint>

namespace zeq {

namespace {

// The child on each line of the container's list: every child, in the order of the positions they
// store. Children without a position (or with -1) take their host position. Stored positions can
// leave holes and clash (a member deleted, a child brought in from another container); children
// that claim one position follow the host order, and those whose position lies outside the container
// come last. With `assign`, each child stores the line it is shown on, so the positions are 0 to n-1
// again and Up and Down reach every child.
std::vector<INode*> shownChildren(EngineParamStore& store, INode* container, bool assign) {
    struct Claim {
        int64_t position;
        INode* child;
    };
    std::vector<Claim> claims;
    const int count = container ? container->NumberOfChildren() : 0;
    for (int i = 0; i < count; ++i) {
        INode* child = container->GetChildNode(i);
        if (!child) continue;
        int64_t position = store.childOrder(child);
        if (position == kParamUnsetInt || position == -1) position = i;
        if (position < 0 || position >= count) position = INT64_MAX;
        claims.push_back({position, child});
    }
    std::stable_sort(claims.begin(), claims.end(),
                     [](const Claim& a, const Claim& b) { return a.position < b.position; });
    std::vector<INode*> lines;
    for (const Claim& claim : claims) {
        const int line = static_cast<int>(lines.size());
        if (assign && store.childOrder(claim.child) != line) store.writeChildOrder(claim.child, line);
        lines.push_back(claim.child);
    }
    return lines;
}

}  // namespace

std::vector<std::string> childOrderList(EngineParamStore& store, INode* container) {
    std::vector<std::string> names;
    for (INode* child : shownChildren(store, container, true))
        names.push_back(child->GetName() ? child->GetName() : "");
    return names;
}

std::optional<int> moveChild(EngineParamStore& store, INode* container, int line, int step) {
    // The children are found as the list shows them, their positions made those lines, so the move
    // swaps exactly the two lines named.
    const std::vector<INode*> lines = shownChildren(store, container, true);
    const int other = line + step;
    const int count = static_cast<int>(lines.size());
    if (line < 0 || other < 0 || line >= count || other >= count) return std::nullopt;
    store.writeChildOrder(lines[static_cast<size_t>(line)], other);
    store.writeChildOrder(lines[static_cast<size_t>(other)], line);
    return other;
}

}  // namespace zeq

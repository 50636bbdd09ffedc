#pragma once
// The order of a container's children as the engine sees it. Each child node stores its own
// position (the child-order slot); children that have none get their position in the host's child
// order the first time the list is made.
#include "params/engine_param_store.h"

#include <optional>
#include <string>
#include <vector>

namespace zeq {

// The names of the container's children in engine order: by their stored positions, children
// without one (or with -1) at their host position, children claiming one position in host order and
// those with a position outside the container last. Each child stores the line it is shown on.
std::vector<std::string> childOrderList(EngineParamStore& store, INode* container);

// Moves the child on list line `line` one line up (step -1) or down (step +1): it swaps positions
// with the child on the neighbouring line. Returns the line the moved child is on now, or none when
// either line is not shown (nothing changes then).
std::optional<int> moveChild(EngineParamStore& store, INode* container, int line, int step);

}  // namespace zeq

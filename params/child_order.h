#pragma once
// The order of a container's children as the engine sees it. Each child node stores its own
// position (the child-order slot); children that have none get their position in the host's child
// order the first time the list is made.
#include "params/engine_param_store.h"

#include <optional>
#include <string>
#include <vector>

namespace zeq {

// The names of the container's children in engine order. Children without a stored position (or
// with -1) get their host position stored. A child whose stored position lies outside the container
// (negative or past the last child) ends the list at that child; the list also ends at the first
// position no child claims.
std::vector<std::string> childOrderList(EngineParamStore& store, INode* container);

// Moves the child on list line `line` one line up (step -1) or down (step +1): the children the list
// shows on that line and on the neighbouring one swap positions (of two children storing one position
// the list shows the later). Returns the line the moved child is on now, or none when either line is
// not shown (nothing changes then).
std::optional<int> moveChild(EngineParamStore& store, INode* container, int line, int step);

}  // namespace zeq

#pragma once
// Carry-over of engine parameters when the host replaces a node's base object (for example when a
// modifier stack is collapsed). Watched nodes are remembered with the base object they had when last
// seen; when the host reports that a watched node changed and its base object is another one, the
// carried-over slots that are set on the old object are written to the new one.
#include "params/engine_param_store.h"

#include <map>

namespace zeq {

// Copies the slots of MigratedParams that are set on `from` to `to`, in table order and each with
// its row's payload kind; unset slots are not written.
void migrateParams(EngineParamStore& store, Animatable* from, Animatable* to);

class ParamWatch {
public:
    explicit ParamWatch(EngineParamStore& store) : store_(store) {}

    // Starts watching a node (or refreshes what it is remembered with).
    void watch(INode* node);
    bool isWatched(INode* node) const { return seen_.count(node) != 0; }
    // The host reported a change of a watched node: carries the parameters over when its base
    // object is a new one. Returns true when it did.
    bool nodeChanged(INode* node);
    // The host reported that a scene item is gone: a watched node is dropped, and an old base object
    // is no longer read (its parameters cannot be carried over any more).
    void forget(Animatable* item);
    void clear() { seen_.clear(); }
    size_t size() const { return seen_.size(); }

private:
    EngineParamStore& store_;
    // Ordered by node address, as the host hands out nodes.
    std::map<INode*, Object*> seen_;
};

}  // namespace zeq

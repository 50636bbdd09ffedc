// Watching nodes for base-object replacement and carrying their engine parameters over.
#include "params/param_watch.h"

namespace zeq {

void migrateParams(EngineParamStore& store, Animatable* from, Animatable* to) {
    if (!from || !to || from == to) return;
    for (const MigratedParam& row : MigratedParams) {
        if (row.isFloat) {
            const float value = store.readFloat(from, row.subId);
            if (value != kParamUnsetFloat) store.writeFloat(to, row.subId, value);
        } else {
            const int32_t value = store.readInt(from, row.subId);
            if (value != kParamUnsetInt) store.writeInt(to, row.subId, value);
        }
    }
}

void ParamWatch::watch(INode* node) {
    if (node) seen_[node] = EngineParamStore::baseObject(node);
}

bool ParamWatch::nodeChanged(INode* node) {
    auto it = seen_.find(node);
    if (it == seen_.end()) return false;
    Object* current = EngineParamStore::baseObject(node);
    if (current == it->second) return false;
    Object* previous = it->second;
    it->second = current;
    if (!previous || !current) return false;
    migrateParams(store_, previous, current);
    return true;
}

void ParamWatch::forget(Animatable* item) {
    for (auto it = seen_.begin(); it != seen_.end();) {
        if (it->first == item) {
            it = seen_.erase(it);
            continue;
        }
        if (it->second == item) it->second = nullptr;
        ++it;
    }
}

}  // namespace zeq

// The clone directory of one clone operation.
#include "headless/remap_table.h"

namespace headless {

ReferenceTarget* RemapTable::CloneRef(ReferenceTarget* target) {
    if (!target) return nullptr;
    if (ReferenceTarget* known = FindMapping(target)) return known;
    ReferenceTarget* clone = target->Clone(*this);
    if (clone) AddEntry(target, clone);
    return clone;
}

ReferenceTarget* RemapTable::FindMapping(ReferenceTarget* from) {
    auto it = map_.find(from);
    return it == map_.end() ? nullptr : it->second;
}

void RemapTable::AddEntry(ReferenceTarget* from, ReferenceTarget* to) {
    if (from && to) map_[from] = to;
}

}  // namespace headless

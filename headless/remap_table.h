#pragma once
// The headless host's clone directory: one per clone operation. Each target is cloned once; later
// requests for the same target get the same clone.
#include "host/host.h"

#include <unordered_map>

namespace headless {

class RemapTable : public RemapDir {
public:
    ReferenceTarget* CloneRef(ReferenceTarget* target) override;
    ReferenceTarget* FindMapping(ReferenceTarget* from) override;
    void AddEntry(ReferenceTarget* from, ReferenceTarget* to) override;
    size_t size() const { return map_.size(); }

private:
    std::unordered_map<ReferenceTarget*, ReferenceTarget*> map_;
};

}  // namespace headless

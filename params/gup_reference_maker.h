#pragma once
// The utility's reference holder: it keeps a host reference to every watched node, so that the
// host tells it when such a node changes, and passes a change of the node (REFMSG_NODE_HANDLE_
// CHANGED) on to the watch, which carries parameters over to a new base object.
//
// Next to each node it also references the base object the node is remembered with: the old object
// must still be readable when the node reports its replacement, and if the host deletes it first,
// the holder hears of it and the watch stops reading it.
#include "params/param_watch.h"

#include <vector>

namespace zeq {

class GUPReferenceMaker : public ReferenceMaker {
public:
    explicit GUPReferenceMaker(ParamWatch& watch) : watch_(watch) {}
    ~GUPReferenceMaker() override { DeleteAllRefs(); }

    // Starts watching node: it is remembered with its base object, and references to both are
    // added at the end of the list. A node watched already is only remembered anew.
    void watchNode(INode* node);
    // Drops every reference (and forgets every watched node).
    void DeleteAllRefs();

    // References: node k at 2k, the base object it is remembered with at 2k + 1.
    int NumRefs() override { return static_cast<int>(refs_.size()); }
    ReferenceTarget* GetReference(int i) override;
    RefResult NotifyRefChanged(const Interval& changeInterval, ReferenceTarget* target, PartID partID,
                               RefMessage message) override;

protected:
    void SetReference(int i, ReferenceTarget* target) override;

private:
    ParamWatch& watch_;
    std::vector<ReferenceTarget*> refs_;
};

}  // namespace zeq

#pragma once
// The clone operation's directory of what has been cloned: while a set of objects is cloned, each
// referenced target is cloned once and every object that referred to the original refers to its
// clone. The host provides it for each clone operation.
class ReferenceTarget;

class RemapDir {
public:
    virtual ~RemapDir() = default;
    // The clone of target made in this operation: made now (target->Clone(*this)) when there is
    // none yet. Null for a null target or a target that cannot be cloned.
    virtual ReferenceTarget* CloneRef(ReferenceTarget* target) = 0;
    // The clone recorded for from; null when there is none.
    virtual ReferenceTarget* FindMapping(ReferenceTarget* from) = 0;
    // Records to as the clone of from.
    virtual void AddEntry(ReferenceTarget* from, ReferenceTarget* to) = 0;
};

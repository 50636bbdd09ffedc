// References of the utility to watched nodes and their base objects, and the change notices they
// bring.
#include "params/gup_reference_maker.h"

namespace zeq {

ReferenceTarget* GUPReferenceMaker::GetReference(int i) {
    return i >= 0 && i < NumRefs() ? refs_[static_cast<size_t>(i)] : nullptr;
}

void GUPReferenceMaker::SetReference(int i, ReferenceTarget* target) {
    if (i >= 0 && i < NumRefs()) refs_[static_cast<size_t>(i)] = target;
}

void GUPReferenceMaker::watchNode(INode* node) {
    if (!node) return;
    watch_.watch(node);
    Object* base = EngineParamStore::baseObject(node);
    for (size_t k = 0; k + 1 < refs_.size(); k += 2) {
        if (refs_[k] != node) continue;
        ReplaceReference(static_cast<int>(k + 1), base);
        return;
    }
    refs_.push_back(nullptr);
    refs_.push_back(nullptr);
    ReplaceReference(NumRefs() - 2, node);
    ReplaceReference(NumRefs() - 1, base);
}

void GUPReferenceMaker::DeleteAllRefs() {
    for (int i = 0; i < NumRefs(); ++i) ReplaceReference(i, nullptr);
    refs_.clear();
    watch_.clear();
}

RefResult GUPReferenceMaker::NotifyRefChanged(const Interval&, ReferenceTarget* target, PartID, RefMessage message) {
    if (message == REFMSG_NODE_HANDLE_CHANGED) {
        for (size_t k = 0; k + 1 < refs_.size(); k += 2) {
            if (refs_[k] != target) continue;
            auto* node = static_cast<INode*>(target);
            watch_.nodeChanged(node);
            // From now on the node is remembered with its new base object.
            ReplaceReference(static_cast<int>(k + 1), EngineParamStore::baseObject(node));
        }
        return REF_SUCCEED;
    }
    if (message == REFMSG_TARGET_DELETED) {
        // The host has already dropped the deleted target's references; only the slots are cleared.
        for (size_t i = 0; i < refs_.size(); ++i) {
            if (refs_[i] != target) continue;
            refs_[i] = nullptr;
            // A deleted node takes its base-object reference with it.
            if (i % 2 == 0) ReplaceReference(static_cast<int>(i + 1), nullptr);
        }
        watch_.forget(target);
        return REF_SUCCEED;
    }
    return REF_DONTCARE;
}

}  // namespace zeq

#include "host/class_desc.h"

void ClassDesc2::AddParamBlockDesc(ParamBlockDesc2* desc) {
    if (!desc) return;
    desc->classDesc = this;
    blockDescs_.push_back(desc);
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDesc(int i) {
    if (i < 0 || i >= NumParamBlockDescs()) return nullptr;
    return blockDescs_[i];
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByID(BlockID id) {
    for (auto* desc : blockDescs_)
        if (desc->id == id) return desc;
    return nullptr;
}

void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* owner) {
    if (!owner) return;
    for (auto* desc : blockDescs_) {
        if (!(desc->flags & P_AUTO_CONSTRUCT)) continue;
        owner->ReplaceReference(desc->ref, CreateParameterBlock2(*desc, owner));
    }
}

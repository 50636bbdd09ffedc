#include "host/class_desc.h"

#include "host/plugin_library.h"

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

void ClassDesc2::BeginEditParams(IObjParam* ip, ReferenceMaker* obj, uint32_t, Animatable*) {
    if (!ip || !obj) return;
    // Pages still open from an earlier edit in the same host are taken down first, so that each
    // block shows once; pages of another host are only forgotten (that host may be gone).
    if (pagesOwner_ == ip) EndEditParams(ip, obj, END_EDIT_REMOVEUI, nullptr);
    pages_.clear();
    pagesOwner_ = ip;
    for (auto* desc : blockDescs_) {
        if (!(desc->flags & P_AUTO_UI)) continue;
        auto* block = dynamic_cast<IParamBlock2*>(obj->GetReference(desc->ref));
        char title[PluginLibrary::kStringBufferSize] = {};
        LoadString(HInstance(), desc->titleStringId, title, sizeof title);
        WindowHandle page = ip->AddRollupPage(HInstance(), desc->dialogTemplateId, desc->dialogProc, title, block);
        if (page) pages_.push_back(page);
    }
}

void ClassDesc2::EndEditParams(IObjParam* ip, ReferenceMaker*, uint32_t, Animatable*) {
    // Pages are taken down through the interface that showed them.
    if (ip && ip == pagesOwner_)
        for (WindowHandle page : pages_) ip->DeleteRollupPage(page);
    pages_.clear();
    pagesOwner_ = nullptr;
}

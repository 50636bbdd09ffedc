// The headless host's events and published services: notification registrations and broadcasts,
// command modes and their callbacks, core interfaces, reference dependencies (who hears a target's
// change notices), global utilities and node creation as the create mode does it.
#include "headless/host.h"

#include <algorithm>

namespace headless {

// ---- Notifications ----

bool Host::RegisterNotification(NOTIFYPROC proc, void* param, int code) {
    for (const auto& r : notifyRegistrations_)
        if (r.proc == proc && r.param == param && r.code == code) return false;
    notifyRegistrations_.push_back({proc, param, code});
    return true;
}

bool Host::UnRegisterNotification(NOTIFYPROC proc, void* param, int code) {
    return std::erase_if(notifyRegistrations_, [&](const NotifyRegistration& r) {
               return r.proc == proc && r.param == param && r.code == code;
           }) > 0;
}

void Host::BroadcastNotification(int code, void* callParam) {
    // A handler may register or unregister while the notice goes round: the round uses a copy,
    // and skips registrations removed in the meantime.
    const std::vector<NotifyRegistration> round = notifyRegistrations_;
    for (const NotifyRegistration& r : round) {
        if (r.code != code) continue;
        const bool stillRegistered = std::any_of(notifyRegistrations_.begin(), notifyRegistrations_.end(),
                                                 [&](const NotifyRegistration& now) {
                                                     return now.proc == r.proc && now.param == r.param &&
                                                            now.code == r.code;
                                                 });
        if (!stillRegistered) continue;
        NotifyInfo info{code, callParam};
        r.proc(r.param, &info);
    }
}

// ---- Command modes ----

void Host::RegisterCommandModeChangedCallback(CommandModeChangedCallback* callback) {
    if (std::find(modeCallbacks_.begin(), modeCallbacks_.end(), callback) == modeCallbacks_.end())
        modeCallbacks_.push_back(callback);
}

void Host::UnRegisterCommandModeChangedCallback(CommandModeChangedCallback* callback) {
    std::erase(modeCallbacks_, callback);
}

void Host::enterCommandMode(int id) {
    Mode* mode = nullptr;
    for (const auto& m : modes_)
        if (m->ID() == id) mode = m.get();
    if (!mode) {
        modes_.push_back(std::make_unique<Mode>(id));
        mode = modes_.back().get();
    }
    Mode* old = commandMode_;
    commandMode_ = mode;
    const std::vector<CommandModeChangedCallback*> callbacks = modeCallbacks_;
    for (CommandModeChangedCallback* callback : callbacks)
        if (std::find(modeCallbacks_.begin(), modeCallbacks_.end(), callback) != modeCallbacks_.end())
            callback->ModeChanged(old, mode);
}

void Host::leaveCommandMode() {
    Mode* old = commandMode_;
    if (!old) return;
    commandMode_ = nullptr;
    const std::vector<CommandModeChangedCallback*> callbacks = modeCallbacks_;
    for (CommandModeChangedCallback* callback : callbacks)
        if (std::find(modeCallbacks_.begin(), modeCallbacks_.end(), callback) != modeCallbacks_.end())
            callback->ModeChanged(old, nullptr);
}

// ---- Core interfaces ----

FPInterface* Host::FindCoreInterface(Interface_ID id) {
    for (FPInterface* fp : coreInterfaces_)
        if (fp->GetID() == id) return fp;
    if (!plugins_) return nullptr;
    for (const PluginLibraryInfo& library : plugins_->libraries()) {
        for (const PluginClass& cls : library.classes) {
            if (!cls.desc) continue;
            for (int i = 0; i < cls.desc->NumInterfaces(); ++i) {
                FPInterface* fp = cls.desc->GetInterfaceAt(i);
                if (fp && (fp->GetDesc().flags & FP_CORE) && fp->GetID() == id) return fp;
            }
        }
    }
    return nullptr;
}

bool Host::RegisterCoreInterface(FPInterface* fpInterface) {
    for (FPInterface* fp : coreInterfaces_)
        if (fp == fpInterface || fp->GetID() == fpInterface->GetID()) return false;
    coreInterfaces_.push_back(fpInterface);
    return true;
}

bool Host::UnRegisterCoreInterface(FPInterface* fpInterface) { return std::erase(coreInterfaces_, fpInterface) > 0; }

// ---- Reference dependencies ----

void Host::ReferenceReplaced(ReferenceMaker* maker, ReferenceTarget* oldTarget, ReferenceTarget* newTarget) {
    if (oldTarget) {
        auto [first, last] = dependents_.equal_range(oldTarget);
        for (auto it = first; it != last; ++it) {
            if (it->second == maker) {
                dependents_.erase(it);
                break;
            }
        }
    }
    if (newTarget) dependents_.emplace(newTarget, maker);
}

void Host::tellDependents(ReferenceTarget* target, Interval changeInterval, PartID partID, RefMessage message) {
    std::vector<ReferenceMaker*> makers;
    auto [first, last] = dependents_.equal_range(target);
    for (auto it = first; it != last; ++it)
        if (std::find(makers.begin(), makers.end(), it->second) == makers.end()) makers.push_back(it->second);
    for (ReferenceMaker* maker : makers) {
        // A maker that an earlier one's handling deleted or detached hears nothing more.
        bool stillDepends = false;
        auto [from, to] = dependents_.equal_range(target);
        for (auto it = from; it != to; ++it) stillDepends = stillDepends || it->second == maker;
        if (stillDepends) maker->NotifyRefChanged(changeInterval, target, partID, message);
    }
}

void Host::forgetDependencies(Animatable* item) {
    if (dependents_.empty()) return;
    std::erase_if(dependents_, [item](const auto& entry) { return static_cast<Animatable*>(entry.second) == item; });
    std::vector<std::pair<ReferenceTarget*, ReferenceMaker*>> told;
    for (auto it = dependents_.begin(); it != dependents_.end();) {
        if (static_cast<Animatable*>(it->first) == item) {
            told.emplace_back(it->first, it->second);
            it = dependents_.erase(it);
        } else {
            ++it;
        }
    }
    // The item is being destroyed: the makers get its address only to drop it.
    for (auto [target, maker] : told) maker->NotifyRefChanged(FOREVER, target, PART_ALL, REFMSG_TARGET_DELETED);
}

// ---- Global utilities ----

int Host::startGlobalUtilities() {
    if (!plugins_) return 0;
    int kept = 0;
    for (ClassDesc* desc : plugins_->classesOf(GUP_CLASS_ID)) {
        auto* utility = static_cast<GUP*>(desc->Create(false));
        if (!utility) continue;
        if (utility->Start() == GUPRESULT_KEEP) {
            utilities_.push_back(utility);
            ++kept;
        } else {
            utility->DeleteThis();
        }
    }
    return kept;
}

void Host::stopGlobalUtilities() {
    while (!utilities_.empty()) {
        GUP* utility = utilities_.back();
        utilities_.pop_back();
        utility->Stop();
        utility->DeleteThis();
    }
}

// ---- Node creation ----

Node* Host::createNodeInteractively(Object* obj, const std::string& name) {
    Node* node = scene_->createNode(name);
    if (obj) node->SetObjectRef(obj);
    SelectNode(node, true);
    BroadcastNotification(NOTIFY_NODE_CREATED, static_cast<INode*>(node));
    return node;
}

}  // namespace headless

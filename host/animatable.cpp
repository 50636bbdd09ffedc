#include "host/animatable.h"

#include "host/host_services.h"

#include <cstdlib>
#include <cstring>

void* HostAlloc(size_t size) { return std::malloc(size > 0 ? size : 1); }
void HostFree(void* block) { std::free(block); }

Animatable::~Animatable() {
    for (auto& chunk : appData_) HostFree(chunk.data);
    appData_.clear();
    if (HostServices* host = InstalledHostServices()) host->TargetDeleted(this);
}

void* Animatable::GetInterface(uint32_t) { return nullptr; }
BaseInterface* Animatable::GetInterface(Interface_ID) { return nullptr; }

void Animatable::AddAppDataChunk(Class_ID cid, SClass_ID sid, uint32_t subID, uint32_t length, void* data) {
    for (auto& chunk : appData_) {
        if (chunk.classID == cid && chunk.superClassID == sid && chunk.subID == subID) {
            if (chunk.data != data) HostFree(chunk.data);
            chunk.length = length;
            chunk.data = data;
            return;
        }
    }
    appData_.push_back({cid, sid, subID, length, data});
}

AppDataChunk* Animatable::GetAppDataChunk(Class_ID cid, SClass_ID sid, uint32_t subID) {
    for (auto& chunk : appData_)
        if (chunk.classID == cid && chunk.superClassID == sid && chunk.subID == subID) return &chunk;
    return nullptr;
}

bool Animatable::RemoveAppDataChunk(Class_ID cid, SClass_ID sid, uint32_t subID) {
    for (auto it = appData_.begin(); it != appData_.end(); ++it) {
        if (it->classID == cid && it->superClassID == sid && it->subID == subID) {
            HostFree(it->data);
            appData_.erase(it);
            return true;
        }
    }
    return false;
}

void Animatable::ClearAllAppData() {
    for (auto& chunk : appData_) HostFree(chunk.data);
    appData_.clear();
}

AppDataChunk* Animatable::GetAppDataChunkByIndex(int i) {
    if (i < 0 || i >= NumAppDataChunks()) return nullptr;
    return &appData_[i];
}

void Animatable::BeginEditParams(IObjParam*, uint32_t, Animatable*) {}
void Animatable::EndEditParams(IObjParam*, uint32_t, Animatable*) {}

ReferenceTarget* ReferenceMaker::GetReference(int) { return nullptr; }
void ReferenceMaker::SetReference(int, ReferenceTarget*) {}

void ReferenceMaker::ReplaceReference(int i, ReferenceTarget* target) {
    ReferenceTarget* old = GetReference(i);
    SetReference(i, target);
    if (old == target) return;
    if (HostServices* host = InstalledHostServices()) host->ReferenceReplaced(this, old, target);
}

void ReferenceTarget::NotifyDependents(Interval changeInterval, PartID partID, RefMessage message) {
    if (HostServices* host = InstalledHostServices()) host->DependentsNotified(this, changeInterval, partID, message);
}

ReferenceTarget* ReferenceTarget::Clone(RemapDir&) { return nullptr; }

void ReferenceTarget::BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir&) {
    if (!from || !to || from == to) return;
    for (int i = 0; i < from->NumAppDataChunks(); ++i) {
        const AppDataChunk* chunk = from->GetAppDataChunkByIndex(i);
        void* data = HostAlloc(chunk->length);
        if (chunk->length > 0 && chunk->data) std::memcpy(data, chunk->data, chunk->length);
        to->AddAppDataChunk(chunk->classID, chunk->superClassID, chunk->subID, chunk->length, data);
    }
}

#include "host/material.h"

#include "host/host_services.h"
#include "host/texmap.h"

#include <stdexcept>

Texmap* MtlBase::GetSubTexmap(int) { return nullptr; }
void MtlBase::SetSubTexmap(int, Texmap*) {}
IParamBlock2* MtlBase::GetParamBlock(int) { return nullptr; }

IParamBlock2* MtlBase::GetParamBlockByID(BlockID id) {
    for (int i = 0; i < NumParamBlocks(); ++i) {
        IParamBlock2* block = GetParamBlock(i);
        if (block && block->ID() == id) return block;
    }
    return nullptr;
}

Mtl* Mtl::GetSubMtl(int) { return nullptr; }
void Mtl::SetSubMtl(int, Mtl*) {}

int Texmap::GetMapChannel() {
    UVGen* uv = GetTheUVGen();
    return uv ? uv->GetMapChannel() : 1;
}

namespace {

HostServices& requireHost(const char* what) {
    HostServices* host = InstalledHostServices();
    if (!host) throw std::logic_error(std::string(what) + ": no host is running");
    return *host;
}

}  // namespace

StdMat* NewDefaultStdMat() { return requireHost("NewDefaultStdMat").NewStdMat(); }
MultiMtl* NewDefaultMultiMtl() { return requireHost("NewDefaultMultiMtl").NewMultiMtl(); }
BitmapTex* NewDefaultBitmapTex() { return requireHost("NewDefaultBitmapTex").NewBitmapTex(); }

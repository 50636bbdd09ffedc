#include "host/host_services.h"

#include "host/plugin_library.h"
#include "host/scene_building.h"

namespace {

// The one installed host. The boundary library is shared, so the host executable and every plug-in
// it loads see the same pointer.
HostServices* installedHost = nullptr;

// Frames per second when no host runs: 30, as a new scene of the host has.
constexpr int kDefaultTicksPerFrame = TIME_TICKSPERSEC / 30;

}  // namespace

HostServices* InstallHostServices(HostServices* host) {
    HostServices* previous = installedHost;
    installedHost = host;
    return previous;
}

HostServices* InstalledHostServices() { return installedHost; }

Interface* GetCOREInterface() { return installedHost ? installedHost->CoreInterface() : nullptr; }

int GetTicksPerFrame() {
    Interface* core = GetCOREInterface();
    return core ? core->GetTicksPerFrame() : kDefaultTicksPerFrame;
}

void SetTicksPerFrame(int ticks) {
    if (Interface* core = GetCOREInterface()) core->SetTicksPerFrame(ticks);
}

int GetFrameRate() {
    int ticks = GetTicksPerFrame();
    return ticks > 0 ? TIME_TICKSPERSEC / ticks : 0;
}

intptr_t DialogBoxParam(ModuleHandle module, int templateId, WindowHandle parent, DialogProc proc,
                        intptr_t initParam) {
    if (!installedHost || !proc) return -1;
    const DialogTemplate* dialog = FindDialogTemplate(module, templateId);
    if (!dialog) return -1;
    return installedHost->RunDialog(module, *dialog, parent, proc, initParam);
}

int MessageBox(WindowHandle parent, const char* text, const char* caption, uint32_t type) {
    if (!installedHost) return 0;
    return installedHost->ShowMessageBox(parent, text ? text : "", caption ? caption : "", type);
}

WindowHandle GetActiveWindow() { return installedHost ? installedHost->ActiveWindow() : nullptr; }

ILayerManager* GetLayerManager() { return installedHost ? installedHost->LayerManager() : nullptr; }

namespace {
// Animate mode is one host-wide switch, off at start.
bool animateMode = false;
}  // namespace

void AnimateOn() { animateMode = true; }
void AnimateOff() { animateMode = false; }
bool Animating() { return animateMode; }

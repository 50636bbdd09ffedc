// Host notifications, command-mode callbacks and core interfaces reach the running host.
#include "host/command_mode.h"
#include "host/core_interface.h"
#include "host/host_services.h"
#include "host/notify.h"

int RegisterNotification(NOTIFYPROC proc, void* param, int code) {
    HostServices* host = InstalledHostServices();
    return host && proc && host->RegisterNotification(proc, param, code) ? 1 : 0;
}

int UnRegisterNotification(NOTIFYPROC proc, void* param, int code) {
    HostServices* host = InstalledHostServices();
    return host && host->UnRegisterNotification(proc, param, code) ? 1 : 0;
}

void BroadcastNotification(int code, void* callParam) {
    if (HostServices* host = InstalledHostServices()) host->BroadcastNotification(code, callParam);
}

void RegisterCommandModeChangedCallback(CommandModeChangedCallback* callback) {
    HostServices* host = InstalledHostServices();
    if (host && callback) host->RegisterCommandModeChangedCallback(callback);
}

void UnRegisterCommandModeChangedCallback(CommandModeChangedCallback* callback) {
    if (HostServices* host = InstalledHostServices()) host->UnRegisterCommandModeChangedCallback(callback);
}

FPInterface* GetCOREInterface(Interface_ID id) {
    HostServices* host = InstalledHostServices();
    return host ? host->FindCoreInterface(id) : nullptr;
}

int RegisterCOREInterface(FPInterface* fpInterface) {
    HostServices* host = InstalledHostServices();
    return host && fpInterface && host->RegisterCoreInterface(fpInterface) ? 1 : 0;
}

int UnRegisterCOREInterface(FPInterface* fpInterface) {
    HostServices* host = InstalledHostServices();
    return host && host->UnRegisterCoreInterface(fpInterface) ? 1 : 0;
}

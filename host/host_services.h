#pragma once
// What a running host provides to the boundary library. A host (the headless host, or an adapter
// onto a real host) implements HostServices and installs it at start-up; from then on the global
// functions plug-ins call (GetCOREInterface, CreateNewTriObject, DialogBoxParam, MessageBox, ...)
// reach it. One host is installed at a time.
#include "host/interface.h"
#include "host/notify.h"
#include "host/paramblock.h"
#include "host/ui.h"

class TriObject;
class StdMat;
class MultiMtl;
class BitmapTex;
class CommandModeChangedCallback;
class FPInterface;
class IDerivedObject;
class Object;
class ILayerManager;

class HostServices {
public:
    virtual ~HostServices() = default;

    virtual Interface* CoreInterface() = 0;

    // Objects the boundary's creation functions make.
    virtual TriObject* NewTriObject() = 0;
    virtual StdMat* NewStdMat() = 0;
    virtual MultiMtl* NewMultiMtl() = 0;
    virtual BitmapTex* NewBitmapTex() = 0;
    virtual IParamBlock2* NewParamBlock2(const ParamBlockDesc2& desc, ReferenceMaker* owner) = 0;

    // A modifier stack over obj and the host's layers; a host without them returns null.
    virtual IDerivedObject* NewDerivedObject(Object* obj) {
        (void)obj;
        return nullptr;
    }
    virtual ILayerManager* LayerManager() { return nullptr; }

    // Lifetime and change notices from the boundary's base classes.
    virtual void TargetDeleted(Animatable* target) = 0;
    virtual void DependentsNotified(ReferenceTarget* target, Interval changeInterval, PartID partID,
                                    RefMessage message) = 0;

    // User interface.
    virtual intptr_t RunDialog(ModuleHandle module, const DialogTemplate& dialog, WindowHandle parent,
                               DialogProc proc, intptr_t initParam) = 0;
    virtual int ShowMessageBox(WindowHandle parent, const char* text, const char* caption, uint32_t type) = 0;
    virtual WindowHandle ActiveWindow() = 0;

    // Events plug-ins follow and services they publish. A host without them ignores registrations
    // and finds nothing.

    // Notifications (host/notify.h): true when the registration was added / removed.
    virtual bool RegisterNotification(NOTIFYPROC proc, void* param, int code) {
        (void)proc, (void)param, (void)code;
        return false;
    }
    virtual bool UnRegisterNotification(NOTIFYPROC proc, void* param, int code) {
        (void)proc, (void)param, (void)code;
        return false;
    }
    virtual void BroadcastNotification(int code, void* callParam) { (void)code, (void)callParam; }
    // Command-mode changes (host/command_mode.h).
    virtual void RegisterCommandModeChangedCallback(CommandModeChangedCallback* callback) { (void)callback; }
    virtual void UnRegisterCommandModeChangedCallback(CommandModeChangedCallback* callback) { (void)callback; }
    // Core interfaces (host/core_interface.h).
    virtual FPInterface* FindCoreInterface(Interface_ID id) {
        (void)id;
        return nullptr;
    }
    virtual bool RegisterCoreInterface(FPInterface* fpInterface) {
        (void)fpInterface;
        return false;
    }
    virtual bool UnRegisterCoreInterface(FPInterface* fpInterface) {
        (void)fpInterface;
        return false;
    }
    // A reference of maker moved from oldTarget to newTarget (either may be null): from now on
    // maker depends on newTarget and hears its change notices (ReferenceMaker::NotifyRefChanged).
    virtual void ReferenceReplaced(ReferenceMaker* maker, ReferenceTarget* oldTarget, ReferenceTarget* newTarget) {
        (void)maker, (void)oldTarget, (void)newTarget;
    }
};

// Installs a host (null uninstalls) and returns the one installed before.
HostServices* InstallHostServices(HostServices* host);
HostServices* InstalledHostServices();

#pragma once
// What a running host provides to the boundary library. A host (the headless host, or an adapter
// onto a real host) implements HostServices and installs it at start-up; from then on the global
// functions plug-ins call (GetCOREInterface, CreateNewTriObject, DialogBoxParam, MessageBox, ...)
// reach it. One host is installed at a time.
#include "host/interface.h"
#include "host/paramblock.h"
#include "host/ui.h"

class TriObject;
class StdMat;
class MultiMtl;
class BitmapTex;

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

    // Lifetime and change notices from the boundary's base classes.
    virtual void TargetDeleted(Animatable* target) = 0;
    virtual void DependentsNotified(ReferenceTarget* target, Interval changeInterval, PartID partID,
                                    RefMessage message) = 0;

    // User interface.
    virtual intptr_t RunDialog(ModuleHandle module, const DialogTemplate& dialog, WindowHandle parent,
                               DialogProc proc, intptr_t initParam) = 0;
    virtual int ShowMessageBox(WindowHandle parent, const char* text, const char* caption, uint32_t type) = 0;
    virtual WindowHandle ActiveWindow() = 0;
};

// Installs a host (null uninstalls) and returns the one installed before.
HostServices* InstallHostServices(HostServices* host);
HostServices* InstalledHostServices();

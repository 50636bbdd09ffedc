#pragma once
// The class descriptor of the EngineParams global utility. Besides making the utility it publishes
// the "fphelper" scripting interface.
#include "host/class_desc.h"

namespace zeq {

class KeldaneGUPClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    // A new KeldaneGUP, as a GUP*.
    void* Create(bool loading = false) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const char* Category() override;
    const char* InternalName() override { return "KeldaneGUP"; }
    ModuleHandle HInstance() override;
    int NumInterfaces() override { return 1; }
    FPInterface* GetInterfaceAt(int i) override;
};

// The library's one descriptor.
KeldaneGUPClassDesc* GetKeldaneGUPClassDesc();

}  // namespace zeq

// The utility's class descriptor.
#include "params/keldane_gup_class_desc.h"

#include "host/plugin_classes.h"
#include "params/fp_helper.h"
#include "params/keldane_gup.h"
#include "params/resources.h"

namespace zeq {

void* KeldaneGUPClassDesc::Create(bool) { return static_cast<GUP*>(new KeldaneGUP()); }
const char* KeldaneGUPClassDesc::ClassName() { return ParamsString(IDS_PARAMS_CLASS_NAME); }
SClass_ID KeldaneGUPClassDesc::SuperClassID() { return KELDANE_GUP_SUPER_CLASS_ID; }
Class_ID KeldaneGUPClassDesc::ClassID() { return KELDANE_GUP_CLASS_ID; }
const char* KeldaneGUPClassDesc::Category() { return ParamsString(IDS_PARAMS_CATEGORY); }
ModuleHandle KeldaneGUPClassDesc::HInstance() { return paramsLibrary().Handle(); }

FPInterface* KeldaneGUPClassDesc::GetInterfaceAt(int i) { return i == 0 ? &fpHelper() : nullptr; }

KeldaneGUPClassDesc* GetKeldaneGUPClassDesc() {
    static KeldaneGUPClassDesc desc;
    return &desc;
}

}  // namespace zeq

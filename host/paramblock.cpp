#include "host/paramblock.h"

#include "host/host_services.h"

#include <stdexcept>

float IParamBlock2::GetFloat(ParamID id, TimeValue t, int tabIndex) {
    float v = 0.0f;
    Interval valid = FOREVER;
    return GetValue(id, t, v, valid, tabIndex) ? v : 0.0f;
}

int IParamBlock2::GetInt(ParamID id, TimeValue t, int tabIndex) {
    int v = 0;
    Interval valid = FOREVER;
    return GetValue(id, t, v, valid, tabIndex) ? v : 0;
}

Point3 IParamBlock2::GetPoint3(ParamID id, TimeValue t, int tabIndex) {
    Point3 v;
    Interval valid = FOREVER;
    return GetValue(id, t, v, valid, tabIndex) ? v : Point3();
}

const char* IParamBlock2::GetStr(ParamID id, TimeValue t, int tabIndex) {
    const char* v = nullptr;
    Interval valid = FOREVER;
    return GetValue(id, t, v, valid, tabIndex) ? v : nullptr;
}

INode* IParamBlock2::GetINode(ParamID id, TimeValue t, int tabIndex) {
    INode* v = nullptr;
    Interval valid = FOREVER;
    return GetValue(id, t, v, valid, tabIndex) ? v : nullptr;
}

Mtl* IParamBlock2::GetMtl(ParamID id, TimeValue t, int tabIndex) {
    Mtl* v = nullptr;
    Interval valid = FOREVER;
    return GetValue(id, t, v, valid, tabIndex) ? v : nullptr;
}

Texmap* IParamBlock2::GetTexmap(ParamID id, TimeValue t, int tabIndex) {
    Texmap* v = nullptr;
    Interval valid = FOREVER;
    return GetValue(id, t, v, valid, tabIndex) ? v : nullptr;
}

IParamBlock2* CreateParameterBlock2(const ParamBlockDesc2& desc, ReferenceMaker* owner) {
    HostServices* host = InstalledHostServices();
    if (!host) throw std::logic_error("CreateParameterBlock2: no host is running");
    return host->NewParamBlock2(desc, owner);
}

#include "headless/lights.h"

namespace headless {

Class_ID Light::ClassForType(int type) {
    switch (type) {
    case TSPOT_LIGHT: return SPOT_LIGHT_CLASS_ID;
    case DIR_LIGHT: return DIR_LIGHT_CLASS_ID;
    case FSPOT_LIGHT: return FSPOT_LIGHT_CLASS_ID;
    case TDIR_LIGHT: return TDIR_LIGHT_CLASS_ID;
    default: return OMNI_LIGHT_CLASS_ID;
    }
}

const char* Light::GetObjectName() {
    switch (type_) {
    case TSPOT_LIGHT: return "Target Spot";
    case DIR_LIGHT: return "Directional";
    case FSPOT_LIGHT: return "Free Spot";
    case TDIR_LIGHT: return "Target Directional";
    default: return "Omni";
    }
}

void Light::SetAtten(TimeValue, int which, float f) {
    if (which >= ATTEN1_START && which <= ATTEN_END) atten_[which] = f;
}

float Light::GetAtten(TimeValue, int which, Interval* valid) {
    if (valid) *valid = FOREVER;
    return which >= ATTEN1_START && which <= ATTEN_END ? atten_[which] : 0.0f;
}

}  // namespace headless

#pragma once
// Light objects. LightObject holds what every light offers (colour, intensity, attenuation, cone);
// GenLight is the host's standard light with its kind (OMNI_LIGHT, DIR_LIGHT, FSPOT_LIGHT, ...) and
// switches. Angles (hotspot, falloff) are in degrees; attenuation values are numbered ATTEN1_START,
// ATTEN1_END, ATTEN_START (far start) and ATTEN_END (far end).
#include "host/object.h"

class LightObject : public Object {
public:
    SClass_ID SuperClassID() override { return LIGHT_CLASS_ID; }

    virtual void SetUseLight(int onOff) = 0;
    virtual int GetUseLight() = 0;
    virtual void SetRGBColor(TimeValue t, const Point3& rgb) = 0;
    virtual Point3 GetRGBColor(TimeValue t, Interval* valid = nullptr) = 0;
    virtual void SetIntensity(TimeValue t, float f) = 0;
    virtual float GetIntensity(TimeValue t, Interval* valid = nullptr) = 0;
    virtual void SetAtten(TimeValue t, int which, float f) = 0;
    virtual float GetAtten(TimeValue t, int which, Interval* valid = nullptr) = 0;
    virtual void SetUseAtten(int onOff) = 0;
    virtual int GetUseAtten() = 0;
    virtual void SetAttenDisplay(int onOff) = 0;
    virtual int GetAttenDisplay() = 0;
    virtual void SetHotspot(TimeValue t, float degrees) = 0;
    virtual float GetHotspot(TimeValue t, Interval* valid = nullptr) = 0;
    virtual void SetFallsize(TimeValue t, float degrees) = 0;
    virtual float GetFallsize(TimeValue t, Interval* valid = nullptr) = 0;
    virtual void SetConeDisplay(int onOff) = 0;
    virtual int GetConeDisplay() = 0;
    virtual void SetShadow(int onOff) = 0;
    virtual int GetShadow() = 0;
};

class GenLight : public LightObject {
public:
    virtual int Type() = 0;
    virtual void SetType(int type) = 0;
    virtual void SetAffectDiffuse(int onOff) = 0;
    virtual int GetAffectDiffuse() = 0;
    virtual void SetAffectSpecular(int onOff) = 0;
    virtual int GetAffectSpecular() = 0;
    virtual void SetAmbientOnly(int onOff) = 0;
    virtual int GetAmbientOnly() = 0;
    // Light outside the cone of a spot or directional light.
    virtual void SetOvershoot(int onOff) = 0;
    virtual int GetOvershoot() = 0;
    // Use the scene's global shadow settings.
    virtual void SetUseGlobal(int onOff) = 0;
    virtual int GetUseGlobal() = 0;
    virtual void SetDecayType(int type) = 0;
    virtual int GetDecayType() = 0;
};

#pragma once
// The headless host's standard light: every value of the light kinds the host offers (omni, target
// and free spot, directional, target directional). Its class follows its kind.
#include "host/host.h"

namespace headless {

class Light : public GenLight {
public:
    explicit Light(int type) : type_(type) {}

    // The class id of a light kind (OMNI_LIGHT -> OMNI_LIGHT_CLASS_ID, ...); an unknown kind gives
    // the omni class.
    static Class_ID ClassForType(int type);
    static bool IsValidType(int type) { return type >= OMNI_LIGHT && type <= TDIR_LIGHT; }

    Class_ID ClassID() override { return ClassForType(type_); }
    const char* GetObjectName() override;

    void SetUseLight(int onOff) override { useLight_ = onOff; }
    int GetUseLight() override { return useLight_; }
    void SetRGBColor(TimeValue, const Point3& rgb) override { color_ = rgb; }
    Point3 GetRGBColor(TimeValue, Interval* valid = nullptr) override { return held(valid, color_); }
    void SetIntensity(TimeValue, float f) override { intensity_ = f; }
    float GetIntensity(TimeValue, Interval* valid = nullptr) override { return held(valid, intensity_); }
    void SetAtten(TimeValue, int which, float f) override;
    float GetAtten(TimeValue, int which, Interval* valid = nullptr) override;
    void SetUseAtten(int onOff) override { useAtten_ = onOff; }
    int GetUseAtten() override { return useAtten_; }
    void SetAttenDisplay(int onOff) override { attenDisplay_ = onOff; }
    int GetAttenDisplay() override { return attenDisplay_; }
    void SetHotspot(TimeValue, float degrees) override { hotspot_ = degrees; }
    float GetHotspot(TimeValue, Interval* valid = nullptr) override { return held(valid, hotspot_); }
    void SetFallsize(TimeValue, float degrees) override { falloff_ = degrees; }
    float GetFallsize(TimeValue, Interval* valid = nullptr) override { return held(valid, falloff_); }
    void SetConeDisplay(int onOff) override { coneDisplay_ = onOff; }
    int GetConeDisplay() override { return coneDisplay_; }
    void SetShadow(int onOff) override { shadow_ = onOff; }
    int GetShadow() override { return shadow_; }

    int Type() override { return type_; }
    void SetType(int type) override {
        if (IsValidType(type)) type_ = type;
    }
    void SetAffectDiffuse(int onOff) override { affectDiffuse_ = onOff; }
    int GetAffectDiffuse() override { return affectDiffuse_; }
    void SetAffectSpecular(int onOff) override { affectSpecular_ = onOff; }
    int GetAffectSpecular() override { return affectSpecular_; }
    void SetAmbientOnly(int onOff) override { ambientOnly_ = onOff; }
    int GetAmbientOnly() override { return ambientOnly_; }
    void SetOvershoot(int onOff) override { overshoot_ = onOff; }
    int GetOvershoot() override { return overshoot_; }
    void SetUseGlobal(int onOff) override { useGlobal_ = onOff; }
    int GetUseGlobal() override { return useGlobal_; }
    void SetDecayType(int type) override { decayType_ = type; }
    int GetDecayType() override { return decayType_; }

private:
    template <typename T>
    static T held(Interval* valid, T value) {
        if (valid) *valid = FOREVER;
        return value;
    }

    int type_;
    int useLight_ = 1;
    Point3 color_{1.0f, 1.0f, 1.0f};
    float intensity_ = 1.0f;
    float atten_[4] = {0.0f, 40.0f, 80.0f, 200.0f};
    int useAtten_ = 0;
    int attenDisplay_ = 0;
    float hotspot_ = 43.0f;
    float falloff_ = 45.0f;
    int coneDisplay_ = 0;
    int shadow_ = 0;
    int affectDiffuse_ = 1;
    int affectSpecular_ = 1;
    int ambientOnly_ = 0;
    int overshoot_ = 0;
    int useGlobal_ = 0;
    int decayType_ = 0;
};

}  // namespace headless

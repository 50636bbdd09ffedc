// Names that scene-document reading, writing and capturing share.
#include "headless/scene_document_model.h"

namespace headless::document {

namespace {

constexpr Name<ParamType2> kParamTypes[] = {
    {TYPE_FLOAT, "float"},   {TYPE_INT, "int"},           {TYPE_BOOL, "bool"},       {TYPE_POINT3, "point3"},
    {TYPE_RGBA, "color"},    {TYPE_ANGLE, "angle"},       {TYPE_PCNT_FRAC, "percent"}, {TYPE_WORLD, "world"},
    {TYPE_STRING, "string"}, {TYPE_FILENAME, "filename"}, {TYPE_INODE, "node"},      {TYPE_MTL, "material"},
    {TYPE_TEXMAP, "map"},
};

constexpr const char* kSlotNames[STD_NUM_TEXMAPS] = {
    "ambient", "diffuse", "specular", "glossiness", "specularLevel", "selfIllumination",
    "opacity", "filter",  "bump",     "reflection", "refraction",    "displacement",
};

constexpr Name<SClass_ID> kSuperNames[] = {
    {GEOMOBJECT_CLASS_ID, "geometry"}, {CAMERA_CLASS_ID, "camera"}, {LIGHT_CLASS_ID, "light"},
    {SHAPE_CLASS_ID, "shape"},         {HELPER_CLASS_ID, "helper"},
};

}  // namespace

const std::array<LightSwitch, kLightSwitchCount>& lightSwitches() {
    static const std::array<LightSwitch, kLightSwitchCount> switches = {{
        {"on", &GenLight::GetUseLight, &GenLight::SetUseLight, true},
        {"useAttenuation", &GenLight::GetUseAtten, &GenLight::SetUseAtten, true},
        {"showAttenuation", &GenLight::GetAttenDisplay, &GenLight::SetAttenDisplay, true},
        {"showCone", &GenLight::GetConeDisplay, &GenLight::SetConeDisplay, true},
        {"shadow", &GenLight::GetShadow, &GenLight::SetShadow, true},
        {"affectDiffuse", &GenLight::GetAffectDiffuse, &GenLight::SetAffectDiffuse, true},
        {"affectSpecular", &GenLight::GetAffectSpecular, &GenLight::SetAffectSpecular, true},
        {"ambientOnly", &GenLight::GetAmbientOnly, &GenLight::SetAmbientOnly, true},
        {"overshoot", &GenLight::GetOvershoot, &GenLight::SetOvershoot, true},
        {"useGlobalShadows", &GenLight::GetUseGlobal, &GenLight::SetUseGlobal, true},
        {"decayType", &GenLight::GetDecayType, &GenLight::SetDecayType, false},
    }};
    return switches;
}

std::string paramTypeName(ParamType2 type) {
    const ParamType2 base = ParamBaseType(type);
    for (const auto& entry : kParamTypes) {
        if (entry.value == base) return std::string(entry.name) + (IsParamTable(type) ? "[]" : "");
    }
    return {};
}

std::optional<ParamType2> paramTypeFromName(std::string_view name) {
    std::string_view base = name;
    bool table = false;
    if (base.size() > 2 && base.compare(base.size() - 2, 2, "[]") == 0) {
        base.remove_suffix(2);
        table = true;
    }
    for (const auto& entry : kParamTypes) {
        if (base == entry.name) return table ? static_cast<ParamType2>(entry.value | TYPE_TAB) : entry.value;
    }
    return std::nullopt;
}

const char* mapSlotName(int slot) { return slot >= 0 && slot < STD_NUM_TEXMAPS ? kSlotNames[slot] : ""; }

int mapSlotFromName(std::string_view name) {
    for (int i = 0; i < STD_NUM_TEXMAPS; ++i)
        if (name == kSlotNames[i]) return i;
    return -1;
}

std::string superClassName(SClass_ID id) {
    for (const auto& entry : kSuperNames)
        if (entry.value == id) return entry.name;
    return {};
}

std::optional<SClass_ID> superClassFromName(std::string_view name) {
    for (const auto& entry : kSuperNames)
        if (name == entry.name) return entry.value;
    return std::nullopt;
}

}  // namespace headless::document

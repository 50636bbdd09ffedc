// The "fphelper" scripting interface and the helper type lists it reports.
#include "params/fp_helper.h"

#include "params/resources.h"

#include <algorithm>
#include <variant>

namespace zeq {

HelperTypeLists& helperTypeLists() {
    static HelperTypeLists lists;
    return lists;
}

void setHelperTypeList(int helperObject, std::vector<std::string> names, bool multiChoice) {
    if (helperObject < 0 || helperObject >= static_cast<int>(helperTypeLists().size())) return;
    HelperTypeList& list = helperTypeLists()[static_cast<size_t>(helperObject)];
    list.names = std::move(names);
    list.multiChoice = multiChoice;
}

FP_Helper::FP_Helper(HelperTypeLists& lists) : lists_(lists) {
    desc_.id = FP_HELPER_INTERFACE_ID;
    desc_.internalName = "fphelper";
    desc_.descriptionStringId = IDS_PARAMS_CLASS_NAME;
    desc_.flags = FP_CORE;
    desc_.functions = {
        {FP_HELPER_IS_MULTI_TYPE, "isMultiType", FPType::Bool, {{"helperObject", FPType::Int}}},
        {FP_HELPER_GET_TYPE_COUNT, "getTypeCount", FPType::Int, {{"helperObject", FPType::Int}}},
        {FP_HELPER_GET_TYPE_VALUE, "getTypeValue", FPType::String, {{"helperObject", FPType::Int}, {"index", FPType::Int}}},
    };
}

const HelperTypeList* FP_Helper::list(int helperObject) const {
    if (helperObject < 0 || helperObject >= static_cast<int>(lists_.size())) return nullptr;
    return &lists_[static_cast<size_t>(helperObject)];
}

bool FP_Helper::isMultiType(int helperObject) {
    const HelperTypeList* l = list(helperObject);
    return l && l->multiChoice;
}

int FP_Helper::getTypeCount(int helperObject) {
    const HelperTypeList* l = list(helperObject);
    return l ? static_cast<int>(l->names.size()) : -1;
}

std::optional<std::string> FP_Helper::getTypeValue(int helperObject, int index) {
    const HelperTypeList* l = list(helperObject);
    // An index outside the list answers none rather than reading past the names.
    if (!l || index < 0 || index >= static_cast<int>(l->names.size())) return std::nullopt;
    return l->names[static_cast<size_t>(index)];
}

int FP_Helper::Invoke(int fid, FPValue& result, const FPParams& params) {
    result = FPValue();
    // Every argument is an integer; any other value (none, a float, a text) would read as list 0.
    const bool integers =
        std::all_of(params.begin(), params.end(), [](const FPValue& p) { return std::holds_alternative<int>(p.value); });
    if (!integers && fid >= FP_HELPER_IS_MULTI_TYPE && fid <= FP_HELPER_GET_TYPE_VALUE) return FPS_FAIL;
    switch (fid) {
    case FP_HELPER_IS_MULTI_TYPE:
        if (params.size() != 1) return FPS_FAIL;
        result = FPValue(isMultiType(params[0].asInt()));
        return FPS_OK;
    case FP_HELPER_GET_TYPE_COUNT:
        if (params.size() != 1) return FPS_FAIL;
        result = FPValue(getTypeCount(params[0].asInt()));
        return FPS_OK;
    case FP_HELPER_GET_TYPE_VALUE:
        if (params.size() != 2) return FPS_FAIL;
        if (auto name = getTypeValue(params[0].asInt(), params[1].asInt())) result = FPValue(std::move(*name));
        return FPS_OK;
    default: return FPS_NO_SUCH_FUNCTION;
    }
}

FP_Helper& fpHelper() {
    static FP_Helper helper(helperTypeLists());
    return helper;
}

}  // namespace zeq

#pragma once
// The scripting interface "fphelper": a core interface published by the utility's class descriptor
// that reports the helper type lists (how many type names a helper kind offers, the names, and
// whether they are multi-choice), so that scripts can read the stored helper types back.
//
// The lists themselves belong to the plug-in for its whole lifetime. Nothing in the suite fills
// them; a caller that does (setHelperTypeList) must keep the order of the names, because stored
// values are positions in the list.
#include "host/core_interface.h"
#include "params/engine_params.h"

#include <optional>
#include <string>
#include <vector>

namespace zeq {

inline constexpr Interface_ID FP_HELPER_INTERFACE_ID{0x00434455, 0x00065654};

// Function ids of the interface.
inline constexpr int FP_HELPER_IS_MULTI_TYPE = 0;
inline constexpr int FP_HELPER_GET_TYPE_COUNT = 1;
inline constexpr int FP_HELPER_GET_TYPE_VALUE = 2;

// The plug-in's three helper type lists, indexed 0, 1, 2 as the interface's helperObject.
HelperTypeLists& helperTypeLists();
// Replaces list helperObject (0..2; other values are ignored).
void setHelperTypeList(int helperObject, std::vector<std::string> names, bool multiChoice);

// The functions scripts call, as C++ calls.
class IFP_Helper : public FPStaticInterface {
public:
    // The multi-choice flag of list helperObject; false for other values.
    virtual bool isMultiType(int helperObject) = 0;
    // Number of names in the list; -1 for other helperObject values.
    virtual int getTypeCount(int helperObject) = 0;
    // Name `index` of the list; none for other helperObject values and for an index outside the list.
    virtual std::optional<std::string> getTypeValue(int helperObject, int index) = 0;
};

class FP_Helper : public IFP_Helper {
public:
    explicit FP_Helper(HelperTypeLists& lists);
    const FPInterfaceDesc& GetDesc() override { return desc_; }
    int Invoke(int fid, FPValue& result, const FPParams& params) override;
    bool isMultiType(int helperObject) override;
    int getTypeCount(int helperObject) override;
    std::optional<std::string> getTypeValue(int helperObject, int index) override;

private:
    const HelperTypeList* list(int helperObject) const;

    HelperTypeLists& lists_;
    FPInterfaceDesc desc_;
};

// The library's one instance, on the plug-in's lists.
FP_Helper& fpHelper();

}  // namespace zeq

// Values of function-published interfaces.
#include "host/core_interface.h"

namespace {

template <typename T>
T valueOr(const FPValue& v, T otherwise) {
    const T* held = std::get_if<T>(&v.value);
    return held ? *held : otherwise;
}

}  // namespace

int FPValue::asInt() const { return valueOr(*this, 0); }
bool FPValue::asBool() const { return valueOr(*this, false); }
float FPValue::asFloat() const { return valueOr(*this, 0.0f); }
std::string FPValue::asString() const { return valueOr(*this, std::string()); }
INode* FPValue::asNode() const { return valueOr<INode*>(*this, nullptr); }

int FPInterface::FunctionIdAt(int i) {
    const auto& functions = GetDesc().functions;
    return i >= 0 && i < static_cast<int>(functions.size()) ? functions[static_cast<size_t>(i)].id : -1;
}

#pragma once
// Function-published interfaces: a set of functions that scripts (and other plug-ins) call by
// function id with typed arguments. A core interface is published host-wide under its
// Interface_ID (flag FP_CORE): a class descriptor lists the interfaces its library publishes
// (ClassDesc::NumInterfaces / GetInterfaceAt), and a host may also be handed one directly
// (RegisterCOREInterface). GetCOREInterface(id) finds it.
#include "host/animatable.h"
#include "host/ids.h"

#include <string>
#include <variant>
#include <vector>

class INode;

// The types function parameters and results are declared with.
enum class FPType { Void, Int, Bool, Float, String, Node };

// One argument or result: nothing (void / "none"), an integer, a boolean, a float, a string or a
// node.
struct FPValue {
    std::variant<std::monostate, int, bool, float, std::string, INode*> value;

    FPValue() = default;
    FPValue(int v) : value(v) {}
    FPValue(bool v) : value(v) {}
    FPValue(float v) : value(v) {}
    FPValue(std::string v) : value(std::move(v)) {}
    FPValue(const char* v) : value(std::string(v ? v : "")) {}
    FPValue(INode* v) : value(v) {}

    bool isNone() const { return std::holds_alternative<std::monostate>(value); }
    // The value as that type; a default (0, false, "", null) when it holds another type.
    int asInt() const;
    bool asBool() const;
    float asFloat() const;
    std::string asString() const;
    INode* asNode() const;
};

using FPParams = std::vector<FPValue>;

// Description of one published function.
struct FPParamDef {
    std::string name;
    FPType type = FPType::Int;
};
struct FPFunctionDef {
    int id = 0;
    std::string name;
    FPType result = FPType::Void;
    std::vector<FPParamDef> params;
};

// Description of an interface: id, internal name, description string (a string-table id of the
// publishing library), flags (FP_CORE) and functions in order.
struct FPInterfaceDesc {
    Interface_ID id;
    std::string internalName;
    int descriptionStringId = 0;
    uint32_t flags = 0;
    std::vector<FPFunctionDef> functions;
};

class FPInterface : public BaseInterface {
public:
    virtual const FPInterfaceDesc& GetDesc() = 0;
    Interface_ID GetID() override { return GetDesc().id; }
    // Calls function fid with params; the result goes to result. Returns FPS_OK, FPS_FAIL, or
    // FPS_NO_SUCH_FUNCTION for an id the interface does not have.
    virtual int Invoke(int fid, FPValue& result, const FPParams& params) = 0;
    // The id of the function at position i of the description; -1 outside.
    int FunctionIdAt(int i);
};

// A core interface published by a plug-in library: one static object per interface.
class FPStaticInterface : public FPInterface {};

// The core interface published under id; null when none is (or no host runs).
FPInterface* GetCOREInterface(Interface_ID id);
// Publishes an interface host-wide (not owned); 1 on success, 0 without a host or for an id in use.
int RegisterCOREInterface(FPInterface* fpInterface);
int UnRegisterCOREInterface(FPInterface* fpInterface);

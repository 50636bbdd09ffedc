#pragma once
// The headless parameter block: one value per parameter (parameters are not animated; a value set
// at any time holds for all time), tables as lists of values. Built from a ParamBlockDesc2 (every
// parameter at its default) or parameter by parameter through the builder API.
#include "host/host.h"

#include <string>
#include <vector>

namespace headless {

class Scene;

class ParamBlock : public IParamBlock2 {
public:
    // One stored value; which member counts depends on the parameter's type.
    struct Value {
        float f = 0.0f;
        int i = 0;
        Point3 p;
        std::string s;
        bool hasString = false;             // a string entry may be absent (null)
        ReferenceTarget* ref = nullptr;     // node, material or map
    };
    struct Param {
        ParamDef def;
        std::string name;                   // owns def.internalName's text
        std::vector<Value> values;          // one for a plain parameter, the entries of a table
    };

    // An empty block; scene (may be null) clears node, material and map values when those die.
    ParamBlock(Scene* scene, BlockID id, std::string localName);
    // A block with the parameters of desc at their defaults.
    ParamBlock(Scene* scene, const ParamBlockDesc2& desc);
    ~ParamBlock() override;

    // ---- Builder API ----
    // Adds a parameter (a table when type has TYPE_TAB) with the zero value / an empty table, or
    // returns false when the id exists already.
    bool addParam(ParamID id, const std::string& name, ParamType2 type, int tableSize = 0);
    bool addParam(const ParamDef& def);
    const std::vector<Param>& params() const { return params_; }
    const Param* findParam(ParamID id) const;
    // Puts stored values back as loading a saved scene does: a table takes exactly these entries, a
    // plain parameter the first one; bool values become 0 or 1. The parameter's validator and
    // accessor are not run, since they react to edits and a load is none. False (nothing changed)
    // when the parameter is missing, holds another kind of value than type (float, int or bool,
    // point or colour, string or file name, node, material, map), or is a table where type is
    // none or the other way round.
    bool restoreValues(ParamID id, ParamType2 type, std::vector<Value> values);
    // Whether restoreValues would take values of type for the parameter.
    bool canRestore(ParamID id, ParamType2 type) const;

    // ---- IParamBlock2 ----
    Class_ID ClassID() override { return Class_ID(PARAMETER_BLOCK2_CLASS_ID, 0); }
    BlockID ID() override { return id_; }
    const char* GetLocalName() override { return localName_.c_str(); }
    int NumParams() override { return static_cast<int>(params_.size()); }
    ParamID IndextoID(int index) override;
    int IDtoIndex(ParamID id) override;
    ParamType2 GetParameterType(ParamID id) override;
    const char* GetParamName(ParamID id) override;
    int Count(ParamID id) override;
    int SetCount(ParamID id, int count) override;
    int Delete(ParamID id, int start, int num) override;
    int Append(ParamID id, int num, INode** nodes) override;
    int Append(ParamID id, int num, const char** strings) override;
    int Append(ParamID id, int num, const float* values) override;
    int Append(ParamID id, int num, const int* values) override;

    bool SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0) override;
    bool SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0) override;
    bool SetValue(ParamID id, TimeValue t, const Point3& v, int tabIndex = 0) override;
    bool SetValue(ParamID id, TimeValue t, const char* v, int tabIndex = 0) override;
    bool SetValue(ParamID id, TimeValue t, INode* v, int tabIndex = 0) override;
    bool SetValue(ParamID id, TimeValue t, Mtl* v, int tabIndex = 0) override;
    bool SetValue(ParamID id, TimeValue t, Texmap* v, int tabIndex = 0) override;

    bool GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex = 0) override;
    bool GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex = 0) override;
    bool GetValue(ParamID id, TimeValue t, Point3& v, Interval& valid, int tabIndex = 0) override;
    bool GetValue(ParamID id, TimeValue t, const char*& v, Interval& valid, int tabIndex = 0) override;
    bool GetValue(ParamID id, TimeValue t, INode*& v, Interval& valid, int tabIndex = 0) override;
    bool GetValue(ParamID id, TimeValue t, Mtl*& v, Interval& valid, int tabIndex = 0) override;
    bool GetValue(ParamID id, TimeValue t, Texmap*& v, Interval& valid, int tabIndex = 0) override;

    const ParamBlockDesc2* GetDesc() override { return desc_; }
    ReferenceMaker* GetOwner() override { return owner_; }
    void SetOwner(ReferenceMaker* owner) override { owner_ = owner; }

    // A copy of the block (same description, parameters and values) in the same scene; node,
    // material and map values point at their clones when remap has them. The caller owns the copy.
    ReferenceTarget* Clone(RemapDir& remap) override;

    // Clears node, material and map values that point at a deleted item.
    void forgetTarget(Animatable* target);

private:
    Param* find(ParamID id);
    // The value of (id, tabIndex) when the parameter's base type is one of the accepted kinds.
    Value* slot(ParamID id, int tabIndex, std::initializer_list<ParamType2> kinds);
    bool setReference(ParamID id, int tabIndex, ParamType2 kind, ReferenceTarget* target, PB2Value& value, TimeValue t);
    // Stores a value after the parameter's validator accepted it, then runs its accessor.
    template <typename Store>
    bool assign(ParamID id, int tabIndex, TimeValue t, PB2Value& v, std::initializer_list<ParamType2> kinds, Store store);
    // Runs the table parameter's accessor after a change.
    void tableChanged(ParamID id, TabChangeCode code, int tabIndex, int count);
    template <typename T>
    int appendValues(ParamID id, int num, const T* values, std::initializer_list<ParamType2> kinds);

    Scene* scene_;
    ReferenceMaker* owner_ = nullptr;
    BlockID id_;
    std::string localName_;
    const ParamBlockDesc2* desc_ = nullptr;
    std::vector<Param> params_;
};

}  // namespace headless

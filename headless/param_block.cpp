#include "headless/param_block.h"

#include "headless/scene.h"

#include <algorithm>

namespace headless {

namespace {

// Base types of the float-valued kinds, int-valued kinds and so on.
constexpr std::initializer_list<ParamType2> kFloatKinds = {TYPE_FLOAT, TYPE_ANGLE, TYPE_PCNT_FRAC, TYPE_WORLD};
constexpr std::initializer_list<ParamType2> kIntKinds = {TYPE_INT, TYPE_BOOL};
constexpr std::initializer_list<ParamType2> kPointKinds = {TYPE_POINT3, TYPE_RGBA};
constexpr std::initializer_list<ParamType2> kStringKinds = {TYPE_STRING, TYPE_FILENAME};

bool isKind(ParamType2 base, std::initializer_list<ParamType2> kinds) {
    return std::find(kinds.begin(), kinds.end(), base) != kinds.end();
}

// Types whose values are stored in the same member of a Value.
bool sameStorage(ParamType2 a, ParamType2 b) {
    if (IsParamTable(a) != IsParamTable(b)) return false;
    a = ParamBaseType(a);
    b = ParamBaseType(b);
    if (a == b) return true;
    for (auto kinds : {kFloatKinds, kIntKinds, kPointKinds, kStringKinds})
        if (isKind(a, kinds) && isKind(b, kinds)) return true;
    return false;
}

ParamBlock::Value defaultValue(const ParamDef& def) {
    ParamBlock::Value v;
    v.f = def.defaultFloat;
    v.i = ParamBaseType(def.type) == TYPE_BOOL ? (def.defaultInt != 0) : def.defaultInt;
    v.p = def.defaultPoint;
    if (def.defaultString) {
        v.s = def.defaultString;
        v.hasString = true;
    }
    return v;
}

}  // namespace

ParamBlock::ParamBlock(Scene* scene, BlockID id, std::string localName)
    : scene_(scene), id_(id), localName_(std::move(localName)) {
    if (scene_) scene_->registerParamBlock(this);
}

ParamBlock::ParamBlock(Scene* scene, const ParamBlockDesc2& desc)
    : ParamBlock(scene, desc.id, desc.internalName ? desc.internalName : "") {
    desc_ = &desc;
    for (const auto& def : desc.params) addParam(def);
}

ParamBlock::~ParamBlock() {
    if (scene_) scene_->unregisterParamBlock(this);
}

bool ParamBlock::addParam(ParamID id, const std::string& name, ParamType2 type, int tableSize) {
    ParamDef def;
    def.id = id;
    def.type = type;
    def.tableSize = tableSize;
    if (!addParam(def)) return false;
    find(id)->name = name;
    return true;
}

bool ParamBlock::addParam(const ParamDef& def) {
    if (find(def.id)) return false;
    Param param;
    param.def = def;
    param.name = def.internalName ? def.internalName : "";
    param.def.internalName = nullptr;  // the name lives in param.name
    size_t count = IsParamTable(def.type) ? static_cast<size_t>(std::max(def.tableSize, 0)) : 1;
    param.values.assign(count, defaultValue(def));
    params_.push_back(std::move(param));
    return true;
}

const ParamBlock::Param* ParamBlock::findParam(ParamID id) const {
    for (const auto& p : params_)
        if (p.def.id == id) return &p;
    return nullptr;
}

bool ParamBlock::canRestore(ParamID id, ParamType2 type) const {
    const Param* param = findParam(id);
    return param && sameStorage(param->def.type, type);
}

bool ParamBlock::restoreValues(ParamID id, ParamType2 type, std::vector<Value> values) {
    if (!canRestore(id, type)) return false;
    Param* param = find(id);
    const ParamType2 base = ParamBaseType(param->def.type);
    if (!IsParamTable(param->def.type)) values.resize(1);
    for (Value& v : values) {
        if (base == TYPE_BOOL) v.i = v.i != 0;
        if (!v.hasString) v.s.clear();
        if (v.ref && scene_) scene_->noteReference(v.ref);
    }
    param->values = std::move(values);
    return true;
}

ParamBlock::Param* ParamBlock::find(ParamID id) {
    for (auto& p : params_)
        if (p.def.id == id) return &p;
    return nullptr;
}

ParamBlock::Value* ParamBlock::slot(ParamID id, int tabIndex, std::initializer_list<ParamType2> kinds) {
    Param* param = find(id);
    if (!param || !isKind(ParamBaseType(param->def.type), kinds)) return nullptr;
    if (tabIndex < 0 || tabIndex >= static_cast<int>(param->values.size())) return nullptr;
    return &param->values[tabIndex];
}

ParamID ParamBlock::IndextoID(int index) {
    if (index < 0 || index >= NumParams()) return -1;
    return params_[index].def.id;
}

int ParamBlock::IDtoIndex(ParamID id) {
    for (size_t i = 0; i < params_.size(); ++i)
        if (params_[i].def.id == id) return static_cast<int>(i);
    return -1;
}

ParamType2 ParamBlock::GetParameterType(ParamID id) {
    Param* param = find(id);
    return param ? param->def.type : TYPE_FLOAT;
}

const char* ParamBlock::GetParamName(ParamID id) {
    Param* param = find(id);
    return param ? param->name.c_str() : nullptr;
}

int ParamBlock::Count(ParamID id) {
    Param* param = find(id);
    if (!param || !IsParamTable(param->def.type)) return 0;
    return static_cast<int>(param->values.size());
}

int ParamBlock::SetCount(ParamID id, int count) {
    Param* param = find(id);
    if (!param || !IsParamTable(param->def.type)) return -1;
    param->values.resize(static_cast<size_t>(std::max(count, 0)));
    const int size = static_cast<int>(param->values.size());
    tableChanged(id, TabChangeCode::SetCount, 0, size);
    return size;
}

int ParamBlock::Delete(ParamID id, int start, int num) {
    Param* param = find(id);
    if (!param || !IsParamTable(param->def.type)) return -1;
    int size = static_cast<int>(param->values.size());
    int first = std::clamp(start, 0, size);
    int last = std::clamp(start + std::max(num, 0), first, size);
    param->values.erase(param->values.begin() + first, param->values.begin() + last);
    const int remaining = static_cast<int>(param->values.size());
    if (last > first) tableChanged(id, TabChangeCode::Delete, first, last - first);
    return remaining;
}

template <typename T>
int ParamBlock::appendValues(ParamID id, int num, const T* values, std::initializer_list<ParamType2> kinds) {
    Param* param = find(id);
    if (!param || !IsParamTable(param->def.type) || !isKind(ParamBaseType(param->def.type), kinds)) return -1;
    for (int i = 0; values && i < num; ++i) {
        Value v;
        if constexpr (std::is_same_v<T, float>) {
            v.f = values[i];
        } else if constexpr (std::is_same_v<T, int>) {
            v.i = values[i];
        } else if constexpr (std::is_same_v<T, const char*>) {
            v.hasString = values[i] != nullptr;
            if (values[i]) v.s = values[i];
        } else {
            v.ref = values[i];
            if (scene_) scene_->noteReference(values[i]);
        }
        param->values.push_back(std::move(v));
    }
    const int size = static_cast<int>(param->values.size());
    if (values && num > 0) tableChanged(id, TabChangeCode::Append, size - num, num);
    return size;
}

void ParamBlock::tableChanged(ParamID id, TabChangeCode code, int tabIndex, int count) {
    const Param* param = find(id);
    if (param && param->def.accessor) param->def.accessor->TabChanged(code, owner_, id, tabIndex, count);
}

int ParamBlock::Append(ParamID id, int num, INode** nodes) { return appendValues(id, num, nodes, {TYPE_INODE}); }
int ParamBlock::Append(ParamID id, int num, const char** strings) { return appendValues(id, num, strings, kStringKinds); }
int ParamBlock::Append(ParamID id, int num, const float* values) { return appendValues(id, num, values, kFloatKinds); }
int ParamBlock::Append(ParamID id, int num, const int* values) { return appendValues(id, num, values, kIntKinds); }

template <typename Store>
bool ParamBlock::assign(ParamID id, int tabIndex, TimeValue t, PB2Value& v, std::initializer_list<ParamType2> kinds,
                        Store store) {
    if (!slot(id, tabIndex, kinds)) return false;
    // A copy: the plug-in code below may change the block (and move its parameters).
    const ParamDef def = find(id)->def;
    if (def.validator && !def.validator->Validate(v, owner_, id, tabIndex)) return false;
    Value* s = slot(id, tabIndex, kinds);
    if (!s) return false;
    store(*s, def);
    if (def.accessor) def.accessor->Set(v, owner_, id, tabIndex, t);
    return true;
}

bool ParamBlock::SetValue(ParamID id, TimeValue t, float v, int tabIndex) {
    PB2Value value;
    value.f = v;
    return assign(id, tabIndex, t, value, kFloatKinds, [&](Value& s, const ParamDef&) { s.f = value.f; });
}

bool ParamBlock::SetValue(ParamID id, TimeValue t, int v, int tabIndex) {
    PB2Value value;
    value.i = v;
    return assign(id, tabIndex, t, value, kIntKinds, [&](Value& s, const ParamDef& def) {
        s.i = ParamBaseType(def.type) == TYPE_BOOL ? (value.i != 0) : value.i;
    });
}

bool ParamBlock::SetValue(ParamID id, TimeValue t, const Point3& v, int tabIndex) {
    PB2Value value;
    value.p = v;
    return assign(id, tabIndex, t, value, kPointKinds, [&](Value& s, const ParamDef&) { s.p = value.p; });
}

bool ParamBlock::SetValue(ParamID id, TimeValue t, const char* v, int tabIndex) {
    PB2Value value;
    value.s = v;
    return assign(id, tabIndex, t, value, kStringKinds, [&](Value& s, const ParamDef&) {
        s.hasString = value.s != nullptr;
        s.s = value.s ? value.s : "";
    });
}

bool ParamBlock::setReference(ParamID id, int tabIndex, ParamType2 kind, ReferenceTarget* target, PB2Value& value,
                              TimeValue t) {
    return assign(id, tabIndex, t, value, {kind}, [&](Value& s, const ParamDef&) {
        s.ref = target;
        if (scene_) scene_->noteReference(target);
    });
}

bool ParamBlock::SetValue(ParamID id, TimeValue t, INode* v, int tabIndex) {
    PB2Value value;
    value.node = v;
    return setReference(id, tabIndex, TYPE_INODE, v, value, t);
}

bool ParamBlock::SetValue(ParamID id, TimeValue t, Mtl* v, int tabIndex) {
    PB2Value value;
    value.mtl = v;
    return setReference(id, tabIndex, TYPE_MTL, v, value, t);
}

bool ParamBlock::SetValue(ParamID id, TimeValue t, Texmap* v, int tabIndex) {
    PB2Value value;
    value.tex = v;
    return setReference(id, tabIndex, TYPE_TEXMAP, v, value, t);
}

bool ParamBlock::GetValue(ParamID id, TimeValue, float& v, Interval& valid, int tabIndex) {
    Value* s = slot(id, tabIndex, kFloatKinds);
    if (!s) return false;
    v = s->f;
    valid &= FOREVER;
    return true;
}

bool ParamBlock::GetValue(ParamID id, TimeValue, int& v, Interval& valid, int tabIndex) {
    Value* s = slot(id, tabIndex, kIntKinds);
    if (!s) return false;
    v = s->i;
    valid &= FOREVER;
    return true;
}

bool ParamBlock::GetValue(ParamID id, TimeValue, Point3& v, Interval& valid, int tabIndex) {
    Value* s = slot(id, tabIndex, kPointKinds);
    if (!s) return false;
    v = s->p;
    valid &= FOREVER;
    return true;
}

bool ParamBlock::GetValue(ParamID id, TimeValue, const char*& v, Interval& valid, int tabIndex) {
    Value* s = slot(id, tabIndex, kStringKinds);
    if (!s) return false;
    v = s->hasString ? s->s.c_str() : nullptr;
    valid &= FOREVER;
    return true;
}

bool ParamBlock::GetValue(ParamID id, TimeValue, INode*& v, Interval& valid, int tabIndex) {
    Value* s = slot(id, tabIndex, {TYPE_INODE});
    if (!s) return false;
    v = static_cast<INode*>(s->ref);
    valid &= FOREVER;
    return true;
}

bool ParamBlock::GetValue(ParamID id, TimeValue, Mtl*& v, Interval& valid, int tabIndex) {
    Value* s = slot(id, tabIndex, {TYPE_MTL});
    if (!s) return false;
    v = static_cast<Mtl*>(s->ref);
    valid &= FOREVER;
    return true;
}

bool ParamBlock::GetValue(ParamID id, TimeValue, Texmap*& v, Interval& valid, int tabIndex) {
    Value* s = slot(id, tabIndex, {TYPE_TEXMAP});
    if (!s) return false;
    v = static_cast<Texmap*>(s->ref);
    valid &= FOREVER;
    return true;
}

void ParamBlock::forgetTarget(Animatable* target) {
    for (auto& param : params_)
        for (auto& value : param.values)
            if (static_cast<Animatable*>(value.ref) == target) value.ref = nullptr;
}

ReferenceTarget* ParamBlock::Clone(RemapDir& remap) {
    auto* copy = new ParamBlock(scene_, id_, localName_);
    copy->desc_ = desc_;
    copy->params_ = params_;
    for (auto& param : copy->params_) {
        for (auto& value : param.values) {
            if (!value.ref) continue;
            if (ReferenceTarget* mapped = remap.FindMapping(value.ref)) value.ref = mapped;
            if (scene_) scene_->noteReference(value.ref);
        }
    }
    BaseClone(this, copy, remap);
    return copy;
}

}  // namespace headless

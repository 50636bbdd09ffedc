// Chunk storage of engine parameters, the reads with their unset values, the target set of a
// write, node classification and the alpha walk.
#include "params/engine_param_store.h"

#include "host/object.h"
#include "host/plugin_classes.h"

#include <algorithm>
#include <cstring>

namespace zeq {

std::optional<int> blendModeIndex(std::string_view name) {
    for (size_t i = 0; i < BlendModeNames.size(); ++i)
        if (name == BlendModeNames[i]) return static_cast<int>(i);
    return std::nullopt;
}

Object* EngineParamStore::baseObject(INode* node) {
    if (!node) return nullptr;
    Object* object = node->GetObjectRef();
    return object ? object->FindBaseObject() : nullptr;
}

std::vector<INode*> EngineParamStore::targetSet(Interface* ip) {
    std::vector<INode*> targets;
    if (!ip) return targets;
    const int count = ip->GetSelNodeCount();
    std::vector<INode*> selected;
    selected.reserve(count);
    for (int i = 0; i < count; ++i)
        if (INode* node = ip->GetSelNode(i)) selected.push_back(node);
    for (INode* node : selected) {
        INode* parent = node->GetParentNode();
        if (parent && std::find(selected.begin(), selected.end(), parent) != selected.end()) continue;
        targets.push_back(node);
    }
    return targets;
}

bool EngineParamStore::readRaw(Animatable* owner, uint32_t subId, uint32_t& bits) {
    if (!owner) return false;
    const AppDataChunk* chunk = owner->GetAppDataChunk(keyOwner_.ClassID(), keyOwner_.SuperClassID(), subId);
    // Shorter payloads than the four bytes of a value would be read past their end.
    if (!chunk || !chunk->data || chunk->length < 4) return false;
    std::memcpy(&bits, chunk->data, 4);  // little-endian host, as the chunks are stored
    return true;
}

void EngineParamStore::writeRaw(Animatable* owner, uint32_t subId, uint32_t bits) {
    if (!owner) return;
    const Class_ID classId = keyOwner_.ClassID();
    const SClass_ID superClassId = keyOwner_.SuperClassID();
    owner->RemoveAppDataChunk(classId, superClassId, subId);
    void* data = HostAlloc(4);
    std::memcpy(data, &bits, 4);
    owner->AddAppDataChunk(classId, superClassId, subId, 4, data);
}

int32_t EngineParamStore::readInt(Animatable* owner, uint32_t subId) {
    uint32_t bits;
    if (!readRaw(owner, subId, bits)) return kParamUnsetInt;
    int32_t value;
    std::memcpy(&value, &bits, 4);
    return value;
}

float EngineParamStore::readFloat(Animatable* owner, uint32_t subId) {
    uint32_t bits;
    if (!readRaw(owner, subId, bits)) return kParamUnsetFloat;
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

void EngineParamStore::writeInt(Animatable* owner, uint32_t subId, int32_t value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    writeRaw(owner, subId, bits);
}

void EngineParamStore::writeFloat(Animatable* owner, uint32_t subId, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    writeRaw(owner, subId, bits);
}

void EngineParamStore::writeInt(uint32_t subId, int32_t value) {
    for (INode* node : targetSet(GetCOREInterface())) writeInt(baseObject(node), subId, value);
}

void EngineParamStore::writeFloat(uint32_t subId, float value) {
    for (INode* node : targetSet(GetCOREInterface())) writeFloat(baseObject(node), subId, value);
}

namespace {

int intOr(int32_t stored, int unsetValue) { return stored == kParamUnsetInt ? unsetValue : stored; }
float floatOr(float stored, float unsetValue) { return stored == kParamUnsetFloat ? unsetValue : stored; }

}  // namespace

float EngineParamStore::alpha(INode* node) { return floatOr(readObjectFloat(node, ALPHA), kDefaultAlpha); }

int EngineParamStore::blendMode(INode* node) { return intOr(readObjectInt(node, BLEND_MODE), kDefaultBlendMode); }

Sorting EngineParamStore::sorting(INode* node) {
    switch (readObjectInt(node, SORTING)) {
    case 0: return Sorting::STATIC_BSP;
    case 1: return Sorting::DYNAMIC_BSP;
    case 3: return Sorting::AVERAGE_Z;
    default: return Sorting::NONE;
    }
}

float EngineParamStore::threshold(INode* node) { return floatOr(readObjectFloat(node, THRESHOLD), kDefaultThreshold); }

Clipping EngineParamStore::clipping(INode* node) {
    switch (readObjectInt(node, CLIPPING)) {
    case 0: return Clipping::BOUND_CULLING;
    case 1: return Clipping::FACE_CULLING;
    default: return Clipping::FACE_CLIPPING;
    }
}

ContainerType EngineParamStore::containerType(INode* node) {
    const int32_t stored = readObjectInt(node, CONTAINER_TYPE);
    if (stored < 0 || stored > static_cast<int>(ContainerType::CONFLICT)) return kDefaultContainerType;
    return static_cast<ContainerType>(stored);
}

int EngineParamStore::flag(INode* node, uint32_t subId, int unsetValue) { return intOr(readObjectInt(node, subId), unsetValue); }

int EngineParamStore::helperType(INode* node) { return intOr(readObjectInt(node, HELPER_TYPE), lastChosenHelperType_); }

EngineObjectKind classifyNode(INode* node) {
    if (node && node->IsGroupHead()) return EngineObjectKind::CONTAINER;
    Object* object = EngineParamStore::baseObject(node);
    if (!object) return EngineObjectKind::NONE;
    const Class_ID classId = object->ClassID();
    if (classId == NO_ENGINE_PARAMS_CLASS_ID) return EngineObjectKind::NONE;
    if (!object->CanConvertToType(TRIOBJ_CLASS_ID) && !object->CanConvertToType(POLYOBJ_CLASS_ID))
        return EngineObjectKind::NONE;
    if (classId == SPRITE_CLASS_ID) return EngineObjectKind::GEOMETRY;
    if (classId == HELPER_LIST_2_CLASS_ID) return EngineObjectKind::HELPER_LIST_2;
    if (classId == HELPER_LIST_1_CLASS_ID) return EngineObjectKind::HELPER_LIST_1;
    if (classId == HELPER_LIST_0_CLASS_ID) return EngineObjectKind::HELPER_LIST_0;
    if (classId == OTHER_ENGINE_CLASS_ID || classId == LOD_OBJECT_CLASS_ID) return EngineObjectKind::OTHER_ENGINE;
    return EngineObjectKind::GEOMETRY;
}

namespace {

// Depth-first from node: every node showing one of the objects shows the alpha, and its object
// stores it. A node below another that took the alpha, through nodes that all inherit visibility,
// inherits it (visibility 1, inheriting), so that the alpha is not applied twice; the walk goes on
// below such nodes, which may show other selected objects or instances.
void applyAlphaBelow(EngineParamStore& store, INode* node, const std::vector<Object*>& objects, float a, bool under) {
    for (int i = 0; i < node->NumberOfChildren(); ++i) {
        INode* child = node->GetChildNode(i);
        if (!child) continue;
        Object* base = EngineParamStore::baseObject(child);
        const bool shows = base && std::find(objects.begin(), objects.end(), base) != objects.end();
        if (shows) {
            child->SetInheritVisibility(true);
            child->SetVisibility(0, under ? 1.0f : a);
            store.writeFloat(base, ALPHA, a);
        }
        // A node that does not inherit visibility passes none on: below it the alpha is set again.
        applyAlphaBelow(store, child, objects, a, shows || (under && child->GetInheritVisibility()));
    }
}

}  // namespace

void applyAlpha(EngineParamStore& store, float a) {
    Interface* ip = GetCOREInterface();
    if (!ip) return;
    std::vector<Object*> objects;
    for (INode* node : EngineParamStore::targetSet(ip))
        if (Object* base = EngineParamStore::baseObject(node)) objects.push_back(base);
    if (INode* root = ip->GetRootNode()) applyAlphaBelow(store, root, objects, a, false);
    ip->RedrawViews(ip->GetTime());
}

}  // namespace zeq

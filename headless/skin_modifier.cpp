#include "headless/skin_modifier.h"

#include "headless/objects.h"

namespace headless {

int SkinModifier::addBone(INode* node, const Matrix3& initTM) {
    bones_.push_back({node, initTM});
    if (node) indexOfBone_.try_emplace(node, static_cast<int>(bones_.size()) - 1);
    scene_.noteReference(node);
    return static_cast<int>(bones_.size()) - 1;
}

void SkinModifier::setNumPoints(int n) { vertices_.resize(n > 0 ? static_cast<size_t>(n) : 0); }

void SkinModifier::addWeight(int vertex, int bone, float weight) {
    if (vertex < 0) return;
    if (vertex >= GetNumPoints()) setNumPoints(vertex + 1);
    vertices_[vertex].push_back({bone, weight});
}

void SkinModifier::setWeights(int vertex, std::vector<Assignment> assignments) {
    if (vertex < 0) return;
    if (vertex >= GetNumPoints()) setNumPoints(vertex + 1);
    vertices_[vertex] = std::move(assignments);
}

void* SkinModifier::GetInterface(uint32_t id) {
    if (id == I_SKIN) return static_cast<ISkin*>(this);
    if (id == I_SKINIMPORTDATA) return static_cast<ISkinImportData*>(this);
    return Modifier::GetInterface(id);
}

INode* SkinModifier::GetBone(int index) {
    if (index < 0 || index >= GetNumBones()) return nullptr;
    return bones_[index].node;
}

int SkinModifier::GetBoneInitTM(INode* bone, Matrix3& tm, bool) {
    const int index = boneIndex(bone);
    if (index < 0) return SKIN_INVALID_NODE_PASSED;
    tm = bones_[static_cast<size_t>(index)].initTM;
    return SKIN_OK;
}

int SkinModifier::GetSkinInitTM(INode* node, Matrix3& tm, bool) {
    if (!isOn(node)) return SKIN_INVALID_NODE_PASSED;
    tm = skinInitTM_;
    return SKIN_OK;
}

ISkinContextData* SkinModifier::GetContextInterface(INode* node) { return isOn(node) ? this : nullptr; }

bool SkinModifier::isOn(INode* node) {
    if (!node) return false;
    Object* obj = node->GetObjectRef();
    // Walk down nested modifier stacks looking for this modifier.
    while (obj && IsDerivedObjectSuperClass(obj->SuperClassID())) {
        auto* stack = dynamic_cast<IDerivedObject*>(obj);
        if (!stack) return false;
        for (int i = 0; i < stack->NumModifiers(); ++i)
            if (stack->GetModifier(i) == this) return true;
        obj = stack->GetObjRef();
    }
    return false;
}

int SkinModifier::GetNumAssignedBones(int vertex) {
    if (vertex < 0 || vertex >= GetNumPoints()) return 0;
    return static_cast<int>(vertices_[vertex].size());
}

int SkinModifier::GetAssignedBone(int vertex, int assignment) {
    if (assignment < 0 || assignment >= GetNumAssignedBones(vertex)) return -1;
    return vertices_[vertex][assignment].bone;
}

float SkinModifier::GetBoneWeight(int vertex, int assignment) {
    if (assignment < 0 || assignment >= GetNumAssignedBones(vertex)) return 0.0f;
    return vertices_[vertex][assignment].weight;
}

int SkinModifier::boneIndex(INode* bone) const {
    const auto found = indexOfBone_.find(bone);
    return found == indexOfBone_.end() ? -1 : found->second;
}

bool SkinModifier::AddBoneEx(INode* bone, bool) {
    if (!bone || boneIndex(bone) >= 0) return false;
    addBone(bone, bone->GetNodeTM(0));
    return true;
}

bool SkinModifier::SetSkinBaseTm(INode* skinNode, const Matrix3& objectTm, const Matrix3&) {
    if (!skinNode) return false;
    skinInitTM_ = objectTm;
    return true;
}

bool SkinModifier::SetBoneTm(INode* bone, const Matrix3&, const Matrix3& nodeTm) {
    const int index = boneIndex(bone);
    if (index < 0) return false;
    bones_[static_cast<size_t>(index)].initTM = nodeTm;
    return true;
}

bool SkinModifier::AddWeights(INode* skinNode, int vertex, const std::vector<INode*>& bones,
                              const std::vector<float>& weights) {
    if (!skinNode || vertex < 0 || bones.size() != weights.size()) return false;
    std::vector<Assignment> assignments;
    for (size_t i = 0; i < bones.size(); ++i) {
        const int index = boneIndex(bones[i]);
        if (index < 0) return false;
        assignments.push_back({index, weights[i]});
    }
    setWeights(vertex, std::move(assignments));
    return true;
}

void SkinModifier::ForgetTarget(Animatable* target) {
    for (auto& bone : bones_)
        if (static_cast<Animatable*>(bone.node) == target) {
            indexOfBone_.erase(bone.node);
            bone.node = nullptr;
        }
}

}  // namespace headless

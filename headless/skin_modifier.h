#pragma once
// The skin modifier: bones with their initial matrices, the skinned node's initial matrix, and per
// vertex the bones assigned to it with their weights. It answers GetInterface(I_SKIN) with its
// ISkin; its per-vertex data (ISkinContextData) is shared by every node that shows the skinned
// object.
#include "headless/scene.h"

#include <unordered_map>
#include <utility>
#include <vector>

namespace headless {

class SkinModifier : public Modifier, public ISkin, public ISkinContextData, public ISkinImportData, public Referrer {
public:
    struct Bone {
        INode* node = nullptr;
        Matrix3 initTM;
    };
    struct Assignment {
        int bone = 0;
        float weight = 0.0f;
    };

    explicit SkinModifier(Scene& scene) : scene_(scene) {}

    // ---- Builder API ----
    // Adds a bone and returns its index.
    int addBone(INode* node, const Matrix3& initTM);
    void setSkinInitTM(const Matrix3& tm) { skinInitTM_ = tm; }
    Matrix3 skinInitTM() const { return skinInitTM_; }
    void setNumPoints(int n);
    // Appends an assignment to a vertex (growing the vertex list to hold it).
    void addWeight(int vertex, int bone, float weight);
    void setWeights(int vertex, std::vector<Assignment> assignments);
    const std::vector<Bone>& bones() const { return bones_; }
    const std::vector<std::vector<Assignment>>& vertices() const { return vertices_; }

    // ---- Modifier ----
    Class_ID ClassID() override { return SKIN_CLASSID; }
    const char* GetObjectName() override { return "Skin"; }
    void* GetInterface(uint32_t id) override;
    BaseInterface* GetInterface(Interface_ID id) override { return Modifier::GetInterface(id); }

    // ---- ISkin ----
    int GetNumBones() override { return static_cast<int>(bones_.size()); }
    INode* GetBone(int index) override;
    int GetBoneInitTM(INode* bone, Matrix3& tm, bool isObject = false) override;
    int GetSkinInitTM(INode* node, Matrix3& tm, bool isObject = false) override;
    ISkinContextData* GetContextInterface(INode* node) override;

    // ---- ISkinContextData ----
    int GetNumPoints() override { return static_cast<int>(vertices_.size()); }
    int GetNumAssignedBones(int vertex) override;
    int GetAssignedBone(int vertex, int assignment) override;
    float GetBoneWeight(int vertex, int assignment) override;

    // ---- ISkinImportData ----
    bool AddBoneEx(INode* bone, bool update) override;
    bool SetSkinBaseTm(INode* skinNode, const Matrix3& objectTm, const Matrix3& nodeTm) override;
    bool SetBoneTm(INode* bone, const Matrix3& objectTm, const Matrix3& nodeTm) override;
    bool AddWeights(INode* skinNode, int vertex, const std::vector<INode*>& bones,
                    const std::vector<float>& weights) override;

    void ForgetTarget(Animatable* target) override;

private:
    // Index of a bone node in the bone list; -1 when it is none of them.
    int boneIndex(INode* bone) const;

    // True when node shows an object whose modifier stack holds this skin.
    bool isOn(INode* node);

    Scene& scene_;
    std::vector<Bone> bones_;
    std::unordered_map<INode*, int> indexOfBone_;  // the first place of each bone node
    Matrix3 skinInitTM_;
    std::vector<std::vector<Assignment>> vertices_;
};

}  // namespace headless

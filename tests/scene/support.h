#pragma once
// Helpers of the scene-document tests: comparing two headless scenes property by property, and a
// scratch folder.
#include "headless/host.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace scene_test {

// Nodes under the root, depth first, children in order.
inline std::vector<INode*> allNodes(INode* root) {
    std::vector<INode*> nodes;
    std::vector<INode*> stack{root};
    while (!stack.empty()) {
        INode* node = stack.back();
        stack.pop_back();
        if (node != root) nodes.push_back(node);
        for (int i = node->NumberOfChildren(); i-- > 0;) stack.push_back(node->GetChildNode(i));
    }
    return nodes;
}

inline void expectSameMatrix(const Matrix3& a, const Matrix3& b, const std::string& where) {
    EXPECT_TRUE(a.Equals(b, 1e-5f)) << where;
}

inline void expectSameMesh(const Mesh& a, const Mesh& b, const std::string& where) {
    ASSERT_EQ(a.verts.size(), b.verts.size()) << where;
    for (size_t i = 0; i < a.verts.size(); ++i) EXPECT_EQ(a.verts[i], b.verts[i]) << where << " vertex " << i;
    ASSERT_EQ(a.faces.size(), b.faces.size()) << where;
    for (size_t i = 0; i < a.faces.size(); ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(a.faces[i].v[k], b.faces[i].v[k]) << where << " face " << i;
        EXPECT_EQ(a.faces[i].smGroup, b.faces[i].smGroup) << where << " face " << i;
        EXPECT_EQ(a.faces[i].flags, b.faces[i].flags) << where << " face " << i;
    }
    for (int c = 0; c < std::max(a.getNumMaps(), b.getNumMaps()); ++c) {
        EXPECT_EQ(a.mapSupport(c), b.mapSupport(c)) << where << " channel " << c;
        if (!a.mapSupport(c) || !b.mapSupport(c)) continue;
        const MeshMap& ma = a.Map(c);
        const MeshMap& mb = b.Map(c);
        ASSERT_EQ(ma.tv.size(), mb.tv.size()) << where << " channel " << c;
        for (size_t i = 0; i < ma.tv.size(); ++i) EXPECT_EQ(ma.tv[i], mb.tv[i]) << where << " channel " << c;
        ASSERT_EQ(ma.tf.size(), mb.tf.size()) << where << " channel " << c;
        for (size_t i = 0; i < ma.tf.size(); ++i)
            for (int k = 0; k < 3; ++k) EXPECT_EQ(ma.tf[i].t[k], mb.tf[i].t[k]) << where << " channel " << c;
        EXPECT_EQ(ma.flags, mb.flags) << where << " channel " << c;
    }
    const MeshNormalSpec* na = a.GetSpecifiedNormals();
    const MeshNormalSpec* nb = b.GetSpecifiedNormals();
    ASSERT_EQ(na == nullptr, nb == nullptr) << where;
    if (!na) return;
    ASSERT_EQ(na->GetNumNormals(), nb->GetNumNormals()) << where;
    for (int i = 0; i < na->GetNumNormals(); ++i) {
        EXPECT_EQ(na->Normal(i), nb->Normal(i)) << where << " normal " << i;
        EXPECT_EQ(na->GetNormalExplicit(i), nb->GetNormalExplicit(i)) << where << " normal " << i;
    }
    ASSERT_EQ(na->GetNumFaces(), nb->GetNumFaces()) << where;
    for (int i = 0; i < na->GetNumFaces(); ++i)
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(na->Face(i).GetNormalID(k), nb->Face(i).GetNormalID(k)) << where;
            EXPECT_EQ(na->Face(i).GetSpecified(k), nb->Face(i).GetSpecified(k)) << where;
        }
    EXPECT_EQ(na->GetFlags(), nb->GetFlags()) << where;
}

inline void expectSameBlocks(Object* a, Object* b, const std::string& where) {
    ASSERT_EQ(a->NumParamBlocks(), b->NumParamBlocks()) << where;
    for (int i = 0; i < a->NumParamBlocks(); ++i) {
        IParamBlock2* pa = a->GetParamBlock(i);
        IParamBlock2* pb = b->GetParamBlock(i);
        ASSERT_EQ(pa->ID(), pb->ID()) << where;
        ASSERT_EQ(pa->NumParams(), pb->NumParams()) << where;
        for (int p = 0; p < pa->NumParams(); ++p) {
            const ParamID id = pa->IndextoID(p);
            ASSERT_EQ(id, pb->IndextoID(p)) << where;
            ASSERT_EQ(pa->GetParameterType(id), pb->GetParameterType(id)) << where << " param " << id;
            const int count = IsParamTable(pa->GetParameterType(id)) ? pa->Count(id) : 1;
            ASSERT_EQ(count, IsParamTable(pb->GetParameterType(id)) ? pb->Count(id) : 1) << where << " param " << id;
            for (int t = 0; t < count; ++t) {
                switch (ParamBaseType(pa->GetParameterType(id))) {
                case TYPE_INT:
                case TYPE_BOOL: EXPECT_EQ(pa->GetInt(id, 0, t), pb->GetInt(id, 0, t)) << where << " param " << id; break;
                case TYPE_STRING: {
                    const char* sa = pa->GetStr(id, 0, t);
                    const char* sb = pb->GetStr(id, 0, t);
                    EXPECT_EQ(sa == nullptr, sb == nullptr) << where << " param " << id;
                    if (sa && sb) {
                        EXPECT_STREQ(sa, sb) << where << " param " << id;
                    }
                    break;
                }
                case TYPE_INODE: {
                    INode* na = pa->GetINode(id, 0, t);
                    INode* nb = pb->GetINode(id, 0, t);
                    EXPECT_EQ(na == nullptr, nb == nullptr) << where << " param " << id;
                    if (na && nb) {
                        EXPECT_STREQ(na->GetName(), nb->GetName()) << where << " param " << id;
                    }
                    break;
                }
                case TYPE_FLOAT: EXPECT_EQ(pa->GetFloat(id, 0, t), pb->GetFloat(id, 0, t)) << where << " param " << id; break;
                default: break;
                }
            }
        }
    }
}

// The key properties of two scenes agree: settings, the node tree with transforms over time, what
// each node shows and wears, lights, skins, parameter blocks and the selection.
inline void expectSameScene(headless::Host& a, headless::Host& b) {
    EXPECT_EQ(a.GetTicksPerFrame(), b.GetTicksPerFrame());
    EXPECT_EQ(a.GetAnimRange(), b.GetAnimRange());
    EXPECT_EQ(a.GetAmbient(0), b.GetAmbient(0));
    EXPECT_EQ(a.GetRendWidth(), b.GetRendWidth());
    EXPECT_EQ(a.GetRendHeight(), b.GetRendHeight());
    const std::vector<INode*> na = allNodes(a.GetRootNode());
    const std::vector<INode*> nb = allNodes(b.GetRootNode());
    ASSERT_EQ(na.size(), nb.size());
    for (size_t i = 0; i < na.size(); ++i) {
        INode* x = na[i];
        INode* y = nb[i];
        const std::string where = x->GetName();
        ASSERT_STREQ(x->GetName(), y->GetName());
        EXPECT_STREQ(x->GetParentNode()->GetName(), y->GetParentNode()->GetName()) << where;
        for (TimeValue t : {-100, 0, 1200, 2400, 3000, 4800, 9600})
            expectSameMatrix(x->GetNodeTM(t), y->GetNodeTM(t), where + " at " + std::to_string(t));
        expectSameMatrix(x->GetObjectOffsetTM(), y->GetObjectOffsetTM(), where + " offset");
        EXPECT_EQ(x->IsHidden(), y->IsHidden()) << where;
        EXPECT_STREQ(x->GetLayer()->GetName(), y->GetLayer()->GetName()) << where;
        std::string pa, pb;
        x->GetUserPropBuffer(pa);
        y->GetUserPropBuffer(pb);
        EXPECT_EQ(pa, pb) << where;
        EXPECT_EQ(x->GetMtl() == nullptr, y->GetMtl() == nullptr) << where;
        if (x->GetMtl() && y->GetMtl()) {
            EXPECT_STREQ(x->GetMtl()->GetName(), y->GetMtl()->GetName()) << where;
            EXPECT_EQ(x->GetMtl()->ClassID(), y->GetMtl()->ClassID()) << where;
            EXPECT_EQ(x->GetMtl()->NumSubMtls(), y->GetMtl()->NumSubMtls()) << where;
        }
        Object* ox = x->GetObjectRef();
        Object* oy = y->GetObjectRef();
        ASSERT_EQ(ox == nullptr, oy == nullptr) << where;
        if (!ox) continue;
        EXPECT_EQ(ox->SuperClassID(), oy->SuperClassID()) << where;
        EXPECT_EQ(ox->ClassID(), oy->ClassID()) << where;
        if (auto* tx = dynamic_cast<TriObject*>(ox)) expectSameMesh(tx->mesh, dynamic_cast<TriObject*>(oy)->mesh, where);
        if (auto* px = dynamic_cast<headless::PolyMeshObject*>(ox))
            expectSameMesh(px->mesh, dynamic_cast<headless::PolyMeshObject*>(oy)->mesh, where);
        if (auto* lx = dynamic_cast<GenLight*>(ox)) {
            auto* ly = dynamic_cast<GenLight*>(oy);
            EXPECT_EQ(lx->Type(), ly->Type()) << where;
            EXPECT_EQ(lx->GetRGBColor(0), ly->GetRGBColor(0)) << where;
            EXPECT_EQ(lx->GetIntensity(0), ly->GetIntensity(0)) << where;
            for (int k = ATTEN1_START; k <= ATTEN_END; ++k) EXPECT_EQ(lx->GetAtten(0, k), ly->GetAtten(0, k)) << where;
            EXPECT_EQ(lx->GetHotspot(0), ly->GetHotspot(0)) << where;
            EXPECT_EQ(lx->GetFallsize(0), ly->GetFallsize(0)) << where;
            EXPECT_EQ(lx->GetUseAtten(), ly->GetUseAtten()) << where;
        }
        if (auto* dx = dynamic_cast<IDerivedObject*>(ox)) {
            auto* dy = dynamic_cast<IDerivedObject*>(oy);
            ASSERT_EQ(dx->NumModifiers(), dy->NumModifiers()) << where;
            for (int m = 0; m < dx->NumModifiers(); ++m) {
                EXPECT_EQ(dx->GetModifier(m)->ClassID(), dy->GetModifier(m)->ClassID()) << where;
                auto* sx = dynamic_cast<headless::SkinModifier*>(dx->GetModifier(m));
                auto* sy = dynamic_cast<headless::SkinModifier*>(dy->GetModifier(m));
                if (!sx || !sy) continue;
                ASSERT_EQ(sx->bones().size(), sy->bones().size()) << where;
                for (size_t k = 0; k < sx->bones().size(); ++k) {
                    EXPECT_STREQ(sx->bones()[k].node->GetName(), sy->bones()[k].node->GetName()) << where;
                    expectSameMatrix(sx->bones()[k].initTM, sy->bones()[k].initTM, where + " bone");
                }
                expectSameMatrix(sx->skinInitTM(), sy->skinInitTM(), where + " skin");
                ASSERT_EQ(sx->vertices().size(), sy->vertices().size()) << where;
                for (size_t v = 0; v < sx->vertices().size(); ++v) {
                    ASSERT_EQ(sx->vertices()[v].size(), sy->vertices()[v].size()) << where;
                    for (size_t k = 0; k < sx->vertices()[v].size(); ++k) {
                        EXPECT_EQ(sx->vertices()[v][k].bone, sy->vertices()[v][k].bone) << where;
                        EXPECT_EQ(sx->vertices()[v][k].weight, sy->vertices()[v][k].weight) << where;
                    }
                }
            }
            if (dx->GetObjRef() && dy->GetObjRef())
                if (auto* tx = dynamic_cast<TriObject*>(dx->GetObjRef()))
                    expectSameMesh(tx->mesh, dynamic_cast<TriObject*>(dy->GetObjRef())->mesh, where + " base");
        }
        expectSameBlocks(ox, oy, where);
    }
    ASSERT_EQ(a.GetSelNodeCount(), b.GetSelNodeCount());
    for (int i = 0; i < a.GetSelNodeCount(); ++i) EXPECT_STREQ(a.GetSelNode(i)->GetName(), b.GetSelNode(i)->GetName());
}

// A fresh, empty folder under the system's temporary folder, removed at the end of the test.
class ScratchFolder {
public:
    ScratchFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("zeq_scene_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path path_;
};

}  // namespace scene_test

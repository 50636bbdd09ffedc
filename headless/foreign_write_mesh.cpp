// Meshes, skins and materials of the headless scene as Assimp meshes and materials.
//
// A host mesh keeps separate indices per face corner for positions, normals and every map channel;
// an Assimp mesh has one index per vertex. Corners therefore become one output vertex per distinct
// combination of position, normal id and channel vertices, and faces are grouped by the material
// they end up with, one Assimp mesh per group.
#include "headless/foreign_write_build.h"
#include "headless/scene_document_model.h"

#include "host/mesh_normals.h"
#include "host/plugin_classes.h"

#include <assimp/material.h>
#include <assimp/mesh.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace headless {

namespace {

// The bitmap a slot shows: the slot's own bitmap, or for a map that wraps bitmaps (a normal-map
// texture in the bump slot, for example) the last bitmap among its sub-maps, as the exporter reads it.
BitmapTex* slotBitmap(Texmap* map) {
    if (map == nullptr) return nullptr;
    if (map->ClassID() == BMTEX_CLASS_ID) return dynamic_cast<BitmapTex*>(map);
    BitmapTex* found = nullptr;
    for (int i = 0; i < map->NumSubTexmaps(); ++i) {
        Texmap* sub = map->GetSubTexmap(i);
        if (sub != nullptr && sub->ClassID() == BMTEX_CLASS_ID) found = dynamic_cast<BitmapTex*>(sub);
    }
    return found;
}

aiColor3D toColor(const Color& c) { return aiColor3D(c.r, c.g, c.b); }

// The host material a face shows: the node's standard material, or the sub-material of a multi
// material whose index is the face's material id (as the exporter reads it: no wrap-around). Null
// means the default material.
Mtl* faceMaterial(Mtl* nodeMaterial, MtlID id) {
    if (nodeMaterial == nullptr) return nullptr;
    if (nodeMaterial->ClassID() == MULTI_CLASS_ID) return nodeMaterial->GetSubMtl(id);
    return nodeMaterial;
}

// Inverse transpose of the 3 × 3 part, the matrix that carries normals along with positions.
Matrix3 normalMatrix(const Matrix3& m) {
    const Matrix3 inverse = Inverse(m);
    Matrix3 result;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) result.m[r][c] = inverse.m[c][r];
    result.NoTrans();
    return result;
}

// The skin modifier on a node's modifier stack, if any.
ISkin* findSkin(INode* node) {
    Object* object = node->GetObjectRef();
    while (object != nullptr && IsDerivedObjectSuperClass(object->SuperClassID())) {
        auto* derived = dynamic_cast<IDerivedObject*>(object);
        if (derived == nullptr) break;
        for (int i = 0; i < derived->NumModifiers(); ++i) {
            Modifier* modifier = derived->GetModifier(i);
            if (modifier == nullptr || !modifier->IsEnabled()) continue;
            if (auto* skin = static_cast<ISkin*>(modifier->GetInterface(I_SKIN))) return skin;
        }
        object = derived->GetObjRef();
    }
    return nullptr;
}

// Output vertices of one material group. A corner's key is its normal id and one vertex index per
// written channel; candidates for a corner are the output vertices of its host vertex and key's
// hash, chained per hash, so a lookup looks at one vertex however many faces meet at the host
// vertex (a fan of a hundred thousand faces would otherwise take minutes).
struct Group {
    Mtl* material = nullptr;
    std::unordered_map<uint64_t, int32_t> lastOfHash;  // hash -> last output vertex with it
    std::vector<int32_t> previousOfHash;               // output vertex -> previous one of its hash
    std::vector<uint32_t> keys;
    std::vector<uint32_t> hostVertex;
    std::vector<uint32_t> indices;  // three per face

    // The output vertex of host vertex v and key, made when there is none yet.
    int32_t vertexFor(uint32_t v, const std::vector<uint32_t>& key) {
        uint64_t hash = v * 0x9E3779B97F4A7C15ull;
        for (uint32_t word : key) hash = (hash ^ word) * 0xFF51AFD7ED558CCDull + (hash >> 29);
        const size_t width = key.size();
        const auto last = lastOfHash.try_emplace(hash, -1).first;
        for (int32_t o = last->second; o >= 0; o = previousOfHash[static_cast<size_t>(o)]) {
            const auto at = keys.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(o) * width);
            if (hostVertex[static_cast<size_t>(o)] == v && std::equal(key.begin(), key.end(), at)) return o;
        }
        const auto made = static_cast<int32_t>(hostVertex.size());
        previousOfHash.push_back(last->second);
        last->second = made;
        keys.insert(keys.end(), key.begin(), key.end());
        hostVertex.push_back(v);
        return made;
    }
};

}  // namespace

unsigned materialFor(ForeignSceneParts& parts, Mtl* material) {
    if (material != nullptr && (material->ClassID() != DMTL_CLASS_ID || material->IsMultiMtl())) material = nullptr;
    auto found = parts.materialIndex.find(material);
    if (found != parts.materialIndex.end()) return found->second;

    auto* out = new aiMaterial();
    parts.materials.push_back(out);
    const unsigned index = static_cast<unsigned>(parts.materials.size() - 1);
    parts.materialIndex[material] = index;
    // Names as they are written (UTF-8, cut to what Assimp holds), so that two names that differ
    // only in stray bytes, or beyond the cut, are still told apart; a suffix goes within the cut.
    auto uniqueName = [&](const std::string& raw) {
        const std::string base = toAssimpString(raw).C_Str();
        return toAssimpString(parts.materialNamesApart ? parts.materialNames.take(base, &parts.sceneMaterialNames) : base);
    };
    if (material == nullptr) {
        const aiString defaultName = uniqueName(AI_DEFAULT_MATERIAL_NAME);
        out->AddProperty(&defaultName, AI_MATKEY_NAME);
        const aiColor3D grey(0.6f, 0.6f, 0.6f);
        out->AddProperty(&grey, 1, AI_MATKEY_COLOR_DIFFUSE);
        return index;
    }

    auto* standard = dynamic_cast<StdMat*>(material);
    const aiString name = uniqueName(material->GetName() ? material->GetName() : "");
    out->AddProperty(&name, AI_MATKEY_NAME);
    if (standard == nullptr) return index;
    const aiColor3D ambient = toColor(standard->GetAmbient(0));
    const aiColor3D diffuse = toColor(standard->GetDiffuse(0));
    const aiColor3D specular = toColor(standard->GetSpecular(0));
    const float selfIllum = standard->GetSelfIllum(0);
    const aiColor3D emissive(diffuse.r * selfIllum, diffuse.g * selfIllum, diffuse.b * selfIllum);
    // Glossiness 0..1 becomes the usual Phong exponent range 0..100; specular level is its strength.
    const float shininess = standard->GetShininess(0) * 100.0f;
    const float strength = standard->GetShinStr(0);
    const float opacity = standard->GetOpacity(0);
    const int twoSided = standard->GetTwoSided() ? 1 : 0;
    const int shading = aiShadingMode_Blinn;
    out->AddProperty(&ambient, 1, AI_MATKEY_COLOR_AMBIENT);
    out->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
    out->AddProperty(&specular, 1, AI_MATKEY_COLOR_SPECULAR);
    out->AddProperty(&emissive, 1, AI_MATKEY_COLOR_EMISSIVE);
    out->AddProperty(&shininess, 1, AI_MATKEY_SHININESS);
    out->AddProperty(&strength, 1, AI_MATKEY_SHININESS_STRENGTH);
    out->AddProperty(&opacity, 1, AI_MATKEY_OPACITY);
    out->AddProperty(&twoSided, 1, AI_MATKEY_TWOSIDED);
    out->AddProperty(&shading, 1, AI_MATKEY_SHADING_MODEL);

    // Slot → texture type. The bump slot holds normal maps in this suite, so it is written as one.
    static constexpr std::pair<int, aiTextureType> kSlots[] = {
        {ID_DI, aiTextureType_DIFFUSE},  {ID_SP, aiTextureType_SPECULAR},   {ID_SH, aiTextureType_SHININESS},
        {ID_SI, aiTextureType_EMISSIVE}, {ID_OP, aiTextureType_OPACITY},    {ID_BU, aiTextureType_NORMALS},
        {ID_RL, aiTextureType_REFLECTION},
    };
    for (const auto& [slot, type] : kSlots) {
        if (slot >= material->NumSubTexmaps() || !standard->MapEnabled(slot)) continue;
        BitmapTex* bitmap = slotBitmap(material->GetSubTexmap(slot));
        if (bitmap == nullptr || bitmap->GetMapName() == nullptr || *bitmap->GetMapName() == '\0') continue;
        // A file name keeps its bytes, UTF-8 or not: it names a file (glTF percent-encodes it).
        aiString file;
        file.Set(std::string(bitmap->GetMapName()).substr(0, MAXLEN - 1));
        // Map channel c reads texture coordinate set c - 1 (channels are written 1..n as sets 0..n-1);
        // a channel past the sets a model holds is not written, and its bitmap reads the first set.
        int uvSet = std::max(0, bitmap->GetMapChannel() - 1);
        if (uvSet >= AI_MAX_NUMBER_OF_TEXTURECOORDS) uvSet = 0;
        out->AddProperty(&file, AI_MATKEY_TEXTURE(type, 0));
        out->AddProperty(&uvSet, 1, AI_MATKEY_UVWSRC(type, 0));
        if (type == aiTextureType_DIFFUSE) {
            // glTF 2.0 reads the base colour texture under its own key.
            out->AddProperty(&file, AI_MATKEY_TEXTURE(aiTextureType_BASE_COLOR, 0));
            out->AddProperty(&uvSet, 1, AI_MATKEY_UVWSRC(aiTextureType_BASE_COLOR, 0));
        }
    }
    return index;
}

std::vector<unsigned> addNodeMeshes(ForeignSceneParts& parts, INode* node, Object* object, TimeValue t) {
    // The LOD helper's mesh is its viewport icon, not geometry of the scene: its node stays a plain
    // node, as the LOD group it heads is not written. So does a sprite's: its rectangle faces the
    // viewer, so without a viewport its corners all lie on its pivot.
    if (object == nullptr || object->SuperClassID() != GEOMOBJECT_CLASS_ID ||
        object->ClassID() == zeq::LOD_OBJECT_CLASS_ID || object->ClassID() == zeq::SPRITE_CLASS_ID ||
        !object->CanConvertToType(TRIOBJ_CLASS_ID))
        return {};
    Mtl* nodeMaterial = node->GetMtl();
    const Matrix3 offset = node->GetObjectOffsetTM();
    const bool identityOffset = offset.IsIdentity();
    ISkin* skin = findSkin(node);
    const auto instanceKey = std::make_pair(object, nodeMaterial);
    if (identityOffset && skin == nullptr && parts.shareMeshes) {
        auto found = parts.instanceMeshes.find(instanceKey);
        if (found != parts.instanceMeshes.end()) return found->second;
    }

    Object* converted = object->ConvertToType(t, TRIOBJ_CLASS_ID);
    auto* tri = dynamic_cast<TriObject*>(converted);
    if (tri == nullptr) return {};
    // Normals are built on a copy: smoothing-group normals for a mesh without explicit ones, the
    // way the host would build them, without touching the scene's mesh.
    Mesh mesh = tri->GetMesh();
    if (converted != object) converted->DeleteThis();
    if (mesh.faces.empty() || mesh.verts.empty()) return {};
    MeshNormalSpec* prepared = PrepareCornerNormals(mesh);
    if (prepared == nullptr) return {};
    MeshNormalSpec& normals = *prepared;

    // Written channels: texture channels 1..highest used (unused ones in between as zeros, so that
    // channel c stays set c - 1), and channel 0 as the vertex colours.
    int highestUV = 0;
    for (int c = 1; c < mesh.getNumMaps() && c <= AI_MAX_NUMBER_OF_TEXTURECOORDS; ++c)
        if (mesh.mapSupport(c) && mesh.Map(c).getNumFaces() == mesh.getNumFaces()) highestUV = c;
    const bool colours = mesh.mapSupport(0) && mesh.Map(0).getNumFaces() == mesh.getNumFaces();
    std::vector<int> channels;  // channels in key order
    for (int c = 1; c <= highestUV; ++c)
        if (mesh.mapSupport(c) && mesh.Map(c).getNumFaces() == mesh.getNumFaces()) channels.push_back(c);
    if (colours) channels.push_back(0);
    const size_t keyWidth = 1 + channels.size();

    // An offset that mirrors, baked into the vertices, turns the faces' corner order round: two
    // corners swap so that the faces still face out.
    const bool mirrors = DotProd(CrossProd(offset.GetRow(0), offset.GetRow(1)), offset.GetRow(2)) < 0.0f;
    const size_t numVerts = mesh.verts.size();
    std::vector<Group> groups;
    std::map<Mtl*, size_t> groupOf;
    std::vector<uint32_t> key(keyWidth);
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const Face& face = mesh.faces[f];
        Mtl* material = faceMaterial(nodeMaterial, face.getMatID());
        if (material != nullptr && material->ClassID() != DMTL_CLASS_ID) material = nullptr;
        auto [it, inserted] = groupOf.emplace(material, groups.size());
        if (inserted) {
            groups.emplace_back();
            groups.back().material = material;
        }
        Group& group = groups[it->second];
        for (int k = 0; k < 3; ++k) {
            const int corner = mirrors && k > 0 ? 3 - k : k;
            const uint32_t v = face.v[corner];
            if (v >= numVerts) throw std::runtime_error(std::string("node \"") + node->GetName() +
                                                        "\": a face names a vertex the mesh does not have");
            key[0] = static_cast<uint32_t>(normals.Face(static_cast<int>(f)).GetNormalID(corner));
            for (size_t k = 0; k < channels.size(); ++k) key[k + 1] = mesh.Map(channels[k]).tf[f].t[corner];
            group.indices.push_back(static_cast<uint32_t>(group.vertexFor(v, key)));
        }
    }

    // Skin data, per host vertex: the skinned node's bind matrix in the space the vertices are
    // written in (the offset is baked in) and every bone's offset matrix.
    ISkinContextData* weights = skin != nullptr ? skin->GetContextInterface(node) : nullptr;
    std::vector<aiMatrix4x4> boneOffsets;
    std::vector<INode*> bones;
    if (weights != nullptr) {
        Matrix3 skinInit;
        skin->GetSkinInitTM(node, skinInit, true);
        const Matrix3 meshBind = Inverse(offset) * skinInit;
        for (int b = 0; b < skin->GetNumBones(); ++b) {
            INode* bone = skin->GetBone(b);
            Matrix3 boneInit;
            if (bone == nullptr || skin->GetBoneInitTM(bone, boneInit, false) != SKIN_OK) {
                bones.push_back(nullptr);
                boneOffsets.emplace_back();
                continue;
            }
            bones.push_back(bone);
            boneOffsets.push_back(toAssimpMatrix(meshBind * Inverse(boneInit)));
        }
    }

    const Matrix3 normalTM = normalMatrix(offset);
    std::vector<unsigned> result;
    for (const Group& group : groups) {
        auto* out = new aiMesh();
        parts.meshes.push_back(out);
        result.push_back(static_cast<unsigned>(parts.meshes.size() - 1));
        out->mName = toAssimpString(parts.nodeNames.count(node) ? parts.nodeNames[node] : node->GetName());
        out->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
        out->mMaterialIndex = materialFor(parts, group.material);
        const unsigned n = static_cast<unsigned>(group.hostVertex.size());
        out->mNumVertices = n;
        out->mVertices = new aiVector3D[n];
        out->mNormals = new aiVector3D[n];
        for (unsigned o = 0; o < n; ++o) {
            Point3 p = mesh.verts[group.hostVertex[o]];
            const int normalId = static_cast<int>(group.keys[o * keyWidth]);
            Point3 normal = normalId >= 0 && normalId < normals.GetNumNormals() ? normals.Normal(normalId) : Point3();
            if (!identityOffset) {
                p = offset.PointTransform(p);
                normal = normalTM.VectorTransform(normal).Normalize();
            }
            out->mVertices[o] = aiVector3D(p.x, p.y, p.z);
            out->mNormals[o] = aiVector3D(normal.x, normal.y, normal.z);
        }
        for (size_t k = 0; k < channels.size(); ++k) {
            const int c = channels[k];
            const MeshMap& map = mesh.Map(c);
            const size_t mapVerts = map.tv.size();
            if (c == 0) {
                out->mColors[0] = new aiColor4D[n];
                for (unsigned o = 0; o < n; ++o) {
                    const uint32_t t = group.keys[o * keyWidth + 1 + k];
                    const UVVert rgb = t < mapVerts ? map.tv[t] : UVVert(1, 1, 1);
                    out->mColors[0][o] = aiColor4D(rgb.x, rgb.y, rgb.z, 1.0f);
                }
                continue;
            }
            out->mNumUVComponents[c - 1] = 2;
            out->mTextureCoords[c - 1] = new aiVector3D[n];
            for (unsigned o = 0; o < n; ++o) {
                const uint32_t t = group.keys[o * keyWidth + 1 + k];
                const UVVert uv = t < mapVerts ? map.tv[t] : UVVert();
                out->mTextureCoords[c - 1][o] = aiVector3D(uv.x, uv.y, 0.0f);
            }
        }
        // Channels skipped below the highest one still get a set, so that set numbers stay put.
        for (int c = 1; c <= highestUV; ++c) {
            if (out->mTextureCoords[c - 1] != nullptr) continue;
            out->mNumUVComponents[c - 1] = 2;
            out->mTextureCoords[c - 1] = new aiVector3D[n]();
        }
        const unsigned numFaces = static_cast<unsigned>(group.indices.size() / 3);
        out->mNumFaces = numFaces;
        out->mFaces = new aiFace[numFaces];
        for (unsigned f = 0; f < numFaces; ++f) {
            aiFace& face = out->mFaces[f];
            face.mNumIndices = 3;
            face.mIndices = new unsigned[3]{group.indices[3 * f], group.indices[3 * f + 1], group.indices[3 * f + 2]};
        }

        if (weights != nullptr) {
            std::vector<std::vector<aiVertexWeight>> perBone(bones.size());
            for (unsigned o = 0; o < n; ++o) {
                const int v = static_cast<int>(group.hostVertex[o]);
                const int assigned = weights->GetNumAssignedBones(v);
                for (int a = 0; a < assigned; ++a) {
                    const int b = weights->GetAssignedBone(v, a);
                    const float w = weights->GetBoneWeight(v, a);
                    if (b < 0 || b >= static_cast<int>(bones.size()) || bones[b] == nullptr || !(w > 0.0f)) continue;
                    perBone[b].emplace_back(o, w);
                }
            }
            // Every bone of the skin is listed, weighted or not, so that each piece names the same joints.
            std::vector<aiBone*> outBones;
            for (size_t b = 0; b < bones.size(); ++b) {
                if (bones[b] == nullptr) continue;
                auto* bone = new aiBone();
                outBones.push_back(bone);
                const auto name = parts.nodeNames.find(bones[b]);
                bone->mName = toAssimpString(name != parts.nodeNames.end() ? name->second : bones[b]->GetName());
                bone->mOffsetMatrix = boneOffsets[b];
                bone->mNumWeights = static_cast<unsigned>(perBone[b].size());
                if (!perBone[b].empty()) {
                    bone->mWeights = new aiVertexWeight[perBone[b].size()];
                    std::copy(perBone[b].begin(), perBone[b].end(), bone->mWeights);
                }
            }
            if (!outBones.empty()) {
                out->mNumBones = static_cast<unsigned>(outBones.size());
                out->mBones = new aiBone*[outBones.size()];
                std::copy(outBones.begin(), outBones.end(), out->mBones);
            }
        }
    }
    if (identityOffset && skin == nullptr) parts.instanceMeshes[instanceKey] = result;
    return result;
}

}  // namespace headless

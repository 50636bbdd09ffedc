// Geometry of foreign scene files: a node's meshes merged into host triangle meshes (face material
// ids, normals, map channels), cut into sibling pieces where they would pass the Zeq vertex
// limit, and skinned meshes under a skin modifier with their bones and weights.
#include "headless/foreign_read.h"

#include "headless/objects.h"
#include "headless/scene_node.h"
#include "headless/skin_modifier.h"
#include "host/mesh_normals.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace headless::foreign {

namespace {

// A run of the node's file meshes that becomes one host mesh.
struct Piece {
    std::vector<unsigned> meshes;
    unsigned vertices = 0;
    unsigned triangles = 0;
};

unsigned triangleCount(const aiMesh& mesh) {
    unsigned count = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) count += mesh.mFaces[f].mNumIndices == 3 ? 1u : 0u;
    return count;
}

// Leaves out points and lines (counted for the report) and packs the remaining meshes, in file
// order, into pieces within the vertex and index limits.
std::vector<Piece> packPieces(ReadState& state, const aiNode& source) {
    std::vector<Piece> pieces;
    const auto folded = state.foldedMeshes.find(&source);
    const std::vector<unsigned> meshes = folded != state.foldedMeshes.end()
                                             ? folded->second
                                             : std::vector<unsigned>(source.mMeshes, source.mMeshes + source.mNumMeshes);
    for (const unsigned index : meshes) {
        const aiMesh& mesh = *state.ai.mMeshes[index];
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const unsigned corners = mesh.mFaces[f].mNumIndices;
            if (corners == 1) ++state.report.droppedPoints;
            else if (corners == 2) ++state.report.droppedLines;
        }
        const unsigned triangles = triangleCount(mesh);
        if (triangles == 0) continue;
        if (pieces.empty() || pieces.back().vertices + mesh.mNumVertices > kMaxMeshVertices ||
            pieces.back().triangles + triangles > kMaxMeshTriangles)
            pieces.emplace_back();
        pieces.back().meshes.push_back(index);
        pieces.back().vertices += mesh.mNumVertices;
        pieces.back().triangles += triangles;
    }
    return pieces;
}

// The file materials of a piece in first-use order; face material id i is the i-th.
std::vector<unsigned> pieceMaterials(const ReadState& state, const Piece& piece) {
    std::vector<unsigned> materials;
    for (unsigned index : piece.meshes) {
        const unsigned material = state.ai.mMeshes[index]->mMaterialIndex;
        if (std::find(materials.begin(), materials.end(), material) == materials.end()) materials.push_back(material);
    }
    return materials;
}

Mesh buildMesh(const ReadState& state, const Piece& piece, const std::vector<unsigned>& materials, ForeignReadReport& report) {
    Mesh mesh;
    mesh.setNumVerts(static_cast<int>(piece.vertices));
    mesh.setNumFaces(static_cast<int>(piece.triangles));

    // Channels: vertex colours (0) when any mesh has them, texture sets 1..n up to the highest set
    // any mesh has. A mesh without a set that another has gets (0, 0, 0) there.
    bool colours = false;
    unsigned uvSets = 0;
    for (unsigned index : piece.meshes) {
        const aiMesh& m = *state.ai.mMeshes[index];
        colours = colours || m.HasVertexColors(0);
        for (unsigned set = 0; set < kMaxUvSets; ++set)
            if (m.HasTextureCoords(set)) uvSets = std::max(uvSets, set + 1);
    }
    mesh.setNumMaps(static_cast<int>(uvSets) + 1);
    const auto channelUsed = [&](unsigned channel) { return channel == 0 ? colours : channel <= uvSets; };
    for (unsigned channel = 0; channel <= uvSets; ++channel) {
        if (!channelUsed(channel)) continue;
        MeshMap& map = mesh.Map(static_cast<int>(channel));
        map.setNumVerts(static_cast<int>(piece.vertices));
        map.setNumFaces(static_cast<int>(piece.triangles));
        map.flags = MESHMAP_USED | (channel > 0 ? MESHMAP_TEXTURE : 0u);
    }

    mesh.SpecifyNormals();
    MeshNormalSpec& normals = *mesh.GetSpecifiedNormals();
    normals.SetNumNormals(static_cast<int>(piece.vertices));
    normals.SetNumFaces(static_cast<int>(piece.triangles));

    unsigned vertexBase = 0;
    unsigned face = 0;
    for (unsigned index : piece.meshes) {
        const aiMesh& m = *state.ai.mMeshes[index];
        const auto matId = static_cast<MtlID>(std::find(materials.begin(), materials.end(), m.mMaterialIndex) - materials.begin());
        for (unsigned v = 0; v < m.mNumVertices; ++v) {
            const unsigned to = vertexBase + v;
            const aiVector3D& p = m.mVertices[v];
            mesh.verts[to] = {p.x, p.y, p.z};
            const aiVector3D n = m.HasNormals() ? m.mNormals[v] : aiVector3D(0, 0, 1);
            normals.Normal(static_cast<int>(to)) = Point3(n.x, n.y, n.z);
            normals.SetNormalExplicit(static_cast<int>(to), true);
            if (colours) {
                const aiColor4D c = m.HasVertexColors(0) ? m.mColors[0][v] : aiColor4D(1, 1, 1, 1);
                mesh.Map(0).tv[to] = {c.r, c.g, c.b};
            }
            for (unsigned set = 0; set < uvSets; ++set) {
                const aiVector3D uv = m.HasTextureCoords(set) ? m.mTextureCoords[set][v] : aiVector3D();
                mesh.Map(static_cast<int>(set) + 1).tv[to] = {uv.x, uv.y, m.mNumUVComponents[set] > 2 ? uv.z : 0.0f};
            }
        }
        for (unsigned f = 0; f < m.mNumFaces; ++f) {
            const aiFace& source = m.mFaces[f];
            if (source.mNumIndices != 3) continue;
            const uint32_t a = vertexBase + source.mIndices[0], b = vertexBase + source.mIndices[1],
                           c = vertexBase + source.mIndices[2];
            Face& target = mesh.faces[face];
            target.setVerts(a, b, c);
            target.flags = EDGE_ALL;
            target.setMatID(matId);
            target.smGroup = 1;
            MeshNormalFace& nf = normals.Face(static_cast<int>(face));
            nf.SetNormalID(0, static_cast<int>(a));
            nf.SetNormalID(1, static_cast<int>(b));
            nf.SetNormalID(2, static_cast<int>(c));
            nf.SpecifyAll();
            for (unsigned channel = 0; channel <= uvSets; ++channel)
                if (channelUsed(channel)) mesh.Map(static_cast<int>(channel)).tf[face].setTVerts(a, b, c);
            ++face;
        }
        vertexBase += m.mNumVertices;
    }
    normals.SetFlag(MESH_NORMAL_NORMALS_BUILT | MESH_NORMAL_NORMALS_COMPUTED);
    mesh.buildBoundingBox();
    report.triangles += piece.triangles;
    return mesh;
}

bool pieceHasBones(const ReadState& state, const Piece& piece) {
    for (unsigned index : piece.meshes)
        if (state.ai.mMeshes[index]->HasBones()) return true;
    return false;
}

// The node a bone names. Where several nodes share the name (two rigs with a "Bone" each), the one
// that stands where the skin binds the bone, as rigs stand in their bind pose unless posed; else
// the first, and the name goes into `ambiguous`.
INode* boneNode(ReadState& state, const std::string& name, const Matrix3& bind, std::set<std::string>& ambiguous) {
    const std::vector<INode*>& nodes = state.nodesNamed(name);
    if (nodes.size() < 2) return nodes.empty() ? nullptr : nodes.front();
    auto distance = [&](INode* node) {
        const Matrix3 world = node->GetNodeTM(0);
        float largest = 1.0f, apart = 0.0f;
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 3; ++column) {
                largest = std::max({largest, std::fabs(bind.m[row][column]), std::fabs(world.m[row][column])});
                apart = std::max(apart, std::fabs(bind.m[row][column] - world.m[row][column]));
            }
        return apart / largest;
    };
    constexpr float kSamePlace = 1e-3f;
    INode* found = nullptr;
    for (INode* node : nodes) {
        if (distance(node) > kSamePlace) continue;
        if (found) {  // two stand there: no telling them apart
            found = nullptr;
            break;
        }
        found = node;
    }
    if (found) return found;
    ambiguous.insert(name);
    return nodes.front();
}

// A skin over the piece's vertices. Bones are nodes found by name; a bone's initial matrix is its
// world transform in the bind pose, which the file gives as the mesh node's world transform times
// the inverse of the bone's offset (mesh space → bone space).
SkinModifier* buildSkin(ReadState& state, const Piece& piece, const aiMatrix4x4& meshWorld, const std::string& nodeName) {
    SkinModifier* skin = state.scene.newSkin();
    skin->setSkinInitTM(toMatrix3(meshWorld));
    skin->setNumPoints(static_cast<int>(piece.vertices));
    std::unordered_map<INode*, int> boneIndex;
    std::size_t missing = 0;
    std::set<std::string> ambiguous;
    unsigned vertexBase = 0;
    for (unsigned index : piece.meshes) {
        const aiMesh& m = *state.ai.mMeshes[index];
        for (unsigned b = 0; b < m.mNumBones; ++b) {
            const aiBone& bone = *m.mBones[b];
            aiMatrix4x4 offset = bone.mOffsetMatrix;
            const Matrix3 bind = toMatrix3(meshWorld * offset.Inverse());
            INode* node = boneNode(state, bone.mName.C_Str(), bind, ambiguous);
            if (!node) {
                ++missing;
                continue;
            }
            auto [it, added] = boneIndex.emplace(node, 0);
            if (added) it->second = skin->addBone(node, bind);
            for (unsigned w = 0; w < bone.mNumWeights; ++w) {
                const aiVertexWeight& weight = bone.mWeights[w];
                if (weight.mVertexId < m.mNumVertices && weight.mWeight > 0.0f)
                    skin->addWeight(static_cast<int>(vertexBase + weight.mVertexId), it->second, weight.mWeight);
            }
        }
        vertexBase += m.mNumVertices;
    }
    if (missing)
        state.report.warnings.push_back("node \"" + nodeName + "\": " + std::to_string(missing) +
                                        " bones name no node of the file and were left out of its skin");
    if (!ambiguous.empty())
        state.report.warnings.push_back("node \"" + nodeName + "\": " +
                                        countOf(ambiguous.size(), "bone names", "bones name") + " several nodes (\"" +
                                        *ambiguous.begin() + "\"" + (ambiguous.size() > 1 ? " ..." : "") +
                                        "), none of which stands where the skin binds it: its skin takes the first");
    return skin;
}

}  // namespace

void buildNodeGeometry(ReadState& state, const aiNode& source, INode* node) {
    const std::vector<Piece> pieces = packPieces(state, source);
    if (pieces.size() > 1) ++state.report.splitMeshes;
    if (pieces.empty()) return;
    std::string name = node->GetName();
    const aiMatrix4x4& world = state.world.at(&source);
    // A bone is exported as a joint, never with geometry: a bone node's geometry (some readers make
    // a node a bone of its own skin) goes to a child node in the same place.
    if (state.boneNames.count(source.mName.C_Str())) {
        Node* holder = state.scene.createNode(name + "_mesh", node);
        ++state.report.nodes;
        node = holder;
        name = holder->GetName();
    }
    INode* parent = node->GetParentNode();
    const Matrix3 local = node == state.nodes.at(&source) ? toMatrix3(source.mTransformation) : Matrix3();
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        INode* target = node;
        if (i > 0) {
            Node* sibling = state.scene.createNode(name + "_part" + std::to_string(i + 1),
                                                   parent && !parent->IsRootNode() ? parent : nullptr);
            sibling->setLocalTM(local);
            if (node == state.nodes.at(&source)) state.meshParts[node].push_back(sibling);
            ++state.report.nodes;
            target = sibling;
        }
        const std::vector<unsigned> materials = pieceMaterials(state, piece);
        TriMeshObject* tri = state.scene.newTriObject(buildMesh(state, piece, materials, state.report));
        ++state.report.meshes;
        Object* object = tri;
        if (pieceHasBones(state, piece)) {
            DerivedObject* stack = state.scene.newDerivedObject(tri);
            stack->AddModifier(buildSkin(state, piece, world, name), 0);
            ++state.report.skins;
            object = stack;
        }
        target->SetObjectRef(object);
        target->SetMtl(nodeMaterialFor(state, materials));
    }
}

}  // namespace headless::foreign

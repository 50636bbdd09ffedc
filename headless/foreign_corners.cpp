// Corners that Assimp's joining of identical vertices must keep apart.
#include "headless/foreign_read.h"

#include <assimp/mesh.h>
#include <assimp/scene.h>

#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace headless::foreign {

namespace {

// The attributes of a vertex that the joining does not compare: every colour set, the texture sets
// after the first, the first set's third component, and whether that set was added.
std::string restOf(const aiMesh& mesh, unsigned v, bool added) {
    std::string rest(1, added ? '\1' : '\0');
    auto put = [&](const void* value, std::size_t size) { rest.append(static_cast<const char*>(value), size); };
    for (unsigned c = 0; c < AI_MAX_NUMBER_OF_COLOR_SETS; ++c)
        if (mesh.mColors[c]) put(&mesh.mColors[c][v], sizeof(aiColor4D));
    for (unsigned t = 1; t < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++t)
        if (mesh.mTextureCoords[t]) put(&mesh.mTextureCoords[t][v], sizeof(aiVector3D));
    put(&mesh.mTextureCoords[0][v].z, sizeof(float));
    return rest;
}

bool carriesMore(const aiMesh& mesh) { return mesh.GetNumColorChannels() > 0 || mesh.GetNumUVChannels() > 1; }

// Whether two vertices of the mesh agree in everything the joining compares.
bool joinsSome(const aiMesh& mesh) {
    std::unordered_set<std::string> seen;
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
        std::string key(reinterpret_cast<const char*>(&mesh.mVertices[v]), sizeof(aiVector3D));
        if (mesh.mNormals) key.append(reinterpret_cast<const char*>(&mesh.mNormals[v]), sizeof(aiVector3D));
        if (mesh.mTextureCoords[0]) key.append(reinterpret_cast<const char*>(&mesh.mTextureCoords[0][v]), sizeof(aiVector3D));
        if (!seen.insert(std::move(key)).second) return true;
    }
    return false;
}

}  // namespace

CornerMarks markCorners(aiScene& scene, bool whereJoined, bool addSets) {
    CornerMarks marks;
    // Ids a float holds exactly: a scene of more such corners (16 million) is left as it is.
    std::size_t corners = 0;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m)
        if (carriesMore(*scene.mMeshes[m])) corners += scene.mMeshes[m]->mNumVertices;
    if (corners > (std::size_t(1) << 24)) return marks;
    std::unordered_map<std::string, uint32_t> ids;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        aiMesh& mesh = *scene.mMeshes[m];
        const bool added = !mesh.mTextureCoords[0];
        if (!carriesMore(mesh) || !mesh.mVertices || (added && !addSets) || (whereJoined && !joinsSome(mesh))) continue;
        // A mesh of colours or later sets alone gets a first set of zeros to carry the ids.
        if (added) {
            mesh.mTextureCoords[0] = new aiVector3D[mesh.mNumVertices]();
            mesh.mNumUVComponents[0] = 2;
        }
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const auto [at, inserted] = ids.try_emplace(restOf(mesh, v, added), static_cast<uint32_t>(marks.size()));
            if (inserted) marks.push_back({mesh.mTextureCoords[0][v].z, added});
            mesh.mTextureCoords[0][v].z = static_cast<float>(at->second);
        }
    }
    return marks;
}

void unmarkCorners(aiScene& scene, const CornerMarks& marks) {
    if (marks.empty()) return;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        aiMesh& mesh = *scene.mMeshes[m];
        if (!carriesMore(mesh) || !mesh.mTextureCoords[0] || mesh.mNumVertices == 0) continue;
        bool added = false;
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const float id = mesh.mTextureCoords[0][v].z;
            if (!(id >= 0.0f && id < static_cast<float>(marks.size()))) continue;
            const CornerMark& mark = marks[static_cast<std::size_t>(id)];
            mesh.mTextureCoords[0][v].z = mark.thirdComponent;
            added = mark.added;
        }
        if (added) {
            delete[] mesh.mTextureCoords[0];
            mesh.mTextureCoords[0] = nullptr;
            mesh.mNumUVComponents[0] = 0;
        }
    }
}

}  // namespace headless::foreign

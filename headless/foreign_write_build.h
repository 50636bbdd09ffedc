#pragma once
// Shared plain types and steps of the foreign-file writer: the headless scene as an aiScene.
// foreign_write_scene.cpp builds the node tree, lights, cameras and animation; foreign_write_mesh.cpp
// the meshes, skins and materials; foreign_write.cpp hands the result to Assimp's exporters.
#include "host/host.h"

#include <assimp/matrix4x4.h>
#include <assimp/scene.h>

#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

class INode;

namespace headless {

class Host;

// Row-vector host matrix (rows X, Y, Z, translation) → Assimp's column-vector 4 × 4 matrix.
aiMatrix4x4 toAssimpMatrix(const Matrix3& m);
// The reverse; the bottom row of the Assimp matrix is taken to be (0, 0, 0, 1).
Matrix3 fromAssimpMatrix(const aiMatrix4x4& m);

// A name as it is written: UTF-8 (stray bytes as U+FFFD), cut between characters so that it and
// the suffix after it stay within what Assimp holds (1023 bytes).
std::string writtenName(const std::string& text, const std::string& suffix = {});
// The written name as Assimp holds it.
aiString toAssimpString(const std::string& text);

// Names kept apart by a suffix: a name taken already becomes "<name>_2", "<name>_3" ... (written
// names, the suffix within what Assimp holds), the least number free. Names are never given back,
// so the search for a name goes on where its last one stopped: n copies of a name take linear time.
class UniqueNames {
public:
    // Takes name, or its least suffixed form that is free and not among `reserved` (names that
    // suffixed forms leave to others).
    std::string take(const std::string& name, const std::set<std::string>* reserved = nullptr);

private:
    std::set<std::string> used_;
    std::map<std::string, int> nextSuffix_;
};

// What the scene builder collects while it walks the nodes.
struct ForeignSceneParts {
    std::vector<aiMesh*> meshes;
    std::vector<aiMaterial*> materials;
    std::vector<aiLight*> lights;
    std::vector<aiCamera*> cameras;
    std::vector<aiNodeAnim*> channels;
    // Materials already written, by host material (null: the default material).
    std::map<Mtl*, unsigned> materialIndex;
    // Meshes already written for an object shown by several nodes with the same material.
    std::map<std::pair<Object*, Mtl*>, std::vector<unsigned>> instanceMeshes;
    // Node names as written (unique, so that bones, lights and cameras can name their node).
    std::map<INode*, std::string> nodeNames;
    // Whether a mesh shown by several nodes is written once (formats that name meshes apart from
    // nodes); else each node gets its own, named after it.
    bool shareMeshes = true;
    // Whether materials of one name are written under names of their own ("_2", "_3" ...; formats
    // whose readers tie faces to a material by its name): the names taken so far, and the names of
    // the scene's materials, which a new name does not take from a material written later.
    bool materialNamesApart = false;
    UniqueNames materialNames;
    std::set<std::string> sceneMaterialNames;

    ForeignSceneParts() = default;
    ForeignSceneParts(const ForeignSceneParts&) = delete;
    ForeignSceneParts& operator=(const ForeignSceneParts&) = delete;
    // Frees whatever has not been handed to a scene.
    ~ForeignSceneParts();
};

// Appends the meshes of a node's geometry (one per material used) to parts and returns their
// indices. The object's offset is baked into the vertices. Nothing for an object with no mesh form.
std::vector<unsigned> addNodeMeshes(ForeignSceneParts& parts, INode* node, Object* object, TimeValue t);

// The material index for a host material (null or a non-standard class: the default material).
unsigned materialFor(ForeignSceneParts& parts, Mtl* material);

// What a format's writer needs of the scene it is handed.
struct ForeignSceneStyle {
    // The scene's ambient colour as an ambient light on a node of its own ("Ambient"); formats
    // without an ambient kind of light would keep only that node, or make it another kind.
    bool ambientLight = true;
    bool shareMeshes = true;          // see ForeignSceneParts
    bool materialNamesApart = false;  // see ForeignSceneParts
};

// The whole scene of the host, ready for Assimp's exporters.
std::unique_ptr<aiScene> buildForeignScene(Host& host, const ForeignSceneStyle& style = {});

// Mends the animation curves of an ASCII FBX text as Assimp's writer gives it: scale curves tied to
// "Lcl Scaling", the property FBX nodes have, rotation curves without 360° jumps, and an animation
// with keys before 0 starting at its first key.
void mendFbxCurves(std::string& text);

}  // namespace headless

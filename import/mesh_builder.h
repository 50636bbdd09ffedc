#pragma once
// Mesh reconstruction: a Zeq2Mesh record with the vertex and index buffers it names becomes a host
// triangle object (positions, texture channels, faces, explicit normals). Meshes naming the same
// index buffer and the same vertex buffers in the same order share one triangle object.
//
// Every mesh is checked before anything is built: a mesh whose buffers are missing, carry an
// unknown attribute kind or no positions, are too short for their attributes, or whose indices name
// vertices that do not exist is refused with a one-line reason, and nothing is read outside the
// byte arrays.
#include "format/records_geometry.h"
#include "import/vertex_layout.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class TriObject;

namespace zeq {

// Texture channels a host mesh offers besides channel 0 (vertex colours): 1 to 99.
inline constexpr int32_t kMaxTextureChannels = 99;

// The index and vertex buffer records of one import, by id; a later record with the same id
// replaces an earlier one. The records stay owned by the decoded root.
class GeometryLibrary {
public:
    GeometryLibrary() = default;
    GeometryLibrary(const TArray<Zeq2IndexBuffer>* indexBuffers, const TArray<Zeq2VertexBuffer>* vertexBuffers);

    const Zeq2IndexBuffer* indexBuffer(int32_t id) const;
    const Zeq2VertexBuffer* vertexBuffer(int32_t id) const;

private:
    std::unordered_map<int32_t, const Zeq2IndexBuffer*> indexBuffers_;
    std::unordered_map<int32_t, const Zeq2VertexBuffer*> vertexBuffers_;
};

// The geometry key of a mesh: its indexBufferId followed by its vertexBufferIds in order.
std::vector<int32_t> meshKey(const Zeq2Mesh& mesh);

// One entry of the mesh cache: the checked layout of a key and, once built, its triangle object
// (owned by the host nodes that reference it, not by the cache).
struct MeshCacheEntry {
    std::string problem;  // why the geometry cannot be built; empty when it can
    VertexLayout layout;
    const Zeq2IndexBuffer* indices = nullptr;
    int32_t faceCount = 0;
    int32_t textureChannels = 0;  // TEXCOORDS occurrences read (at most kMaxTextureChannels)
    int32_t droppedChannels = 0;  // TEXCOORDS occurrences beyond that
    TriObject* object = nullptr;
    // The surfaces that give the exporter's face order: those of the first record of the geometry
    // with two or more (a list of one tells nothing of the order), so that the order does not hang
    // on which node that shares the geometry is built first.
    std::optional<TArray<Zeq2Surface>> orderSurfaces;
    // The host face of each file triangle, when the faces are in another order than the file's
    // triangles (empty: in the same order).
    std::vector<int32_t> faceOf;
};

using MeshCache = std::map<std::vector<int32_t>, MeshCacheEntry>;

// Builds the triangle objects of one import; the cache lives as long as the builder.
class MeshBuilder {
public:
    MeshBuilder(const GeometryLibrary& library, uint16_t minorVersion);

    // The checked entry of the mesh's key (checked on first use, then cached).
    const MeshCacheEntry& check(const Zeq2Mesh& mesh);
    // The mesh's triangle object: the cached one for its key, or a new one built from the records.
    // Null when check() found a problem.
    TriObject* buildTriObject(const Zeq2Mesh& mesh);
    // Gives the geometry of `mesh` the face order of `surfaces` (those of another record showing
    // its triangles) where no record of its own gave one and it is not built yet.
    void orderLike(const Zeq2Mesh& mesh, const TArray<Zeq2Surface>& surfaces);

    const MeshCache& cache() const { return cache_; }

private:
    MeshCacheEntry& entryFor(const Zeq2Mesh& mesh);
    void checkEntry(const Zeq2Mesh& mesh, MeshCacheEntry& entry) const;
    void build(MeshCacheEntry& entry, const TArray<Zeq2Surface>& surfaces);

    const GeometryLibrary& library_;
    uint16_t minorVersion_;
    MeshCache cache_;
    NormalSearch normalSearch_;
};

}  // namespace zeq

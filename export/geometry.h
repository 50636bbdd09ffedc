#pragma once
// Mesh geometry of host nodes as engine buffers: one interleaved vertex buffer, one 16-bit index
// buffer, per-material index ranges and a bounding box per host object. Instances of one object
// share all of them through the geometry cache of a GeometryConverter.
#include "format/records.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

class INode;
class Object;
class TriObject;
class Mesh;
class Box3;

namespace zeq {

struct ExportOptions;

// More output vertices than a 16-bit index can address. The conversion of a node's geometry adds
// the node's name, so that the user learns which mesh is too large.
class VertexBufferException : public std::runtime_error {
public:
    explicit VertexBufferException(std::size_t count, std::string meshName = {});
    std::size_t count() const { return count_; }
    const std::string& meshName() const { return meshName_; }

private:
    std::size_t count_;
    std::string meshName_;
};

// More indices in one mesh than the engine accepts; the node's name and triangle count are added
// like the vertex limit's.
class IndexBufferException : public std::runtime_error {
public:
    explicit IndexBufferException(std::size_t triangles = 0, std::string meshName = {});
    std::size_t triangles() const { return triangles_; }
    const std::string& meshName() const { return meshName_; }

private:
    std::size_t triangles_;
    std::string meshName_;
};

// A face of a host mesh names a vertex the mesh does not have; the node's conversion says which mesh.
class MeshFaceError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// Largest number of output vertices of one mesh: every index must fit 16 bits, and so must the
// buffer's vertexCount.
constexpr std::size_t kMaxMeshVertices = 0xFFFF;
// Largest running index count of one mesh.
constexpr std::size_t kMaxMeshIndices = 0x7FFFF;

// The vertex and index buffers of one export with their id counters.
struct BufferLists {
    TArray<Zeq2VertexBuffer> vertexBuffers;
    int32_t nextVertexBufferId = 0;
    TArray<Zeq2IndexBuffer> indexBuffers;
    int32_t nextIndexBufferId = 0;
};

// The process-wide list of bounding boxes; the scene walk hands it to the root record.
class BoxFactory {
public:
    static BoxFactory& instance();

    // Appends a box with the next id and returns that id.
    int32_t createBox(const Box3& bounds);
    const TArray<Zeq2Box>& boxes() const { return boxes_; }
    // Hands the list over and empties it; the next box gets id 0 again.
    TArray<Zeq2Box> takeBoxes();

private:
    TArray<Zeq2Box> boxes_;
    int32_t counter_ = 0;
};

// Triangles of one material id: indices [indexBegin, indexBegin + numTriangles * 3).
struct IndexRange {
    int32_t indexBegin = 0;
    int32_t numTriangles = 0;
};

// One converted host object.
struct ConvertedGeometry {
    int32_t indexBufferId = 0;
    TArray<int32_t> vertexBufferIds;  // always exactly one id
    std::size_t vertexBufferIndex = 0;  // position of that buffer in BufferLists::vertexBuffers
    std::map<uint16_t, IndexRange> materialRanges;  // ascending material id
    std::vector<int32_t> hostVertexOf;              // output vertex -> host vertex index
    int32_t triangleCount = 0;
    int32_t boxId = 0;

    // Skins: the vertex data as converted, kept when the first skin rewrites the shared buffer
    // so that further skins of the same object start from the undeformed data.
    bool rewrittenBySkin = false;
    std::optional<Zeq2VertexBuffer> unskinnedVertexBuffer;
    // A mesh record refers to the buffer, so no skin may rewrite it.
    bool usedByMesh = false;
};

// Converts a host mesh: appends its vertex and index buffer to `lists` and returns the geometry
// (without box: boxId stays 0). Follows `options` for normals and tangents; may add specified
// normals to the mesh.
ConvertedGeometry convertMesh(Mesh& mesh, BufferLists& lists, const ExportOptions& options);

// The triangle object for a host object: the object itself when it is one, otherwise what it
// converts to (directly, or through a polygon object), following modifier-stack wrappers.
// `created` tells that the object is a new one made by a conversion, which the caller owns.
struct ResolvedTriObject {
    TriObject* tri = nullptr;  // nullptr: the object yields no triangle object
    bool created = false;
};
ResolvedTriObject resolveTriObject(Object* object, int32_t exportTime);

// The object whose geometry a node exports: its object reference, or for a node whose modifier
// stack is topped by the skin modifier the object that stack wraps.
Object* geometrySourceObject(INode* node);

class GeometryConverter {
public:
    explicit GeometryConverter(BufferLists& lists);

    // The node's converted geometry from the cache or newly built; nullptr when its object
    // converts to no triangle object. Throws VertexBufferException / IndexBufferException.
    ConvertedGeometry* geometryFor(INode* node);

    BufferLists& lists() { return lists_; }
    Zeq2VertexBuffer& vertexBuffer(const ConvertedGeometry& geometry) {
        return lists_.vertexBuffers.items.at(geometry.vertexBufferIndex);
    }

private:
    BufferLists& lists_;
    std::unordered_map<Object*, std::unique_ptr<ConvertedGeometry>> cache_;
};

// Fails the export (std::length_error) when the vertex data of `buffer`, as the file will store
// them (half the bytes with 16-bit vertex buffers), are longer than a byte array of the format may
// be. The message names the node, the `kind` of its record ("mesh", "skin"), the size and the limit,
// and the options that make the data smaller.
void checkVertexBufferSize(const Zeq2VertexBuffer& buffer, INode* node, const char* kind);

class SurfaceBuilder;

// Fills indexBufferId, vertexBufferIds, surfaces, boundBoxId; false (record untouched) when the
// node yields no geometry.
bool fillMeshRecord(GeometryConverter& converter, SurfaceBuilder& surfaces, INode* node, Zeq2Mesh& mesh);

}  // namespace zeq

// Mesh reconstruction: checking a mesh's buffers, then building its triangle object.
#include "import/mesh_builder.h"

#include "host/mesh_normals.h"
#include "host/object.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <tuple>

namespace zeq {
namespace {

using Kind = Zeq2VertexAttributes;

uint32_t readIndex(const uint8_t* bytes, int64_t i) {
    return uint32_t(bytes[2 * i]) | (uint32_t(bytes[2 * i + 1]) << 8);
}

std::string bufferName(const char* kind, int32_t id) { return std::string(kind) + " " + std::to_string(id); }

// The order in which the exporter went through the triangles of a mesh of several surfaces. The
// exporter numbers the vertices as it first meets them, going through the host's faces in order,
// and lists the triangles by material: each surface holds its triangles in the host's order, but
// the order across surfaces is lost. Merging the surfaces' lists so that the vertices are met in
// the order of their numbers gives it back (every such merge exports alike), so that the imported
// mesh, exported again, numbers its vertices as the file does. Returns the file triangle of each
// host face; empty to keep the file's order: for one surface, for surfaces that do not cover the
// triangles one after another, and when no merge meets the vertices in order.
std::vector<int32_t> exportedFaceOrder(const uint8_t* indexBytes, int32_t faceCount, const TArray<Zeq2Surface>& surfaces) {
    const std::size_t count = surfaces.size();
    if (count < 2) return {};
    std::vector<int32_t> next(count), end(count);
    int64_t covered = 0;
    for (std::size_t s = 0; s < count; ++s) {
        const Zeq2Surface& surface = surfaces.items[s];
        if (surface.indexBegin != 3 * covered || surface.numTriangles < 0) return {};
        next[s] = static_cast<int32_t>(covered);
        covered += surface.numTriangles;
        if (covered > faceCount) return {};
        end[s] = static_cast<int32_t>(covered);
    }
    if (covered != faceCount) return {};

    int64_t met = 0;  // vertices met so far, numbered 0 .. met - 1
    // Meets the corners of triangle t when `met` vertices are met: those not met yet must be the
    // next numbers, in corner order. Returns the count of vertices met then, or -1 when t cannot
    // come next.
    auto meet = [&](int32_t t, int64_t from) -> int64_t {
        for (int k = 0; k < 3; ++k) {
            const int64_t v = readIndex(indexBytes, 3 * int64_t(t) + k);
            if (v == from) ++from;
            else if (v > from) return -1;
        }
        return from;
    };
    // The least count of met vertices, from `met` on, at which triangle t can come next: `met`
    // itself, or the number of one of its corners, or one past its highest, after which it meets
    // no new vertex.
    auto needOf = [&](int32_t t) {
        int64_t candidates[5] = {met, readIndex(indexBytes, 3 * int64_t(t)), readIndex(indexBytes, 3 * int64_t(t) + 1),
                                 readIndex(indexBytes, 3 * int64_t(t) + 2), 0};
        candidates[4] = std::max({candidates[1], candidates[2], candidates[3]}) + 1;
        std::sort(std::begin(candidates), std::end(candidates));
        for (const int64_t n : candidates)
            if (n >= met && meet(t, n) >= 0) return n;
        return candidates[4];
    };

    // The surfaces' next triangles, by the count at which each can come next; at one count, those
    // that meet no new vertex first. Taking them first keeps `met` where the other heads wait, so
    // that a head goes stale only when no triangle can come without a new vertex: otherwise one
    // surface meeting vertex after vertex made every waiting head stale at each step.
    using Head = std::tuple<int64_t, bool, std::size_t>;
    std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
    auto push = [&](std::size_t s) {
        const int64_t need = needOf(next[s]);
        heads.emplace(need, meet(next[s], need) != need, s);
    };
    for (std::size_t s = 0; s < count; ++s)
        if (next[s] < end[s]) push(s);
    std::vector<int32_t> order;
    order.reserve(static_cast<std::size_t>(faceCount));
    while (!heads.empty()) {
        const auto [need, meetsNew, s] = heads.top();
        heads.pop();
        if (need > met) return {};  // no surface's next triangle can come next
        if (need < met) {           // vertices were met since: look again
            push(s);
            continue;
        }
        met = meet(next[s], met);
        order.push_back(next[s]++);
        if (next[s] < end[s]) push(s);
    }
    for (int32_t k = 0; k < faceCount; ++k)
        if (order[static_cast<std::size_t>(k)] != k) return order;
    return {};
}

}  // namespace

GeometryLibrary::GeometryLibrary(const TArray<Zeq2IndexBuffer>* indexBuffers,
                                 const TArray<Zeq2VertexBuffer>* vertexBuffers) {
    if (indexBuffers)
        for (const Zeq2IndexBuffer& buffer : *indexBuffers) indexBuffers_[buffer.id] = &buffer;
    if (vertexBuffers)
        for (const Zeq2VertexBuffer& buffer : *vertexBuffers) vertexBuffers_[buffer.id] = &buffer;
}

const Zeq2IndexBuffer* GeometryLibrary::indexBuffer(int32_t id) const {
    auto it = indexBuffers_.find(id);
    return it == indexBuffers_.end() ? nullptr : it->second;
}

const Zeq2VertexBuffer* GeometryLibrary::vertexBuffer(int32_t id) const {
    auto it = vertexBuffers_.find(id);
    return it == vertexBuffers_.end() ? nullptr : it->second;
}

std::vector<int32_t> meshKey(const Zeq2Mesh& mesh) {
    std::vector<int32_t> key;
    key.reserve(mesh.vertexBufferIds.size() + 1);
    key.push_back(mesh.indexBufferId);
    key.insert(key.end(), mesh.vertexBufferIds.begin(), mesh.vertexBufferIds.end());
    return key;
}

MeshBuilder::MeshBuilder(const GeometryLibrary& library, uint16_t minorVersion)
    : library_(library), minorVersion_(minorVersion) {}

MeshCacheEntry& MeshBuilder::entryFor(const Zeq2Mesh& mesh) {
    auto [it, inserted] = cache_.try_emplace(meshKey(mesh));
    if (inserted) checkEntry(mesh, it->second);
    if (!it->second.orderSurfaces && mesh.surfaces.size() >= 2) it->second.orderSurfaces = mesh.surfaces;
    return it->second;
}

const MeshCacheEntry& MeshBuilder::check(const Zeq2Mesh& mesh) { return entryFor(mesh); }

void MeshBuilder::orderLike(const Zeq2Mesh& mesh, const TArray<Zeq2Surface>& surfaces) {
    MeshCacheEntry& entry = entryFor(mesh);
    if (!entry.object && !entry.orderSurfaces && surfaces.size() >= 2) entry.orderSurfaces = surfaces;
}

TriObject* MeshBuilder::buildTriObject(const Zeq2Mesh& mesh) {
    MeshCacheEntry& entry = entryFor(mesh);
    if (!entry.problem.empty()) return nullptr;
    if (!entry.object) build(entry, entry.orderSurfaces ? *entry.orderSurfaces : mesh.surfaces);
    return entry.object;
}

void MeshBuilder::checkEntry(const Zeq2Mesh& mesh, MeshCacheEntry& entry) const {
    VertexLayout& layout = entry.layout;
    layout.minorVersion = minorVersion_;

    entry.indices = library_.indexBuffer(mesh.indexBufferId);
    if (!entry.indices) {
        entry.problem = bufferName("index buffer", mesh.indexBufferId) + " does not exist";
        return;
    }
    for (int32_t id : mesh.vertexBufferIds) {
        const Zeq2VertexBuffer* buffer = library_.vertexBuffer(id);
        if (!buffer) {
            entry.problem = bufferName("vertex buffer", id) + " does not exist";
            return;
        }
        if (!addVertexBuffer(layout, *buffer)) {
            entry.problem = bufferName("vertex buffer", id) + " has an attribute kind outside POSITION..TEXCOORDS";
            return;
        }
    }
    const int32_t n = layout.vertexCount;

    const Zeq2IndexBuffer& indices = *entry.indices;
    if (indices.indexCount < 0) {
        entry.problem = bufferName("index buffer", indices.id) + " has a negative index count";
        return;
    }
    const int32_t f = indices.indexCount / 3;
    if (int64_t(f) * 6 > indices.byteBuffer.length()) {
        entry.problem = bufferName("index buffer", indices.id) + " holds fewer indices (" +
                        std::to_string(indices.byteBuffer.length() / 2) + ") than its index count (" +
                        std::to_string(indices.indexCount) + ")";
        return;
    }
    entry.faceCount = f;

    if (n > 0 && layout.of(Kind::POSITION).empty()) {
        entry.problem = "its vertex buffers carry no POSITION attribute";
        return;
    }
    const auto& texcoords = layout.of(Kind::TEXCOORDS);
    entry.textureChannels = std::min<int32_t>(static_cast<int32_t>(texcoords.size()), kMaxTextureChannels);
    entry.droppedChannels = static_cast<int32_t>(texcoords.size()) - entry.textureChannels;

    // Every occurrence that is read must hold n vertices inside its byte array.
    std::vector<std::pair<AttributeSlot, Kind>> read;
    if (n > 0) {
        read.push_back({layout.of(Kind::POSITION).front(), Kind::POSITION});
        if (layout.hasNormals) read.push_back({layout.of(Kind::NORMAL).front(), Kind::NORMAL});
        for (int32_t c = 0; c < entry.textureChannels; ++c) read.push_back({texcoords[c], Kind::TEXCOORDS});
    }
    for (const auto& [slot, kind] : read) {
        const Zeq2VertexBuffer& buffer = *slot.buffer;
        if (buffer.vertexCount < n) {
            entry.problem = bufferName("vertex buffer", buffer.id) + " holds " + std::to_string(buffer.vertexCount) +
                            " vertices, fewer than the mesh's " + std::to_string(n);
            return;
        }
        if (!slotFits(slot, vertexAttributeSize(kind, minorVersion_), n)) {
            entry.problem = bufferName("vertex buffer", buffer.id) + " is too short for its attributes (" +
                            std::to_string(buffer.byteBuffer.length()) + " bytes for " +
                            std::to_string(buffer.vertexCount) + " vertices)";
            return;
        }
    }

    // The largest index first, in a loop without exits that the compiler vectorises; only a mesh
    // that fails is read again for its first bad index.
    const uint8_t* bytes = indices.byteBuffer.data();
    uint32_t largest = 0;
    for (int64_t i = 0; i < int64_t(f) * 3; ++i) largest = std::max(largest, readIndex(bytes, i));
    if (f == 0 || largest < static_cast<uint32_t>(n)) return;
    for (int64_t i = 0; i < int64_t(f) * 3; ++i) {
        const uint32_t vertex = readIndex(bytes, i);
        if (vertex >= static_cast<uint32_t>(n)) {
            entry.problem = bufferName("index buffer", indices.id) + " names vertex " + std::to_string(vertex) +
                            " (index " + std::to_string(i) + "), but the mesh has " + std::to_string(n) +
                            " vertices";
            return;
        }
    }
}

void MeshBuilder::build(MeshCacheEntry& entry, const TArray<Zeq2Surface>& surfaces) {
    const VertexLayout& layout = entry.layout;
    const int32_t n = layout.vertexCount;
    const int32_t f = entry.faceCount;
    const int32_t channels = entry.textureChannels;
    const uint8_t* indexBytes = entry.indices->byteBuffer.data();

    TriObject* tri = CreateNewTriObject();
    Mesh& mesh = tri->GetMesh();

    // The vertex, face and channel arrays of the new mesh are built in place, each written once
    // straight from the byte arrays: sizing them first would clear every entry only to overwrite
    // it, and these arrays are most of the memory an import fills.
    //
    // Positions, as stored: no axis, scale or sign change.
    mesh.verts.clear();
    mesh.verts.reserve(static_cast<std::size_t>(n));
    if (n > 0) {
        const AttributeReader positions(layout.of(Kind::POSITION).front(), layout.minorVersion);
        for (int32_t i = 0; i < n; ++i) mesh.verts.push_back(positions.point3(i));
    }

    // Texture channels 1..t, one per TEXCOORDS occurrence. The file stores v flipped (1 - v) for
    // the engine; flipping it back makes export, import and export again give the same values. Only
    // a mesh with texture coordinates gets texture faces (channel 1 among them): channel 1 with
    // faces but no vertices would name coordinates that do not exist.
    //
    // The exporter gives a channel the mesh lacks, below its highest one, an entry of (0, 0) on
    // every vertex (stored as (0, 1)). Such an entry below the last stays a channel the mesh lacks,
    // so that exporting again writes the same entry and takes tangents from the same channel.
    std::vector<std::vector<TVFace>*> channelFaces;
    if (layout.hasTexcoords) {
        mesh.setNumMaps(channels + 1, false);
        for (int32_t c = 1; c <= channels; ++c) {
            const AttributeReader uv(layout.of(Kind::TEXCOORDS)[c - 1], layout.minorVersion);
            bool filler = c < channels && n > 0;
            for (int32_t i = 0; filler && i < n; ++i) filler = uv.component(i, 0) == 0.0f && uv.component(i, 1) == 1.0f;
            if (filler) continue;
            MeshMap& map = mesh.Map(c);
            map.SetFlag(MESHMAP_USED | MESHMAP_TEXTURE);
            map.tv.reserve(static_cast<std::size_t>(n));
            for (int32_t i = 0; i < n; ++i) map.tv.emplace_back(uv.component(i, 0), 1.0f - uv.component(i, 1), 0.0f);
            map.tf.reserve(static_cast<std::size_t>(f));
            channelFaces.push_back(&map.tf);
        }
    }

    // Explicit normals as stored (not normalised; in 16-bit files a vector the exporter normalises
    // and cuts to the stored normal again). Each file vertex becomes one explicit normal that
    // every corner using the vertex shares, so corners that were one vertex in the file stay one
    // vertex when the mesh is exported again; the corners' normal ids are set with the faces.
    MeshNormalSpec* normals = nullptr;
    if (layout.hasNormals) {
        mesh.SpecifyNormals();
        normals = mesh.GetSpecifiedNormals();
        normals->SetNumFaces(f);
        normals->SetNumNormals(n);
        if (n > 0) {
            const AttributeReader reader(layout.of(Kind::NORMAL).front(), layout.minorVersion);
            const bool half = layout.minorVersion == kMinorVersionHalf;
            for (int32_t i = 0; i < n; ++i) {
                normals->Normal(i) = half ? halfNormalFor(reader.point3(i)) : normalSearch_(reader.point3(i));
                normals->SetNormalExplicit(i, true);
            }
        }
        normals->SetFlag(MESH_NORMAL_NORMALS_BUILT | MESH_NORMAL_NORMALS_COMPUTED | MESH_NORMAL_MODIFIER_SUPPORT);
    }

    // Faces, with the same corners in every texture channel and as the normal ids of their corners,
    // in the order the exporter met them.
    const std::vector<int32_t> order = exportedFaceOrder(indexBytes, f, surfaces);
    entry.faceOf.assign(order.size(), 0);
    for (std::size_t k = 0; k < order.size(); ++k) entry.faceOf[static_cast<std::size_t>(order[k])] = static_cast<int32_t>(k);
    mesh.faces.clear();
    mesh.faces.reserve(static_cast<std::size_t>(f));
    for (int32_t k = 0; k < f; ++k) {
        const int32_t j = order.empty() ? k : order[static_cast<std::size_t>(k)];
        const uint32_t a = readIndex(indexBytes, 3 * int64_t(j));
        const uint32_t b = readIndex(indexBytes, 3 * int64_t(j) + 1);
        const uint32_t c = readIndex(indexBytes, 3 * int64_t(j) + 2);
        mesh.faces.emplace_back().setVerts(a, b, c);
        for (std::vector<TVFace>* faces : channelFaces) faces->emplace_back().setTVerts(a, b, c);
        if (normals) {
            MeshNormalFace& face = normals->Face(k);
            face.SetNormalID(0, static_cast<int>(a));
            face.SetNormalID(1, static_cast<int>(b));
            face.SetNormalID(2, static_cast<int>(c));
            face.SpecifyAll();
        }
    }
    // The faces changed without setNumFaces: derived topology is dropped as it would drop it.
    mesh.InvalidateTopologyCache();

    mesh.BuildStripsAndEdges();
    entry.object = tri;
}

}  // namespace zeq

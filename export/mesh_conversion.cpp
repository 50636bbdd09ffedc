// Conversion of one host mesh into an interleaved vertex buffer, a 16-bit index buffer and the
// index ranges of its material ids.
#include "export/geometry.h"
#include "export/half_float.h"
#include "export/options.h"
#include "export/tangents.h"
#include "format/normals.h"
#include "host/mesh.h"
#include "host/mesh_normals.h"
#include "host/ui.h"

#include <bit>
#include <cstring>
#include <initializer_list>
#include <unordered_map>

namespace zeq {

namespace {

// Key value of a texture coordinate whose channel has no face for the corner.
constexpr uint32_t kNoTextureVertex = 0xFFFFFFFFu;
// What a corner without a coordinate gets: the host's (0, 0), v flipped as every coordinate is.
constexpr Point2 kNoCoordinate(0.0f, 1.0f);

// Host map channels 1 .. count-1 that carry faces; channel 0 (vertex colours) is never exported.
std::vector<int> usedTextureChannels(const Mesh& mesh) {
    std::vector<int> channels;
    for (int channel = 1; channel < mesh.getNumMaps(); ++channel)
        if (mesh.mapSupport(channel) && mesh.Map(channel).getNumFaces() > 0) channels.push_back(channel);
    return channels;
}

// The welded output vertices. Corners weld when host vertex, normal id and every texture-vertex
// index are equal, and, with tangents, when their faces' texture coordinates are mirrored alike: a
// vertex on the seam of a mirrored layout, shared by faces of both sides, would otherwise average
// opposite tangent frames. The candidates for a corner are the output vertices made from its host vertex,
// chained per host vertex, so that a lookup touches only those; beyond the first kChained of a host
// vertex (the centre of a fan of faceted faces can have thousands, and every lookup would walk
// them all) the others are found by a hash of host vertex and key. An output index is the number of
// vertices that existed when its key first appeared, which makes the output independent of the
// lookup structure.
struct WeldedVertices {
    static constexpr uint8_t kChained = 32;
    int keyWidth = 1;                  // normal id + one texture-vertex index per used channel (+ mirrored)
    std::vector<int32_t> firstOfHost;  // host vertex -> most recent output vertex made from it, or -1
    std::vector<int32_t> nextOfHost;   // output vertex -> previous output vertex of the same host vertex
    std::vector<uint8_t> chained;      // host vertex -> output vertices on its chain (at most kChained)
    std::unordered_multimap<uint64_t, int32_t> hashed;  // the others, by hashOf(host, key)
    std::vector<uint32_t> keys;        // keyWidth values per output vertex

    std::vector<Point3> positions;
    std::vector<Point3> normals;
    std::vector<Point2> texCoords;  // channels values per output vertex
    std::vector<TangentSum> tangents;
    std::vector<int32_t> hostVertex;

    std::size_t size() const { return positions.size(); }

    // Keys are a few values wide: compared in a loop, which beats a call to memcmp.
    bool holds(int32_t v, const uint32_t* key) const {
        const uint32_t* candidate = &keys[std::size_t(v) * keyWidth];
        int i = 0;
        while (i < keyWidth && candidate[i] == key[i]) ++i;
        return i == keyWidth;
    }

    uint64_t hashOf(uint32_t host, const uint32_t* key) const {
        uint64_t hash = host * 0x9E3779B97F4A7C15ull;
        for (int i = 0; i < keyWidth; ++i) hash = (hash ^ key[i]) * 0xFF51AFD7ED558CCDull + (hash >> 29);
        return hash;
    }

    // The output index of a corner key, or -1 when the key is new.
    int32_t find(uint32_t host, const uint32_t* key) const {
        for (int32_t v = firstOfHost[host]; v >= 0; v = nextOfHost[v])
            if (holds(v, key)) return v;
        if (chained[host] < kChained) return -1;
        const auto [first, last] = hashed.equal_range(hashOf(host, key));
        for (auto it = first; it != last; ++it) {
            const int32_t v = it->second;
            if (hostVertex[static_cast<std::size_t>(v)] == static_cast<int32_t>(host) && holds(v, key)) return v;
        }
        return -1;
    }

    int32_t add(uint32_t host, const uint32_t* key) {
        const auto index = static_cast<int32_t>(size());
        if (chained[host] < kChained) {
            ++chained[host];
            nextOfHost.push_back(firstOfHost[host]);
            firstOfHost[host] = index;
        } else {
            nextOfHost.push_back(-1);
            hashed.emplace(hashOf(host, key), index);
        }
        for (int i = 0; i < keyWidth; ++i) keys.push_back(key[i]);
        hostVertex.push_back(static_cast<int32_t>(host));
        return index;
    }
};

// Writes floats little-endian, the byte order of the vertex data.
uint8_t* putFloats(uint8_t* at, std::initializer_list<float> values) {
    for (float value : values) {
        uint32_t bits = std::bit_cast<uint32_t>(value);
        if constexpr (std::endian::native != std::endian::little) bits = __builtin_bswap32(bits);
        std::memcpy(at, &bits, sizeof(bits));
        at += sizeof(bits);
    }
    return at;
}

}  // namespace

ConvertedGeometry convertMesh(Mesh& mesh, BufferLists& lists, const ExportOptions& options) {
    const int faceCount = mesh.getNumFaces();
    const int hostVertexCount = mesh.getNumVerts();

    // More triangles than an index buffer holds are refused before the work of welding them.
    if (static_cast<std::size_t>(faceCount) * 3 > kMaxMeshIndices)
        throw IndexBufferException(static_cast<std::size_t>(faceCount));

    ConvertedGeometry geometry;
    geometry.triangleCount = faceCount;

    Zeq2VertexBuffer vertexBuffer;
    vertexBuffer.id = lists.nextVertexBufferId++;
    Zeq2IndexBuffer indexBuffer;
    indexBuffer.id = lists.nextIndexBufferId++;
    indexBuffer.indexCount = faceCount * 3;

    const std::vector<int> channels = usedTextureChannels(mesh);
    const std::size_t channelCount = channels.size();
    // The n-th TEXCOORDS entry serves channel n, so every channel from 1 up to the highest used
    // one gets an entry; usedSlot[n - 1] is channel n's place among the used channels, or -1 for a
    // channel the mesh lacks, which is written as (0, 0) on every vertex (stored v-flipped, like all
    // coordinates). Such a channel is no part of the welding key: it is equal on every corner.
    const std::size_t writtenChannels = channels.empty() ? 0 : static_cast<std::size_t>(channels.back());
    std::vector<int> usedSlot(writtenChannels, -1);
    for (std::size_t c = 0; c < channelCount; ++c) usedSlot[static_cast<std::size_t>(channels[c]) - 1] = int(c);

    vertexBuffer.attributes.add(Zeq2VertexAttributes::POSITION);
    if (options.normals) vertexBuffer.attributes.add(Zeq2VertexAttributes::NORMAL);
    for (std::size_t c = 0; c < writtenChannels; ++c) vertexBuffer.attributes.add(Zeq2VertexAttributes::TEXCOORDS);
    if (options.tangents) vertexBuffer.attributes.add(Zeq2VertexAttributes::TANGENT4);

    const MeshNormalSpec* normalSpec = options.normals ? PrepareCornerNormals(mesh) : nullptr;

    WeldedVertices welded;
    const bool tangentFrames = options.tangents && channelCount > 0;
    welded.keyWidth = 1 + static_cast<int>(channelCount) + (tangentFrames ? 1 : 0);
    welded.firstOfHost.assign(static_cast<std::size_t>(hostVertexCount), -1);
    welded.chained.assign(static_cast<std::size_t>(hostVertexCount), 0);
    const std::size_t expected = std::min<std::size_t>(0x10000, std::size_t(faceCount) * 3);
    welded.positions.reserve(expected);
    welded.normals.reserve(expected);
    welded.texCoords.reserve(expected * channelCount);
    welded.tangents.reserve(expected);
    welded.hostVertex.reserve(expected);
    welded.nextOfHost.reserve(expected);
    welded.keys.reserve(expected * welded.keyWidth);

    // Index lists per material id, ascending, and the tangent frames of their faces. Frames are
    // summed into their vertices in the file's triangle order (material ids ascending), which an
    // imported mesh gives back where the host's order across materials is lost: float sums depend
    // on their order.
    struct FaceFrame {
        uint32_t corners[3];
        Point3 tangent, bitangent;
    };
    std::map<uint16_t, std::vector<uint32_t>> indicesByMaterial;
    std::map<uint16_t, std::vector<FaceFrame>> framesByMaterial;
    std::vector<uint32_t>* currentList = nullptr;
    std::vector<FaceFrame>* currentFrames = nullptr;
    uint16_t currentMaterial = 0;

    bool warnedNoChannel = false;
    std::vector<uint32_t> key(static_cast<std::size_t>(welded.keyWidth));
    std::vector<Point2> cornerCoords(channelCount * 3);
    std::vector<uint32_t> cornerTextureVertices(channelCount * 3);

    for (int f = 0; f < faceCount; ++f) {
        const Face& face = mesh.faces[static_cast<std::size_t>(f)];
        const uint16_t material = face.getMatID();
        if (currentList == nullptr || material != currentMaterial) {
            currentList = &indicesByMaterial[material];
            currentFrames = &framesByMaterial[material];
            currentMaterial = material;
        }

        for (int corner = 0; corner < 3; ++corner) {
            if (face.v[corner] >= static_cast<uint32_t>(hostVertexCount))
                throw MeshFaceError("a face names a vertex the mesh does not have");
            for (std::size_t c = 0; c < channelCount; ++c) {
                const MeshMap& map = mesh.Map(channels[c]);
                uint32_t tv = kNoTextureVertex;
                Point2 st = kNoCoordinate;
                if (static_cast<std::size_t>(f) < map.tf.size()) {
                    tv = map.tf[static_cast<std::size_t>(f)].t[corner];
                    // Bounds-checked: a channel may name more vertices than it holds.
                    if (tv < map.tv.size()) st = Point2(map.tv[tv].x, 1.0f - map.tv[tv].y);
                }
                cornerTextureVertices[std::size_t(corner) * channelCount + c] = tv;
                cornerCoords[std::size_t(corner) * channelCount + c] = st;
            }
        }
        // The face's tangent frame, from the coordinates of its first channel, and whether they are
        // mirrored: wound clockwise as written (v flipped), which gives the handedness +1 where the
        // normal stands on the face's front. It follows from the coordinates alone, so a round trip,
        // which may move a normal by a float step, welds the same corners again. With 16-bit vertex
        // data it follows from the coordinates as stored: the cut may flatten a thin face or turn it
        // over, and an imported file holds the cut coordinates. The positions are cut too, which
        // keeps a mesh's tangents over a round trip (a skin's positions are stored turned by its
        // matrix, so for a skin this only steadies them).
        Point3 tangent, bitangent;
        bool framed = false, mirrored = false;
        if (tangentFrames) {
            Point3 p[3] = {mesh.verts[face.v[0]], mesh.verts[face.v[1]], mesh.verts[face.v[2]]};
            Point2 st[3] = {cornerCoords[0], cornerCoords[channelCount], cornerCoords[2 * channelCount]};
            if (options.vertexBuffers16Bit) {
                for (Point3& point : p) point = Point3(cutTo16Bit(point.x), cutTo16Bit(point.y), cutTo16Bit(point.z));
                for (Point2& coords : st) coords = Point2(cutTo16Bit(coords.x), cutTo16Bit(coords.y));
            }
            framed = faceTangent(p, st, tangent, bitangent);
            const float uvArea = (st[1].x - st[0].x) * (st[2].y - st[0].y) - (st[2].x - st[0].x) * (st[1].y - st[0].y);
            mirrored = framed && uvArea > 0.0f;
        }

        uint32_t out[3];
        for (int corner = 0; corner < 3; ++corner) {
            const uint32_t host = face.v[corner];
            key[0] = normalSpec != nullptr ? static_cast<uint32_t>(normalSpec->Face(f).GetNormalID(corner)) : 0;
            for (std::size_t c = 0; c < channelCount; ++c)
                key[1 + c] = cornerTextureVertices[std::size_t(corner) * channelCount + c];
            if (tangentFrames) key[1 + channelCount] = mirrored ? 1u : 0u;

            int32_t index = welded.find(host, key.data());
            if (index < 0) {
                index = welded.add(host, key.data());
                welded.positions.push_back(mesh.verts[host]);
                welded.normals.push_back(normalSpec != nullptr ? settledNormal(normalSpec->GetNormal(f, corner))
                                                               : Point3(0.0f, 0.0f, 1.0f));
                for (std::size_t c = 0; c < channelCount; ++c)
                    welded.texCoords.push_back(cornerCoords[std::size_t(corner) * channelCount + c]);
                welded.tangents.emplace_back();
            }
            out[corner] = static_cast<uint32_t>(index);
        }

        if (options.tangents) {
            if (framed) {
                currentFrames->push_back({{out[0], out[1], out[2]}, tangent, bitangent});
            } else if (channelCount == 0 && !warnedNoChannel) {
                warnedNoChannel = true;
                MessageBox(GetActiveWindow(), "Model don't have uv channel, unable to calculate TBN", "ZeqExport",
                           MB_OK | MB_ICONWARNING);
            }
        }

        for (uint32_t index : out) currentList->push_back(index);
    }

    for (const auto& [material, frames] : framesByMaterial)
        for (const FaceFrame& frame : frames)
            for (uint32_t v : frame.corners) addTangent(welded.tangents[v], welded.normals[v], frame.tangent, frame.bitangent);

    // Index buffer and ranges, material ids ascending.
    std::size_t written = 0;
    indexBuffer.byteBuffer.reserve(static_cast<int32_t>(std::min<std::size_t>(std::size_t(faceCount) * 3, kMaxMeshIndices) * 2));
    std::size_t allIndices = 0;
    for (const auto& entry : indicesByMaterial) allIndices += entry.second.size();
    for (const auto& [material, indices] : indicesByMaterial) {
        IndexRange range;
        range.indexBegin = static_cast<int32_t>(written);
        range.numTriangles = static_cast<int32_t>(indices.size() / 3);
        geometry.materialRanges.emplace(material, range);
        // The limit is tested after each material; testing before writing its indices gives the
        // same outcome without growing the buffer past it.
        written += indices.size();
        if (written > kMaxMeshIndices) throw IndexBufferException(allIndices / 3);
        uint8_t* bytes = indexBuffer.byteBuffer.extend(static_cast<int32_t>(indices.size() * 2));
        for (uint32_t index : indices) {
            *bytes++ = static_cast<uint8_t>(index & 0xFF);
            *bytes++ = static_cast<uint8_t>((index >> 8) & 0xFF);
        }
    }

    // Every output index must fit 16 bits, and so must vertexCount: 65536 vertices are too many.
    const std::size_t vertexCount = welded.size();
    if (vertexCount > kMaxMeshVertices) throw VertexBufferException(vertexCount);

    vertexBuffer.vertexCount = static_cast<uint16_t>(vertexCount);
    const std::size_t floatsPerVertex =
        3 + (options.normals ? 3 : 0) + 2 * writtenChannels + (options.tangents ? 4 : 0);
    // Written straight into the buffer: fewer than 65536 vertices of at most 208 floats stay far
    // below the byte buffer's own limit. The file's smaller limit on byte arrays is checked by the
    // caller, which knows the node (checkVertexBufferSize).
    uint8_t* at = vertexBuffer.byteBuffer.extend(static_cast<int32_t>(vertexCount * floatsPerVertex * sizeof(float)));
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const Point3& p = welded.positions[v];
        const Point3& n = welded.normals[v];
        at = putFloats(at, {p.x, p.y, p.z});
        if (options.normals) at = putFloats(at, {n.x, n.y, n.z});
        for (const int slot : usedSlot) {
            const Point2 st = slot >= 0 ? welded.texCoords[v * channelCount + std::size_t(slot)] : kNoCoordinate;
            at = putFloats(at, {st.x, st.y});
        }
        if (options.tangents) {
            Point3 tangent;
            float handedness = 1.0f;
            finishTangent(welded.tangents[v], n, tangent, handedness);
            at = putFloats(at, {tangent.x, tangent.y, tangent.z, handedness});
        }
    }

    geometry.hostVertexOf = std::move(welded.hostVertex);
    geometry.vertexBufferIds.add(vertexBuffer.id);
    geometry.indexBufferId = indexBuffer.id;
    geometry.vertexBufferIndex = lists.vertexBuffers.size();
    lists.vertexBuffers.add(std::move(vertexBuffer));
    lists.indexBuffers.add(std::move(indexBuffer));
    return geometry;
}

}  // namespace zeq

// `zeq validate`: cross-record checks of a decoded scene file.
#include "tools/zeq/inspect_validate.h"

#include "format/records.h"
#include "tools/zeq/inspect_json.h"
#include "tools/zeq/inspect_vertices.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace zeq::inspect {
namespace {

std::string subjectOf(std::string_view list, std::size_t index, int64_t id) {
    return std::string(list) + "[" + std::to_string(index) + "] (id " + std::to_string(id) + ")";
}

// The shortest text that reads back as the same float.
std::string shortest(float value) {
    char text[40];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

std::string at(std::string_view field, std::size_t index) {
    return std::string(field) + "[" + std::to_string(index) + "]";
}

// The records of one resource list by id (the first record when an id repeats).
struct ResourceIndex {
    std::unordered_map<int32_t, std::size_t> byId;
    bool has(int32_t id) const { return byId.count(id) != 0; }
};

// Where a scene-node id is defined.
struct NodeEntry {
    std::string_view list;
    std::size_t index = 0;
    std::optional<int64_t> parentId;
};

template <class R>
const TArray<R>& itemsOf(const std::optional<TArray<R>>& list) {
    static const TArray<R> kEmpty;
    return list ? *list : kEmpty;
}

class Validator {
public:
    explicit Validator(const SceneFile& file) : file_(file), root_(file.root) {}

    ValidationReport run() {
        const auto lightColor = [&](const auto& light, const std::string& s) { checkColor(light.color, s); };
        if (file_.minorVersion != kMinorVersionFloat32 && file_.minorVersion != kMinorVersionHalf) {
            warning("file", "minorVersion", "minor version " + std::to_string(file_.minorVersion) +
                                " is neither 5 nor 6; vertex data are read as 32-bit floats");
        }
        indexResources();
        indexNodes();

        forNodes(root_.ambientLights, "ambientLights", lightColor);
        checkClips();
        checkTracks();
        checkBoxes();
        checkCubeMaps();
        forNodes(root_.decals, "decals", [&](const Zeq2Decal& d, const std::string& s) { checkGeometry(d, s); });
        forNodes(root_.directionalLights, "directionalLights", lightColor);
        checkIndexBuffers();
        forNodes(root_.joints, "joints", [](auto&, auto&) {});
        checkMaps();
        checkMaterials();
        forNodes(root_.meshes, "meshes", [&](const Zeq2Mesh& m, const std::string& s) { checkGeometry(m, s); });
        forNodes(root_.objects, "objects", [](auto&, auto&) {});
        forNodes(root_.omniLights, "omniLights", lightColor);
        forNodes(root_.skins, "skins", [&](const Zeq2Skin& skin, const std::string& s) {
            checkGeometry(skin, s);
            checkSkinJoints(skin, s);
            checkSkinInfluences(skin, s);
        });
        forNodes(root_.spotLights, "spotLights", lightColor);
        forNodes(root_.sprites, "sprites", [&](const Zeq2Sprite& sprite, const std::string& s) {
            if (sprite.materialId) requireResource(materials_, *sprite.materialId, s, "materialId", "material");
        });
        checkVertexBuffers();
        checkLayers();
        forNodes(file_.extra2.cameras, "cameras", [](auto&, auto&) {});
        forNodes(file_.extra2.lods, "lods", [&](const Zeq2LOD& lod, const std::string& s) { checkLod(lod, s); });
        checkParentLoops();
        return std::move(report_);
    }

private:
    void add(Severity severity, std::string subject, std::string field, std::string problem) {
        (severity == Severity::Error ? report_.errors : report_.warnings) += 1;
        report_.findings.push_back({severity, std::move(subject), std::move(field), std::move(problem)});
    }
    void error(std::string subject, std::string field, std::string problem) {
        add(Severity::Error, std::move(subject), std::move(field), std::move(problem));
    }
    void warning(std::string subject, std::string field, std::string problem) {
        add(Severity::Warning, std::move(subject), std::move(field), std::move(problem));
    }

    // ---- ids -------------------------------------------------------------------------------

    template <class R>
    void indexList(const std::optional<TArray<R>>& list, std::string_view name, ResourceIndex& index) {
        const auto& items = itemsOf(list);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const auto [it, added] = index.byId.emplace(items.items[i].id, i);
            if (!added) {
                error(subjectOf(name, i, items.items[i].id), "id", "id " + std::to_string(items.items[i].id) +
                                                                 " is also used by " + at(name, it->second));
            }
        }
    }

    void indexResources() {
        ResourceIndex clips;
        indexList(root_.animationClips, "animationClips", clips);
        indexList(root_.tracks, "tracks", tracks_);
        indexList(root_.boxes, "boxes", boxes_);
        indexList(root_.cubeMaps, "cubeMaps", cubeMaps_);
        indexList(root_.images, "images", images_);
        indexList(root_.indexBuffers, "indexBuffers", indexBuffers_);
        indexList(root_.maps, "maps", maps_);
        indexList(root_.materials, "materials", materials_);
        indexList(root_.vertexBuffers, "vertexBuffers", vertexBuffers_);
        ResourceIndex layers;
        indexList(file_.extra1.layers, "layers", layers);
    }

    template <class R>
    void indexNodeList(const std::optional<TArray<R>>& list, std::string_view name) {
        const auto& items = itemsOf(list);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const R& node = items.items[i];
            if (node.name) nodeNames_.insert(*node.name);
            const auto [it, added] = nodes_.emplace(node.id, NodeEntry{name, i, node.parentId});
            if (added) {
                nodeOrder_.push_back(node.id);
            } else {
                error(subjectOf(name, i, node.id), "id", "scene-node id " + std::to_string(node.id) + " is also used by " +
                                                       at(it->second.list, it->second.index));
            }
        }
    }

    void indexNodes() {
        indexNodeList(root_.ambientLights, "ambientLights");
        indexNodeList(root_.decals, "decals");
        indexNodeList(root_.directionalLights, "directionalLights");
        indexNodeList(root_.joints, "joints");
        indexNodeList(root_.meshes, "meshes");
        indexNodeList(root_.objects, "objects");
        indexNodeList(root_.omniLights, "omniLights");
        indexNodeList(root_.skins, "skins");
        indexNodeList(root_.spotLights, "spotLights");
        indexNodeList(root_.sprites, "sprites");
        indexNodeList(file_.extra2.cameras, "cameras");
        indexNodeList(file_.extra2.lods, "lods");
    }

    void requireResource(const ResourceIndex& index, int32_t id, const std::string& subject, const std::string& field,
                         std::string_view what) {
        if (!index.has(id)) error(subject, field, field + " " + std::to_string(id) + " names no " + std::string(what));
    }

    void requireNode(int64_t id, const std::string& subject, const std::string& field) {
        if (!nodes_.count(id)) error(subject, field, field + " " + std::to_string(id) + " names no scene node");
    }

    // ---- node records ------------------------------------------------------------------------

    // Light colours are 0xRRGGBB; bits above them are no colour a loader reads.
    void checkColor(uint32_t color, const std::string& subject) {
        if (color > 0xFFFFFFu) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%08X", color);
            warning(subject, "color", "color " + std::string(text) + " has bits above 0xRRGGBB set");
        }
    }

    // Runs the checks every node record shares, then `extra`, for each record of a node list.
    template <class R, class Extra>
    void forNodes(const std::optional<TArray<R>>& list, std::string_view name, Extra&& extra) {
        const auto& items = itemsOf(list);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const R& node = items.items[i];
            const std::string subject = subjectOf(name, i, node.id);
            if (node.boundBoxId) requireResource(boxes_, *node.boundBoxId, subject, "boundBoxId", "box");
            if (node.parentId && !nodes_.count(*node.parentId)) {
                warning(subject, "parentId", "parentId " + std::to_string(*node.parentId) +
                                     " names no scene node in this file (it loads as a root)");
            }
            extra(node, subject);
        }
    }

    // Follows every parent chain; a chain that comes back to a node it passed would never reach
    // a root.
    void checkParentLoops() {
        enum : uint8_t { kOnPath = 1, kDone = 2 };
        std::unordered_map<int64_t, uint8_t> state;
        std::vector<int64_t> path;
        for (const int64_t start : nodeOrder_) {
            path.clear();
            int64_t id = start;
            for (;;) {
                uint8_t& mark = state[id];
                if (mark == kDone) break;
                if (mark == kOnPath) {
                    const auto from = std::find(path.begin(), path.end(), id);
                    std::string chain;
                    for (auto it = from; it != path.end(); ++it) chain += std::to_string(*it) + " -> ";
                    chain += std::to_string(id);
                    const NodeEntry& entry = nodes_.at(id);
                    error(subjectOf(entry.list, entry.index, id), "parentId", "parent chain loops: " + chain);
                    break;
                }
                mark = kOnPath;
                path.push_back(id);
                const auto it = nodes_.find(id);
                if (it == nodes_.end() || !it->second.parentId || !nodes_.count(*it->second.parentId)) break;
                id = *it->second.parentId;
            }
            for (const int64_t member : path) state[member] = kDone;
        }
    }

    // ---- geometry ----------------------------------------------------------------------------

    const Zeq2VertexBuffer* vertexBuffer(int32_t id) const {
        const auto it = vertexBuffers_.byId.find(id);
        return it == vertexBuffers_.byId.end() ? nullptr : &root_.vertexBuffers->items[it->second];
    }
    const Zeq2IndexBuffer* indexBuffer(int32_t id) const {
        const auto it = indexBuffers_.byId.find(id);
        return it == indexBuffers_.byId.end() ? nullptr : &root_.indexBuffers->items[it->second];
    }

    // The largest index an index buffer holds, computed once per buffer (meshes share buffers).
    // The first position of an index at or beyond vertexCount (the buffer holds one), found once
    // for each buffer and count: meshes that share a buffer share the search.
    int64_t firstIndexBeyond(const Zeq2IndexBuffer& buffer, int32_t vertexCount) {
        const auto [it, added] = firstBeyond_.try_emplace({&buffer, vertexCount}, -1);
        if (added) {
            const int64_t count = storedIndexCount(buffer);
            for (int64_t i = 0; i < count && it->second < 0; ++i)
                if (storedIndex(buffer, i) >= vertexCount) it->second = i;
        }
        return it->second;
    }

    int32_t largestIndex(const Zeq2IndexBuffer& buffer) {
        const auto [it, added] = largestIndex_.emplace(&buffer, -1);
        if (added) {
            const int64_t count = storedIndexCount(buffer);
            int32_t largest = -1;
            for (int64_t i = 0; i < count; ++i) largest = std::max<int32_t>(largest, storedIndex(buffer, i));
            it->second = largest;
        }
        return it->second;
    }

    // Meshes, skins and decals: their buffers, the indices against the vertices, and the surfaces.
    template <class R>
    void checkGeometry(const R& node, const std::string& subject) {
        const Zeq2IndexBuffer* indices = indexBuffer(node.indexBufferId);
        if (!indices) error(subject, "indexBufferId", "indexBufferId " + std::to_string(node.indexBufferId) + " names no index buffer");

        std::vector<const Zeq2VertexBuffer*> buffers;
        for (std::size_t i = 0; i < node.vertexBufferIds.size(); ++i) {
            const int32_t id = node.vertexBufferIds.items[i];
            if (const Zeq2VertexBuffer* buffer = vertexBuffer(id)) {
                buffers.push_back(buffer);
            } else {
                error(subject, at("vertexBufferIds", i), at("vertexBufferIds", i) + " " + std::to_string(id) + " names no vertex buffer");
            }
        }
        if (node.vertexBufferIds.empty()) error(subject, "vertexBufferIds", "names no vertex buffers");

        int32_t vertexCount = buffers.empty() ? 0 : buffers.front()->vertexCount;
        for (const Zeq2VertexBuffer* buffer : buffers) {
            if (buffer->vertexCount != buffers.front()->vertexCount) {
                error(subject, "vertexBufferIds", "its vertex buffers disagree on vertexCount: vertex buffer " +
                                   std::to_string(buffers.front()->id) + " has " +
                                   std::to_string(buffers.front()->vertexCount) + ", vertex buffer " +
                                   std::to_string(buffer->id) + " has " + std::to_string(buffer->vertexCount));
                break;
            }
        }
        for (const Zeq2VertexBuffer* buffer : buffers) vertexCount = std::min<int32_t>(vertexCount, buffer->vertexCount);
        checkAttributeSupply(buffers, subject);

        int64_t available = 0;
        if (indices) {
            available = std::min<int64_t>(std::max(indices->indexCount, 0), storedIndexCount(*indices));
            if (!buffers.empty() && largestIndex(*indices) >= vertexCount) {
                const int64_t i = firstIndexBeyond(*indices, vertexCount);
                error(subject, "indexBufferId", "index buffer " + std::to_string(indices->id) + " holds index " +
                                   std::to_string(storedIndex(*indices, i)) + " at position " + std::to_string(i) +
                                   ", beyond the " + std::to_string(vertexCount) + " vertices of its vertex buffers");
            }
        }

        std::unordered_set<int32_t> materialsChecked, mapsChecked;
        int64_t channels = 0;
        for (const Zeq2VertexBuffer* buffer : buffers)
            channels += std::count(buffer->attributes.begin(), buffer->attributes.end(), Zeq2VertexAttributes::TEXCOORDS);
        for (std::size_t s = 0; s < node.surfaces.size(); ++s) {
            const Zeq2Surface& surface = node.surfaces.items[s];
            const std::string name = at("surfaces", s);
            if (surface.materialId) {
                requireResource(materials_, *surface.materialId, subject, name + ".materialId", "material");
                if (!buffers.empty() && materialsChecked.insert(*surface.materialId).second)
                    checkMapChannels(*surface.materialId, channels, mapsChecked, subject, name + ".materialId");
            }
            if (surface.indexBegin < 0 || surface.numTriangles < 0) {
                error(subject, name, name + " has indexBegin " + std::to_string(surface.indexBegin) + " and numTriangles " +
                                   std::to_string(surface.numTriangles) + "; neither may be negative");
                continue;
            }
            if (surface.indexBegin % 3 != 0) {
                error(subject, name + ".indexBegin", name + ".indexBegin " + std::to_string(surface.indexBegin) + " is not a multiple of 3");
            }
            const int64_t end = int64_t(surface.indexBegin) + int64_t(surface.numTriangles) * 3;
            if (indices && end > available) {
                error(subject, name, name + " covers indices " + std::to_string(surface.indexBegin) + " to " +
                                   std::to_string(end - 1) + ", beyond the " + std::to_string(available) +
                                   " indices of index buffer " + std::to_string(indices->id));
            }
        }
    }

    // Channel n of a map reads the n-th TEXCOORDS entry of the vertex buffers of the geometry its
    // material is on (`channels` entries); a channel beyond them has no coordinates to read. Each
    // map once per node.
    void checkMapChannels(int32_t materialId, int64_t channels, std::unordered_set<int32_t>& checked,
                          const std::string& subject, const std::string& field) {
        const auto material = materials_.byId.find(materialId);
        if (material == materials_.byId.end()) return;
        const Zeq2Material& m = root_.materials->items[material->second];
        for (const std::optional<int32_t>* mapId : {&m.diffuseMapId, &m.glossinessMapId, &m.lightMapId, &m.normalMapId,
                                                    &m.opacityMapId, &m.specularMapId}) {
            if (!*mapId || !checked.insert(**mapId).second) continue;
            const auto map = maps_.byId.find(**mapId);
            if (map == maps_.byId.end()) continue;
            const uint16_t channel = root_.maps->items[map->second].channel;
            if (channel > channels) {
                warning(subject, field, "material " + std::to_string(materialId) + " uses map " + std::to_string(**mapId) +
                                            " on texture channel " + std::to_string(channel) + ", but its vertex buffers hold " +
                                            counted(channels, "TEXCOORDS entry", "TEXCOORDS entries"));
            }
        }
    }

    // A mesh's vertices need positions, and each kind should come from one buffer.
    void checkAttributeSupply(const std::vector<const Zeq2VertexBuffer*>& buffers, const std::string& subject) {
        if (buffers.empty()) return;
        std::unordered_map<int32_t, int32_t> supplier;  // kind -> first buffer id supplying it
        std::unordered_set<int32_t> reported;
        bool hasPosition = false;
        for (const Zeq2VertexBuffer* buffer : buffers) {
            std::unordered_set<int32_t> kinds;
            for (Zeq2VertexAttributes kind : buffer->attributes) {
                if (attributeComponents(kind) == 0) continue;
                kinds.insert(static_cast<int32_t>(kind));
                hasPosition = hasPosition || kind == Zeq2VertexAttributes::POSITION;
            }
            for (const int32_t kind : kinds) {
                const auto [it, added] = supplier.emplace(kind, buffer->id);
                if (!added && reported.insert(kind).second) {
                    warning(subject, "vertexBufferIds", std::string(vertexAttributeName(static_cast<Zeq2VertexAttributes>(kind))) +
                                         " is supplied by vertex buffers " + std::to_string(it->second) + " and " +
                                         std::to_string(buffer->id));
                }
            }
        }
        if (!hasPosition) error(subject, "vertexBufferIds", "none of its vertex buffers carries POSITION");
    }

    void checkVertexBuffers() {
        const auto& items = itemsOf(root_.vertexBuffers);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Zeq2VertexBuffer& buffer = items.items[i];
            const std::string subject = subjectOf("vertexBuffers", i, buffer.id);
            bool known = true;
            for (std::size_t a = 0; a < buffer.attributes.size(); ++a) {
                const Zeq2VertexAttributes kind = buffer.attributes.items[a];
                if (attributeComponents(kind) == 0) {
                    known = false;
                    error(subject, at("attributes", a), at("attributes", a) + " is " + std::to_string(static_cast<int32_t>(kind)) +
                                       ", not a vertex attribute kind");
                }
            }
            if (!known) continue;
            // Two influences per JOINTS entry, at most 8 influences a vertex.
            const auto joints =
                std::count(buffer.attributes.begin(), buffer.attributes.end(), Zeq2VertexAttributes::JOINTS);
            if (joints > 4) {
                warning(subject, "attributes", "attributes hold " + std::to_string(joints) +
                                                   " JOINTS entries; a vertex takes at most 4 (8 influences)");
            }
            const int64_t stride = vertexStride(buffer.attributes, file_.minorVersion);
            const int64_t expected = int64_t(buffer.vertexCount) * stride;
            if (buffer.byteBuffer.length() != expected) {
                error(subject, "byteBuffer", "byteBuffer holds " + std::to_string(buffer.byteBuffer.length()) + " bytes; " +
                                   std::to_string(buffer.vertexCount) + " vertices of " + std::to_string(stride) +
                                   " bytes need " + std::to_string(expected));
            }
        }
    }

    void checkIndexBuffers() {
        const auto& items = itemsOf(root_.indexBuffers);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Zeq2IndexBuffer& buffer = items.items[i];
            const std::string subject = subjectOf("indexBuffers", i, buffer.id);
            if (buffer.indexCount < 0) {
                error(subject, "indexCount", "indexCount " + std::to_string(buffer.indexCount) + " is negative");
                continue;
            }
            const int64_t needed = int64_t(buffer.indexCount) * 2;
            if (buffer.byteBuffer.length() != needed) {
                error(subject, "indexCount", "indexCount " + std::to_string(buffer.indexCount) + " needs " + std::to_string(needed) +
                                   " bytes, but byteBuffer holds " + std::to_string(buffer.byteBuffer.length()));
            }
            if (buffer.indexCount % 3 != 0) {
                warning(subject, "indexCount", "indexCount " + std::to_string(buffer.indexCount) + " is not a multiple of 3");
            }
        }
    }

    void checkBoxes() {
        const auto& items = itemsOf(root_.boxes);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Zeq2Box& box = items.items[i];
            if (box.box.size() != 6) {
                error(subjectOf("boxes", i, box.id), "box", "box holds " + std::to_string(box.box.size()) + " values, not 6");
            }
        }
    }

    // ---- skins and level-of-detail groups --------------------------------------------------

    void checkSkinJoints(const Zeq2Skin& skin, const std::string& subject) {
        if (skin.surfaceJointCounts.size() != skin.surfaces.size()) {
            error(subject, "surfaceJointCounts", "surfaceJointCounts has " + std::to_string(skin.surfaceJointCounts.size()) + " entries for " +
                               std::to_string(skin.surfaces.size()) + " surfaces");
        }
        int64_t sum = 0;
        for (const uint16_t count : skin.surfaceJointCounts) sum += count;
        if (sum != static_cast<int64_t>(skin.jointIds.size())) {
            error(subject, "surfaceJointCounts", "surfaceJointCounts add up to " + std::to_string(sum) + ", but jointIds holds " +
                               std::to_string(skin.jointIds.size()) + " ids");
        }
        std::unordered_set<int64_t> listed;
        for (std::size_t i = 0; i < skin.jointIds.size(); ++i) {
            const int64_t id = skin.jointIds.items[i];
            listed.insert(id);
            const auto it = nodes_.find(id);
            if (it == nodes_.end()) {
                error(subject, at("jointIds", i), at("jointIds", i) + " " + std::to_string(id) + " names no joint");
            } else if (it->second.list != "joints") {
                error(subject, at("jointIds", i), at("jointIds", i) + " " + std::to_string(id) + " names " +
                                   at(it->second.list, it->second.index) + ", not a joint");
            }
        }
        std::unordered_set<int64_t> bound;
        for (std::size_t i = 0; i < skin.jointBindTransforms.size(); ++i) {
            const int64_t id = skin.jointBindTransforms.items[i].jointId;
            bound.insert(id);
            if (!listed.count(id)) {
                error(subject, at("jointBindTransforms", i) + ".jointId", at("jointBindTransforms", i) + ".jointId " + std::to_string(id) + " is not among its jointIds");
            }
        }
        std::unordered_set<int64_t> reported;
        for (const int64_t id : skin.jointIds) {
            if (!bound.count(id) && reported.insert(id).second) {
                error(subject, "jointBindTransforms", "joint " + std::to_string(id) + " of its jointIds has no jointBindTransform");
            }
        }
    }

    // The JOINTS data: per influence a joint's place in a surface's run of jointIds, times 3, and
    // its weight; (0, 0) is an empty slot. A vertex is read against the run of every surface that
    // draws it (a vertex no surface draws against the first run, as the importer reads it); a place
    // outside the run has a loader read past the skin's joints. One finding per skin; a skin without
    // surfaces draws nothing and is not read, and runs that do not match the surfaces or the joint
    // list are reported above.
    static std::string drawnByText(int32_t surface) {
        if (surface < 0) return "the first surface, against which a vertex no surface draws is read";
        return at("surfaces", static_cast<std::size_t>(surface)) + ", which draws it";
    }

    void checkSkinInfluences(const Zeq2Skin& skin, const std::string& subject) {
        int64_t listed = 0;
        for (const uint16_t count : skin.surfaceJointCounts) listed += count;
        if (skin.surfaceJointCounts.empty() || skin.surfaceJointCounts.size() != skin.surfaces.size() ||
            listed != static_cast<int64_t>(skin.jointIds.size()))
            return;
        // Per vertex, the surface with the shortest run among those that draw it.
        std::vector<int32_t> surfaceOf;
        const Zeq2IndexBuffer* indices = indexBuffer(skin.indexBufferId);
        const int64_t stored = indices ? storedIndexCount(*indices) : 0;
        for (std::size_t s = 0; s < skin.surfaces.size(); ++s) {
            const Zeq2Surface& surface = skin.surfaces.items[s];
            const int64_t begin = std::max<int64_t>(surface.indexBegin, 0);
            const int64_t end = std::min<int64_t>(begin + std::max<int64_t>(surface.numTriangles, 0) * 3, stored);
            for (int64_t i = begin; i < end; ++i) {
                const std::size_t v = storedIndex(*indices, i);
                if (v >= surfaceOf.size()) surfaceOf.resize(v + 1, -1);
                int32_t& drawnBy = surfaceOf[v];
                const auto& counts = skin.surfaceJointCounts.items;
                if (drawnBy < 0 || counts[s] < counts[static_cast<std::size_t>(drawnBy)])
                    drawnBy = static_cast<int32_t>(s);
            }
        }
        for (const int32_t id : skin.vertexBufferIds) {
            const Zeq2VertexBuffer* buffer = vertexBuffer(id);
            VertexView view;
            std::string unreadable;  // reported with the buffer
            if (!buffer || !viewVertexBuffer(*buffer, file_.minorVersion, view, unreadable)) continue;
            for (const AttributeSlot& slot : view.layout.slots) {
                if (slot.kind != Zeq2VertexAttributes::JOINTS) continue;
                for (int32_t v = 0; v < view.vertexCount; ++v) {
                    const std::size_t at = static_cast<std::size_t>(v);
                    const int32_t drawnBy = at < surfaceOf.size() ? surfaceOf[at] : -1;
                    const int32_t joints = skin.surfaceJointCounts.items[static_cast<std::size_t>(std::max(drawnBy, 0))];
                    for (int32_t pair = 0; pair < 2; ++pair) {
                        const float place = view.value(v, slot, 2 * pair) / 3.0f;
                        const float weight = view.value(v, slot, 2 * pair + 1);
                        const float joint = std::round(place);
                        if ((place == 0 && weight == 0) ||
                            (joint >= 0 && joint < static_cast<float>(joints) && std::fabs(place - joint) <= 1e-3f))
                            continue;
                        error(subject, "vertexBufferIds", "vertex " + std::to_string(v) + " of vertex buffer " +
                                                              std::to_string(id) + " names joint " + shortest(place) +
                                                              " (its JOINTS value / 3), not one of the " +
                                                              std::to_string(joints) + " joints of " +
                                                              drawnByText(drawnBy));
                        return;
                    }
                }
            }
        }
    }

    void checkLod(const Zeq2LOD& lod, const std::string& subject) {
        if (lod.distances.size() != lod.objectIds.size()) {
            error(subject, "distances", "distances has " + std::to_string(lod.distances.size()) + " entries, objectIds " +
                               std::to_string(lod.objectIds.size()));
        }
        std::unordered_map<int64_t, std::size_t> firstAt;  // the first entry naming each node
        for (std::size_t i = 0; i < lod.objectIds.size(); ++i) {
            const int64_t id = lod.objectIds.items[i];
            requireNode(id, subject, at("objectIds", i));
            // A loader shows one level at a time: the group itself, or one node at two distances,
            // is no level of its own.
            const std::string field = at("objectIds", i);
            if (id == lod.id) warning(subject, field, field + " names the group itself");
            if (const auto [first, added] = firstAt.emplace(id, i); !added)
                warning(subject, field, field + " names node " + std::to_string(id) + ", as " + at("objectIds", first->second) + " does");
        }
    }

    void checkLayers() {
        const auto& items = itemsOf(file_.extra1.layers);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Zeq2Layer& layer = items.items[i];
            if (!layer.objectIds) continue;
            const std::string subject = subjectOf("layers", i, layer.id);
            for (std::size_t k = 0; k < layer.objectIds->size(); ++k) {
                requireNode(layer.objectIds->items[k], subject, at("objectIds", k));
            }
        }
    }

    // ---- materials and textures ------------------------------------------------------------

    void checkMaterials() {
        const auto& items = itemsOf(root_.materials);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Zeq2Material& material = items.items[i];
            const std::string subject = subjectOf("materials", i, material.id);
            const std::pair<const char*, const std::optional<int32_t>*> mapFields[] = {
                {"diffuseMapId", &material.diffuseMapId},   {"glossinessMapId", &material.glossinessMapId},
                {"lightMapId", &material.lightMapId},       {"normalMapId", &material.normalMapId},
                {"opacityMapId", &material.opacityMapId},   {"specularMapId", &material.specularMapId}};
            for (const auto& [name, value] : mapFields) {
                if (*value) requireResource(maps_, **value, subject, name, "map");
            }
            if (material.reflectionCubeMapId) {
                requireResource(cubeMaps_, *material.reflectionCubeMapId, subject, "reflectionCubeMapId", "cube map");
            }
        }
    }

    void checkMaps() {
        const auto& items = itemsOf(root_.maps);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Zeq2Map& map = items.items[i];
            const std::string subject = subjectOf("maps", i, map.id);
            requireResource(images_, map.imageId, subject, "imageId", "image");
            if (map.channel == 0) warning(subject, "channel", "channel 0 names no texture channel (they count from 1)");
        }
    }

    void checkCubeMaps() {
        const auto& items = itemsOf(root_.cubeMaps);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Zeq2CubeMap& cube = items.items[i];
            const std::string subject = subjectOf("cubeMaps", i, cube.id);
            const std::pair<const char*, std::optional<int32_t>> faces[] = {
                {"imageId1", cube.imageId1}, {"imageId2", cube.imageId2}, {"imageId3", cube.imageId3},
                {"imageId4", cube.imageId4}, {"imageId5", cube.imageId5}, {"imageId6", cube.imageId6}};
            int32_t present = 0;
            for (const auto& [name, value] : faces) {
                if (value) requireResource(images_, *value, subject, name, "image");
                present += value ? 1 : 0;
            }
            // One picture is imageId6 alone; six pictures fill every field.
            if (present > 1 && present < 6) {
                warning(subject, "", "holds " + std::to_string(present) +
                                         " of its six images; a cube map holds imageId6 alone or all six");
            }
        }
    }

    // ---- animation -------------------------------------------------------------------------

    void checkClips() {
        const auto& items = itemsOf(root_.animationClips);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Zeq2AnimationClip& clip = items.items[i];
            const std::string subject = subjectOf("animationClips", i, clip.id);
            for (std::size_t t = 0; t < clip.tracks.size(); ++t) {
                requireResource(tracks_, clip.tracks.items[t], subject, at("tracks", t), "track");
            }
            if (clip.objectIds) {
                for (std::size_t k = 0; k < clip.objectIds->size(); ++k) {
                    requireNode(clip.objectIds->items[k], subject, at("objectIds", k));
                }
            }
        }
    }

    void checkTracks() {
        const auto& items = itemsOf(root_.tracks);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Zeq2Track& track = items.items[i];
            // A file of tracks alone (an animation-only export) animates the nodes of another file.
            if (!nodes_.empty() && !nodeNames_.count(track.objectName)) {
                warning(subjectOf("tracks", i, track.id), "objectName",
                        "objectName " + jsonString(track.objectName) + " names no scene node");
            }
            // Keys out of order are reported once a track; a time that is no point in time each
            // time, and the order is checked on among the others.
            std::optional<std::size_t> previous;  // the last key with a finite time
            for (std::size_t k = 0; k < track.keyframes.size(); ++k) {
                const float time = track.keyframes.items[k].time;
                if (!std::isfinite(time)) {
                    const char* text = std::isnan(time) ? "NaN" : time > 0 ? "Infinity" : "-Infinity";
                    warning(subjectOf("tracks", i, track.id), at("keyframes", k) + ".time",
                            at("keyframes", k) + " has time " + text + ", no point in time");
                    continue;
                }
                if (previous && time < track.keyframes.items[*previous].time) {
                    warning(subjectOf("tracks", i, track.id), at("keyframes", k) + ".time",
                            at("keyframes", k) + " at " + shortest(time) + " s is earlier than " +
                                at("keyframes", *previous) + " at " +
                                shortest(track.keyframes.items[*previous].time) + " s");
                    break;
                }
                previous = k;
            }
        }
    }

    const SceneFile& file_;
    const Zeq2& root_;
    ValidationReport report_;
    ResourceIndex tracks_, boxes_, cubeMaps_, images_, indexBuffers_, maps_, materials_, vertexBuffers_;
    std::unordered_map<int64_t, NodeEntry> nodes_;
    std::vector<int64_t> nodeOrder_;  // node ids in list order, each once
    std::unordered_set<std::string> nodeNames_;
    std::unordered_map<const Zeq2IndexBuffer*, int32_t> largestIndex_;
    std::map<std::pair<const Zeq2IndexBuffer*, int32_t>, int64_t> firstBeyond_;
};

}  // namespace

std::string counted(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

ValidationReport validateScene(const SceneFile& file) { return Validator(file).run(); }

std::string formatFinding(const Finding& finding) {
    return std::string(finding.severity == Severity::Error ? "error: " : "warning: ") + finding.subject + ": " +
           finding.problem;
}

std::string formatCounts(const ValidationReport& report) {
    return counted(report.errors, "error", "errors") + ", " + counted(report.warnings, "warning", "warnings");
}

nlohmann::ordered_json reportToJson(const std::string& fileName, const ValidationReport& report) {
    nlohmann::ordered_json findings = nlohmann::ordered_json::array();
    for (const Finding& finding : report.findings) {
        findings.push_back({{"severity", finding.severity == Severity::Error ? "error" : "warning"},
                            {"record", finding.subject},
                            {"field", finding.field.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(finding.field)},
                            {"message", finding.problem}});
    }
    return {{"file", fileName}, {"errors", report.errors}, {"warnings", report.warnings}, {"findings", std::move(findings)}};
}

}  // namespace zeq::inspect

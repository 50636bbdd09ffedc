// Skins: the undeformed mesh under a modifier stack whose topmost modifier is the host's skin, with
// the joints as its bones, their bind matrices, and per vertex the bones and weights the file's
// JOINTS data hold.
//
// The exporter writes the vertices moved by the skin's initial matrix, which the file does not
// hold. The host takes the node's own matrix when a skin is applied; when moving the vertices back
// by the node's world matrix gives the bounds of the skin's box (which the exporter took before the
// move) up to the rounding of the move, that is the skin's matrix and the mesh gets its vertices
// back (each one from which the exporter writes the same position again), those that gave the box's
// bounds put back on them so that the next export takes the same box. Otherwise the skin's matrix
// is the identity and the vertices stay as written; exporting again writes the same positions
// either way. The exporter turns normals and tangents with the vertices; with the node's matrix
// they are turned back, to normals from which it writes the same ones again. A skin whose object a
// mesh node shows too (the exporter then writes one index buffer and one box for both) gets that
// mesh's object back under its skin when the data show it, so that the object is written once
// again. Each JOINTS entry holds two influences (bone index × 3, weight); an influence of bone 0
// with weight 0 is an empty slot.
#include "host/interface.h"
#include "host/object.h"
#include "host/scene_building.h"
#include "format/normals.h"
#include "host/mesh_normals.h"
#include "host/skin.h"
#include "import/scene_builder.h"
#include "import/scene_run.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <unordered_map>

namespace zeq {
namespace {

using Kind = Zeq2VertexAttributes;

// Floats in an order where neighbours differ by one (-0 and +0 are both 0).
int64_t orderedFloat(float f) {
    const int32_t bits = std::bit_cast<int32_t>(f);
    return bits < 0 ? int64_t(INT32_MIN) - bits : int64_t(bits);
}

// The distance of two floats in float steps.
int64_t floatSteps(float a, float b) { return std::abs(orderedFloat(a) - orderedFloat(b)); }

// The float `steps` float steps from value (up when positive); value itself where that would pass
// the finite floats.
float floatStepped(float value, int64_t steps) {
    if (steps == 0) return value;  // -0 stays -0
    const int64_t ordered = orderedFloat(value) + steps;
    if (ordered > INT32_MAX || ordered < -int64_t(INT32_MAX)) return value;
    const float stepped = std::bit_cast<float>(static_cast<int32_t>(ordered < 0 ? int64_t(INT32_MIN) - ordered : ordered));
    return std::isfinite(stepped) ? stepped : value;
}

// The bone matrix a bind transform stands for. The exporter writes the inverse of the bone's
// matrix; the inverse of the stored transform, rounded to floats, need not invert back to the
// same floats, and the next export would then write other bits. So the inverse is moved by float
// steps, one or two components at a time, while that brings its own inverse nearer the stored
// one: most such matrices have a neighbour that inverts back exactly. (A component near zero
// beside large ones may have none: a step of any input moves it by many of its own steps.) A
// singular transform keeps the zero matrix Inverse gives it. Each bind transform is sought once a
// file, and a file's searches share a budget of inversions, past which the plain inverse is taken.
Matrix3 boneMatrixOf(SceneRun& run, const Matrix3& bind) {
    std::array<uint32_t, 12> bits;
    std::memcpy(bits.data(), bind.m, sizeof bits);
    const auto [known, added] = run.boneMatrices.try_emplace(bits);
    if (!added) return known->second;
    Matrix3 bone = Inverse(bind);
    if (bone == Matrix3(false)) return known->second = bone;  // singular: nothing to seek
    auto stepsOff = [&](const Matrix3& candidate) {
        --run.boneInversions;
        const Matrix3 back = Inverse(candidate);
        int64_t steps = 0;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) steps += floatSteps(back.m[r][c], bind.m[r][c]);
        return steps;
    };
    int64_t best = stepsOff(bone);
    // Moves of one component by one or two steps, then of two components by a step each.
    auto tryMove = [&](int e, int se, int f, int sf) {
        Matrix3 candidate = bone;
        float& a = candidate.m[e / 3][e % 3];
        a = floatStepped(a, se);
        if (f >= 0) {
            float& b = candidate.m[f / 3][f % 3];
            b = floatStepped(b, sf);
        }
        const int64_t steps = stepsOff(candidate);
        if (steps >= best) return false;
        bone = candidate;
        best = steps;
        return true;
    };
    constexpr int kRounds = 32;
    for (int round = 0; round < kRounds && best != 0 && run.boneInversions > 0; ++round) {
        bool moved = false;
        for (int e = 0; e < 12 && !moved; ++e)
            for (int s : {1, -1, 2, -2})
                if (!moved) moved = tryMove(e, s, -1, 0);
        for (int e = 0; e < 12 && !moved; ++e)
            for (int f = e + 1; f < 12 && !moved; ++f)
                for (int se : {1, -1})
                    for (int sf : {1, -1})
                        if (!moved) moved = tryMove(e, se, f, sf);
        if (!moved) break;
    }
    known->second = bone;
    return bone;
}

// The skin modifier on a node made by makeSkinObject; null when the node has none.
Modifier* skinModifierOf(INode* node) {
    auto* stack = dynamic_cast<IDerivedObject*>(node->GetObjectRef());
    if (!stack || stack->NumModifiers() < 1) return nullptr;
    Modifier* modifier = stack->GetModifier(0);
    return modifier && modifier->ClassID() == SKIN_CLASSID ? modifier : nullptr;
}

// The skin's bones (its joints, each once, in the order the file first names them) and, per run of
// joints, the bone of each place in it. A vertex's JOINTS data name places in the run of a surface
// that uses the vertex: each surface has its own run (surfaceJointCounts gives their lengths), so
// that an engine can give every surface a palette of its own. A file whose runs do not add up to
// its joint ids has one run: its bind transforms' joints, or else the first run of joint ids.
struct SkinBones {
    std::vector<int64_t> jointIds;
    std::vector<std::vector<int>> runs;  // per surface (or the one run), bone indices
    std::string problem;                 // why the skin keeps no bones; empty when it can
    bool repeats = false;                // a run lists a joint twice
};

SkinBones bonesOf(const Zeq2Skin& skin) {
    SkinBones bones;
    // Found by hash: a file may list millions of joint ids.
    std::unordered_map<int64_t, int> boneByJoint;
    std::vector<std::size_t> lastRunOf;  // per bone, 1 + the last run listing it (0: none yet)
    auto boneOf = [&](int64_t jointId) {
        const auto [at, added] = boneByJoint.try_emplace(jointId, static_cast<int>(bones.jointIds.size()));
        if (added) {
            bones.jointIds.push_back(jointId);
            lastRunOf.push_back(0);
        }
        return at->second;
    };
    // One run of the given joint ids. A joint listed twice in it (as the exporter writes a skin
    // that lists a bone twice) takes a vertex's weights of both places: the engine adds them.
    auto addRun = [&](auto begin, auto end) {
        std::vector<int>& run = bones.runs.emplace_back();
        const std::size_t runNumber = bones.runs.size();
        for (auto it = begin; it != end; ++it) {
            const int bone = boneOf(*it);
            bones.repeats = bones.repeats || lastRunOf[static_cast<std::size_t>(bone)] == runNumber;
            lastRunOf[static_cast<std::size_t>(bone)] = runNumber;
            run.push_back(bone);
        }
    };
    std::size_t listed = 0;
    for (const uint16_t count : skin.surfaceJointCounts) listed += count;
    if (!skin.surfaceJointCounts.empty() && skin.surfaceJointCounts.size() == skin.surfaces.size() &&
        listed == skin.jointIds.size()) {
        auto next = skin.jointIds.items.begin();
        for (const uint16_t count : skin.surfaceJointCounts) {
            addRun(next, next + count);
            next += count;
        }
    } else if (!skin.jointBindTransforms.empty()) {
        std::vector<int64_t> ids;
        for (const Zeq2JointBindTransform& bind : skin.jointBindTransforms) ids.push_back(bind.jointId);
        addRun(ids.begin(), ids.end());
    } else if (!skin.surfaceJointCounts.empty()) {
        const std::size_t count = std::min<std::size_t>(skin.surfaceJointCounts.items[0], skin.jointIds.size());
        addRun(skin.jointIds.items.begin(), skin.jointIds.items.begin() + static_cast<std::ptrdiff_t>(count));
    }
    return bones;
}

// Per vertex of the skin, the run its JOINTS data read against: that of the first surface whose
// triangles use it (the first run for a vertex no surface uses; a single run serves every
// vertex). `differing` gets the vertices whose later surfaces have other runs, with such a surface.
std::vector<int> runOfVertices(SceneRun& run, const Zeq2Skin& skin, const SkinBones& bones, int32_t vertexCount,
                               std::vector<std::pair<int32_t, int>>& differing) {
    std::vector<int> runOf(static_cast<std::size_t>(std::max(vertexCount, 0)), -1);
    const MeshCacheEntry& entry = run.meshes.check(meshViewOf(skin));
    if (bones.runs.size() > 1 && entry.problem.empty() && entry.indices) {
        // Runs by the first run equal to them, so that equal runs (every surface listing every
        // bone, as the exporter writes them) are compared once.
        std::vector<std::size_t> same(bones.runs.size());
        std::map<std::vector<int>, std::size_t> firstOfRun;
        for (std::size_t s = 0; s < same.size(); ++s) same[s] = firstOfRun.try_emplace(bones.runs[s], s).first->second;
        const uint8_t* bytes = entry.indices->byteBuffer.data();
        for (std::size_t s = 0; s < skin.surfaces.size(); ++s) {
            const Zeq2Surface& surface = skin.surfaces.items[s];
            const int64_t first = std::max<int64_t>(surface.indexBegin / 3, 0);
            const int64_t end = std::min<int64_t>(first + std::max(surface.numTriangles, 0), entry.faceCount);
            for (int64_t i = first * 3; i < end * 3; ++i) {
                const uint32_t v = uint32_t(bytes[2 * i]) | (uint32_t(bytes[2 * i + 1]) << 8);
                if (v >= runOf.size()) continue;
                int& at = runOf[v];
                if (at < 0) at = static_cast<int>(s);
                else if (same[static_cast<std::size_t>(at)] != same[s]) differing.push_back({int32_t(v), int(s)});
            }
        }
    }
    for (int& at : runOf) at = std::max(at, 0);
    return runOf;
}

// Per vertex, the (bone index, weight) pairs of its JOINTS data without trailing empty slots; an
// empty string, or why the data cannot be read. A vertex's places are read against its run; one
// that a later surface's run reads as other bones keeps the first surface's, and `note` says so.
std::string readInfluences(SceneRun& run, const Zeq2Skin& skin, const SkinBones& bones,
                           std::vector<std::vector<std::pair<int, float>>>& influences, std::string& note) {
    VertexLayout layout;
    layout.minorVersion = run.minorVersion;
    for (int32_t id : skin.vertexBufferIds)
        if (const Zeq2VertexBuffer* buffer = run.geometry.vertexBuffer(id)) addVertexBuffer(layout, *buffer);
    const int32_t n = layout.vertexCount;
    const auto& slots = layout.of(Kind::JOINTS);
    influences.assign(static_cast<std::size_t>(std::max(n, 0)), {});
    for (const AttributeSlot& slot : slots) {
        if (slot.buffer->vertexCount < n || !slotFits(slot, vertexAttributeSize(Kind::JOINTS, run.minorVersion), n))
            return "its JOINTS data do not fit its vertex buffer";
    }
    std::vector<std::pair<int32_t, int>> differing;
    const std::vector<int> runOf = runOfVertices(run, skin, bones, n, differing);
    static const std::vector<int> kNoRun;
    std::vector<std::vector<int>> places(static_cast<std::size_t>(std::max(n, 0)));
    for (int32_t v = 0; v < n; ++v) {
        const std::vector<int>& bonesAt = bones.runs.empty() ? kNoRun : bones.runs[static_cast<std::size_t>(runOf[v])];
        auto& list = influences[static_cast<std::size_t>(v)];
        for (const AttributeSlot& slot : slots) {
            const AttributeReader reader(slot, run.minorVersion);
            for (int pair = 0; pair < 2; ++pair) {
                const float index = reader.component(v, 2 * pair) / 3.0f;
                const float weight = reader.component(v, 2 * pair + 1);
                const float place = std::round(index);
                if (!std::isfinite(index) || place < 0 || place >= static_cast<float>(bonesAt.size()) ||
                    std::fabs(index - place) > 1e-3f) {
                    if (index == 0.0f && weight == 0.0f) {
                        list.push_back({0, 0.0f});
                        places[static_cast<std::size_t>(v)].push_back(0);
                        continue;
                    }
                    return "vertex " + std::to_string(v) + " names a joint outside the " +
                           std::to_string(bonesAt.size()) + " joints of its surface";
                }
                list.push_back({bonesAt[static_cast<std::size_t>(place)], weight});
                places[static_cast<std::size_t>(v)].push_back(static_cast<int>(place));
            }
        }
        while (!list.empty() && list.back().second == 0.0f && places[static_cast<std::size_t>(v)].back() == 0) {
            list.pop_back();
            places[static_cast<std::size_t>(v)].pop_back();
        }
        // Two places of one bone: one influence of their summed weight.
        for (std::size_t i = 0; bones.repeats && i < list.size(); ++i) {
            for (std::size_t j = i + 1; j < list.size();) {
                if (list[j].first != list[i].first) {
                    ++j;
                    continue;
                }
                list[i].second += list[j].second;
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(j));
            }
        }
    }
    for (const auto& [v, surface] : differing) {
        const std::vector<int>& first = bones.runs[static_cast<std::size_t>(runOf[v])];
        const std::vector<int>& other = bones.runs[static_cast<std::size_t>(surface)];
        for (const int place : places[static_cast<std::size_t>(v)]) {
            if (static_cast<std::size_t>(place) >= other.size() || other[static_cast<std::size_t>(place)] !=
                                                                       first[static_cast<std::size_t>(place)]) {
                note = "vertex " + std::to_string(v) + " is used by surfaces " + std::to_string(runOf[v]) + " and " +
                       std::to_string(surface) + ", whose joints give it other bones; it keeps those of surface " +
                       std::to_string(runOf[v]);
                return {};
            }
        }
    }
    return {};
}

void buildSkin(SceneRun& run, PlannedNode& planned) {
    const Zeq2Skin& record = run.root.skins->items[planned.record];
    Modifier* modifier = skinModifierOf(planned.node);
    auto* data = modifier ? static_cast<ISkinImportData*>(modifier->GetInterface(I_SKINIMPORTDATA)) : nullptr;
    if (!data) return;  // reported when the object was made
    const std::string owner = run.describe(planned);

    // Every bone must be a joint of this file.
    const SkinBones bones = bonesOf(record);
    std::vector<INode*> boneNodes;
    std::string problem = bones.problem;
    for (std::size_t b = 0; b < bones.jointIds.size() && problem.empty(); ++b) {
        const std::string joint = "joint " + std::to_string(bones.jointIds[b]);
        const PlannedNode* node = run.byId(bones.jointIds[b]);
        if (!node) problem = joint + " names no node of the file";
        else if (node->kind != RecordKind::Joint) problem = joint + " names a " + recordKindName(node->kind);
        else boneNodes.push_back(node->node);
    }
    std::vector<std::vector<std::pair<int, float>>> influences;
    std::string note;
    if (problem.empty()) problem = readInfluences(run, record, bones, influences, note);
    if (!problem.empty()) {
        run.report.skip(owner + ": " + problem + "; the skin keeps no bones or weights");
        return;
    }
    if (!note.empty()) run.report.skip(owner + ": " + note);

    data->SetSkinBaseTm(planned.node, planned.skinBase, planned.skinBase);
    // The first bind transform of each joint.
    std::unordered_map<int64_t, const Zeq2JointBindTransform*> bindOf;
    for (const Zeq2JointBindTransform& bind : record.jointBindTransforms) bindOf.try_emplace(bind.jointId, &bind);
    for (std::size_t b = 0; b < boneNodes.size(); ++b) {
        data->AddBoneEx(boneNodes[b], b + 1 == boneNodes.size());
        // The bind transform is the inverse of the bone's matrix when the skin was applied; without
        // one the bone's matrix at the start is taken.
        const auto found = bindOf.find(bones.jointIds[b]);
        const Zeq2JointBindTransform* bind = found == bindOf.end() ? nullptr : found->second;
        const Matrix3 boneTm = bind ? boneMatrixOf(run, toMatrix3(bind->bindPoseTransform)) : boneNodes[b]->GetNodeTM(0);
        data->SetBoneTm(boneNodes[b], boneTm, boneTm);
    }
    for (std::size_t v = 0; v < influences.size(); ++v) {
        std::vector<INode*> nodes;
        std::vector<float> weights;
        for (const auto& [bone, weight] : influences[v]) {
            nodes.push_back(boneNodes[static_cast<std::size_t>(bone)]);
            weights.push_back(weight);
        }
        data->AddWeights(planned.node, static_cast<int>(v), nodes, weights);
    }
}

// Whether the vertices moved back by `skin` have the bounds of the skin's box record.
bool matchesBox(const SceneRun& run, const Zeq2Skin& record, const std::vector<Point3>& points, const Matrix3& skin) {
    const Zeq2Box* box = run.boxOf(record.boundBoxId);
    if (!box || points.empty()) return false;
    const Matrix3 back = Inverse(skin);
    Point3 low = back.PointTransform(points[0]), high = low;
    for (const Point3& point : points) {
        const Point3 p = back.PointTransform(point);
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    // Moving the vertices rounds them, in 16-bit files much more so, and moving them back by a
    // matrix that stretches (the inverse of one that shrinks) stretches the rounding too.
    float scale = 1.0f, stretch = 1.0f;
    for (const Point3& p : points) scale = std::max({scale, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    for (int c = 0; c < 3; ++c)
        stretch = std::max(stretch, std::fabs(back.m[0][c]) + std::fabs(back.m[1][c]) + std::fabs(back.m[2][c]));
    const float tolerance = (run.minorVersion == kMinorVersionHalf ? 4e-3f : 1e-5f) * scale * stretch;
    const float bounds[6] = {low.x, low.y, low.z, high.x, high.y, high.z};
    for (int i = 0; i < 6; ++i) {
        const float expected = box->box.items[static_cast<std::size_t>(i)];
        if (!(std::fabs(bounds[i] - expected) <= tolerance)) return false;
    }
    return true;
}

// The triangle index ranges of surfaces, without their materials.
std::vector<std::pair<int32_t, int32_t>> rangesOf(const TArray<Zeq2Surface>& surfaces) {
    std::vector<std::pair<int32_t, int32_t>> ranges;
    for (const Zeq2Surface& surface : surfaces) ranges.push_back({surface.indexBegin, surface.numTriangles});
    return ranges;
}

// Whether exporting `point` writes `written`: the same float, or in 16-bit files the same 16-bit
// value once cut.
bool writes(const SceneRun& run, const Point3& point, const Point3& written) {
    if (run.minorVersion == kMinorVersionHalf)
        return cutsToHalf(point.x, written.x) && cutsToHalf(point.y, written.y) && cutsToHalf(point.z, written.z);
    return std::bit_cast<uint32_t>(point.x) == std::bit_cast<uint32_t>(written.x) &&
           std::bit_cast<uint32_t>(point.y) == std::bit_cast<uint32_t>(written.y) &&
           std::bit_cast<uint32_t>(point.z) == std::bit_cast<uint32_t>(written.z);
}

using SkinTurn = DirectionTurn<Matrix3, Point3>;

// The first point within `reach` float steps a component of `around` that `fits`, stepping the
// components whose bits are set in `axes` (1 x, 2 y, 4 z) only.
template <class Fits>
std::optional<Point3> withinSteps(const Point3& around, int reach, Fits&& fits, unsigned axes = 7) {
    auto reachOf = [&](int axis) { return axes >> axis & 1 ? reach : 0; };
    for (int dx = -reachOf(0); dx <= reachOf(0); ++dx)
        for (int dy = -reachOf(1); dy <= reachOf(1); ++dy)
            for (int dz = -reachOf(2); dz <= reachOf(2); ++dz) {
                const Point3 candidate(floatStepped(around.x, dx), floatStepped(around.y, dy), floatStepped(around.z, dz));
                if (fits(candidate)) return candidate;
            }
    return std::nullopt;
}

// The host vertex for a skin's stored position, which the exporter moved by the skin's matrix:
// one from which the exporter writes the stored position again, sought like the normals below
// (moving back rounds, the more so where the matrix shears or scales); the moved-back point when
// none is found.
Point3 unmovedPoint(const SceneRun& run, const Matrix3& move, const Matrix3& back, const Point3& stored) {
    auto writesStored = [&](const Point3& candidate) { return writes(run, move.PointTransform(candidate), stored); };
    const Point3 aim = run.minorVersion == kMinorVersionHalf
                           ? Point3(middleOfHalfStep(stored.x), middleOfHalfStep(stored.y), middleOfHalfStep(stored.z))
                           : stored;
    const Point3 moved = back.PointTransform(aim);
    Point3 p = moved;
    for (int i = 0; i < 4 && !writesStored(p); ++i) p = p - back.VectorTransform(move.PointTransform(p) - aim);
    if (writesStored(p)) return p;
    return withinSteps(p, 2, writesStored).value_or(moved);
}

// A skin's host vertex p moved onto the bounds of the skin's box (min x, y, z, then max) where the
// exporter writes the stored position from it still: the exporter took the box from the vertices,
// so those that gave the bounds give them again. First every value close to a bound goes onto it
// at once (a corner, edge or face of the box), the other values a few float steps off where need
// be; then each bound alone.
Point3 ontoBounds(const SceneRun& run, const Matrix3& move, const Point3& stored, Point3 p,
                  const std::vector<float>& box) {
    auto writesStored = [&](const Point3& candidate) { return writes(run, move.PointTransform(candidate), stored); };
    auto distance = [](float value, float bound) { return std::fabs(value - bound); };
    auto near = [&](float value, float bound) { return distance(value, bound) <= 1e-4f * (1.0f + std::fabs(bound)); };
    Point3 onBounds = p;
    unsigned free = 7;  // the axes whose value is close to no bound
    for (int axis = 0; axis < 3; ++axis) {
        for (const float bound : {box[axis], box[axis + 3]}) {
            const bool nearer = free >> axis & 1 || distance(p[axis], bound) < distance(p[axis], onBounds[axis]);
            if (!near(p[axis], bound) || !nearer) continue;
            onBounds[axis] = bound;
            free &= ~(1u << axis);
        }
    }
    if (free != 7)
        if (const auto found = withinSteps(onBounds, 4, writesStored, free)) p = *found;
    for (int axis = 0; axis < 3; ++axis) {
        for (const float bound : {box[axis], box[axis + 3]}) {
            if (p[axis] == bound) continue;
            Point3 onBound = p;
            onBound[axis] = bound;
            auto fits = [&](const Point3& candidate) { return candidate[axis] == bound && writesStored(candidate); };
            if (writesStored(onBound)) p = onBound;
            else if (near(p[axis], bound))
                if (const auto found = withinSteps(onBound, 2, fits)) p = *found;
        }
    }
    return p;
}

// The positions of a skin's geometry as the file holds them (none when it holds none).
std::vector<Point3> positionsOf(SceneRun& run, const Zeq2Mesh& view) {
    const VertexLayout& layout = run.meshes.check(view).layout;
    std::vector<Point3> points;
    if (layout.of(Kind::POSITION).empty()) return points;
    const AttributeReader positions(layout.of(Kind::POSITION).front(), run.minorVersion);
    points.reserve(static_cast<size_t>(std::max(0, layout.vertexCount)));
    for (int32_t v = 0; v < layout.vertexCount; ++v) points.push_back(positions.point3(v));
    return points;
}

// The node's matrix moved so that the written vertices moved back by it lie on the skin's box:
// the skin's matrix of a node moved after its skin was applied (the exporter moves the vertices by
// the skin's matrix, not by the node's). The move measured from the box is rounded: where it fits
// the box, its translation is sought, stepped a component or two at a time, until the vertices
// that gave the box's bounds go back on them and every vertex writes its stored position again,
// so that the next export gives the same box and positions. Null when there is no box or no
// position to go by, when the node's matrix cannot be undone, when the move does not fit the box,
// or when no translation is found that keeps every position. The search stops where the file's
// budget of trials comes down to `budgetLeft`.
std::optional<Matrix3> movedOntoBox(SceneRun& run, const Zeq2Skin& record, const std::vector<Point3>& points,
                                    const Matrix3& world, int64_t budgetLeft) {
    const Zeq2Box* box = run.boxOf(record.boundBoxId);
    const Matrix3 back = Inverse(world);
    if (!box || points.empty() || back == Matrix3(false)) return std::nullopt;
    // The vertices at the least and the greatest value of each axis, moved back (in double: far
    // from the origin, float would leave the measure many steps of the translation off).
    auto movedBack = [&](const Point3& w) {
        const double d[3] = {double(w.x) - world.m[3][0], double(w.y) - world.m[3][1], double(w.z) - world.m[3][2]};
        std::array<double, 3> p{};
        for (int c = 0; c < 3; ++c) p[c] = d[0] * back.m[0][c] + d[1] * back.m[1][c] + d[2] * back.m[2][c];
        return p;
    };
    size_t extreme[6] = {};
    std::array<double, 3> low = movedBack(points[0]), high = low;
    for (size_t v = 1; v < points.size(); ++v) {
        const std::array<double, 3> p = movedBack(points[v]);
        for (int axis = 0; axis < 3; ++axis) {
            if (p[axis] < low[axis]) low[axis] = p[axis], extreme[axis] = v;
            if (p[axis] > high[axis]) high[axis] = p[axis], extreme[axis + 3] = v;
        }
    }
    // In the node's frame the vertices stand `shift` off the box: the skin's matrix is the node's
    // moved by that much.
    double shift[3];
    for (int c = 0; c < 3; ++c) shift[c] = low[c] - double(box->box.items[static_cast<size_t>(c)]);
    Matrix3 moved = world;
    for (int c = 0; c < 3; ++c)
        moved.m[3][c] = static_cast<float>(double(world.m[3][c]) + shift[0] * world.m[0][c] + shift[1] * world.m[1][c] +
                                           shift[2] * world.m[2][c]);
    if (!matchesBox(run, record, points, moved)) return std::nullopt;
    // The vertices the search goes by: those that gave the six bounds, then any found not to
    // come back. How well a translation does: for each bound whether its vertex goes back on it,
    // and for each vertex which components of its stored position it writes again (a component
    // of the translation moves one component of the written positions).
    std::vector<size_t> watched(extreme, extreme + 6);
    auto score = [&](const Matrix3& move) {
        run.skinMoveTrials -= static_cast<int64_t>(watched.size());
        const Matrix3 undo = Inverse(move);
        int kept = 0;
        for (size_t i = 0; i < watched.size(); ++i) {
            const Point3& stored = points[watched[i]];
            const Point3 p = ontoBounds(run, move, stored, unmovedPoint(run, move, undo, stored), box->box.items);
            const Point3 again = move.PointTransform(p);
            if (i < 6) kept += p[static_cast<int>(i % 3)] == box->box.items[i];
            for (int c = 0; c < 3; ++c) {
                Point3 component = stored;
                component[c] = again[c];
                kept += writes(run, component, stored);
            }
        }
        return kept;
    };
    // Translations to try around the best so far: each component alone stepped up to 16 float
    // steps of its own (a quarter of a 16-bit step each in 16-bit files) or set to 0; steps along
    // each axis of the node's matrix, of an eighth of a float step of the vertices' size, up to 8
    // such float steps (a move along an axis shifts the vertices' own coordinate on it alone, so
    // one pair of bounds at a time); and two components together up to 8 steps each.
    const bool half = run.minorVersion == kMinorVersionHalf;
    const int64_t unit = half ? int64_t(1) << 11 : 1;
    float size = 0.0f;
    for (const Point3& p : points) size = std::max({size, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    if (!std::isfinite(size)) return std::nullopt;
    const float vertexStep = (std::nextafter(size, HUGE_VALF) - size) * static_cast<float>(unit);
    auto translationsAround = [&](const Point3& t) {
        std::vector<Point3> out;
        for (int a = 0; a < 3; ++a) {
            Point3 zero = t;
            zero[a] = 0.0f;
            out.push_back(zero);
            const Point3 axis = Normalize(world.GetRow(a));
            for (int k = -16; k <= 16; ++k) {
                if (k == 0) continue;
                Point3 own = t;
                own[a] = floatStepped(t[a], k * unit);
                out.push_back(own);
            }
            for (int k = -64; k <= 64; ++k)
                if (k != 0) out.push_back(t + axis * (static_cast<float>(k) * vertexStep / 8));
            for (int b = a + 1; b < 3; ++b)
                for (int da = -8; da <= 8; ++da)
                    for (int db = -8; db <= 8; ++db) {
                        Point3 both = t;
                        both[a] = floatStepped(t[a], da * unit);
                        both[b] = floatStepped(t[b], db * unit);
                        out.push_back(both);
                    }
        }
        return out;
    };
    // The translation is taken only when every vertex writes its stored position again: else the
    // vertices stay as written, exact, and only the box is lost. A vertex that does not is watched
    // too, and the search goes on (a few times).
    auto spent = [&] { return run.skinMoveTrials <= std::max<int64_t>(0, budgetLeft); };
    for (int round = 0; round < 8 && !spent(); ++round) {
        const int all = 6 + 3 * static_cast<int>(watched.size());
        int best = score(moved);
        for (int pass = 0; pass < 4 && best < all && !spent(); ++pass) {
            const Matrix3 from = moved;
            for (const Point3& t : translationsAround(from.GetTrans())) {
                if (spent() || best == all) break;
                Matrix3 candidate = from;
                candidate.SetTrans(t);
                if (const int kept = score(candidate); kept > best) {
                    best = kept;
                    moved = candidate;
                }
            }
            if (moved == from) break;
        }
        if (best < all) return std::nullopt;
        const Matrix3 undo = Inverse(moved);
        run.skinMoveTrials -= static_cast<int64_t>(points.size());
        size_t failing = points.size();
        for (size_t v = 0; v < points.size() && failing == points.size(); ++v) {
            const Point3& stored = points[v];
            const Point3 p = ontoBounds(run, moved, stored, unmovedPoint(run, moved, undo, stored), box->box.items);
            if (!writes(run, moved.PointTransform(p), stored)) failing = v;
        }
        if (failing == points.size()) return moved;
        watched.push_back(failing);
    }
    return std::nullopt;
}

// The normal to give the host for a skin's stored normal, which the exporter turned by the skin's
// matrix: one from which the exporter writes the stored normal again (the same float, or in 16-bit
// files the same 16-bit value), sought within two float steps a component of the stored normal
// turned back; that turned-back normal when none is found.
Point3 unturnedNormal(const SceneRun& run, const SkinTurn& turn, const Point3& stored) {
    const bool half = run.minorVersion == kMinorVersionHalf;
    auto writesStored = [&](const Point3& candidate) {
        return writes(run, turn.normal(settledNormal(candidate)), stored);
    };
    // In 16-bit files the aim is a unit normal that cuts to the stored one (the middle of its step
    // is not of unit length, and no normal the exporter writes reaches it).
    const Point3 aim = half ? settledNormal(halfNormalFor(stored)) : stored;
    Point3 back = turn.unmovedNormal(aim);
    if (writesStored(back)) return back;
    // A zero's sign decides the sign of the zeros the turn makes of it: -0 and 0 are tried.
    for (int signs = 1; signs < 8; ++signs) {
        Point3 flipped = back;
        bool zeros = true;
        for (int k = 0; k < 3; ++k) {
            if (!(signs >> k & 1)) continue;
            zeros = zeros && flipped[k] == 0.0f;
            flipped[k] = -flipped[k];
        }
        if (zeros && writesStored(flipped)) return flipped;
    }
    // Turning back rounds: the difference the turn leaves is turned back and taken off, a few times.
    for (int i = 0; i < 4; ++i) {
        const Point3 miss = turn.normal(settledNormal(back)) - aim;
        // (Turning back a normal divides its length by the matrix's scale; the step is scaled likewise.)
        const Point3 correction = turn.unmovedDirection(miss) / Length(turn.unmovedDirection(aim));
        const Point3 next = back - correction;
        if (writesStored(next)) return next;
        back = next;
    }
    return withinSteps(back, 2, writesStored).value_or(back);
}

// In a 16-bit file the mesh's normals and the skin's, turned by the skin's matrix, were both cut
// from one normal. The mesh's explicit normals are chosen so that the exporter writes both again:
// where the normal found for the mesh alone does not give the skin's, one is sought on a grid over
// the 16-bit step of the mesh's normal (kept as it is when none is found).
void chooseTurnedHalfNormals(SceneRun& run, const Zeq2VertexBuffer& plain, const Zeq2VertexBuffer& skinned,
                             const std::vector<Kind>& attributes, const SkinTurn& turn, Mesh& shared) {
    MeshNormalSpec* normals = shared.GetSpecifiedNormals();
    int32_t at = 0;
    for (Kind kind : attributes) {
        if (kind == Kind::NORMAL) break;
        at += vertexAttributeSize(kind, run.minorVersion);
    }
    if (!normals || std::find(attributes.begin(), attributes.end(), Kind::NORMAL) == attributes.end()) return;
    const AttributeReader meshNormals({&plain, at}, run.minorVersion), skinNormals({&skinned, at}, run.minorVersion);
    for (int32_t v = 0; v < plain.vertexCount && v < normals->GetNumNormals(); ++v) {
        const Point3 meshStored = meshNormals.point3(v), skinStored = skinNormals.point3(v);
        auto writesBoth = [&](const Point3& candidate) {
            const Point3 a = settledNormal(candidate), b = turn.normal(a);
            return writes(run, a, meshStored) && writes(run, b, skinStored);
        };
        if (writesBoth(normals->Normal(v))) continue;
        // A component's step: from its value to the next 16-bit value away from zero.
        auto low = [](float value) { return value; };
        auto width = [](float value) {
            return value == 0.0f ? std::ldexp(1.0f, -24) : 2.0f * (middleOfHalfStep(value) - value);
        };
        constexpr int kGrid = 8;
        bool found = false;
        for (int i = 0; i < kGrid && !found; ++i)
            for (int j = 0; j < kGrid && !found; ++j)
                for (int k = 0; k < kGrid && !found; ++k) {
                    const Point3 candidate(low(meshStored.x) + width(meshStored.x) * (i + 0.5f) / kGrid,
                                           low(meshStored.y) + width(meshStored.y) * (j + 0.5f) / kGrid,
                                           low(meshStored.z) + width(meshStored.z) * (k + 0.5f) / kGrid);
                    if (writesBoth(candidate)) {
                        normals->Normal(v) = candidate;
                        found = true;
                    }
                }
    }
}

// The exporter writes one host object shown by a mesh node and a skinned node once: one index
// buffer and one box for both, the mesh's vertex buffer as converted, and the skin's a copy with
// the positions moved by the skin's matrix and the joint data appended. When a skin and a mesh
// record share index buffer and box like that (and surface ranges, where both nodes have
// multi-materials), and the skin's vertex data is the mesh's with the positions moved by `skin`
// (the node's matrix or the identity), the skinned node gets the mesh's object back under its
// skin, so that exporting again writes the geometry once.
// Returns the mesh's triangle object, its vertices set to points from which the exporter writes
// both the mesh's and the skin's positions again (16-bit files may need points inside the step
// of the mesh's values), and sets `from` to the mesh record it was built from; null, with nothing
// changed, when the data do not match.
TriObject* sharedTriObject(SceneRun& run, const Zeq2Skin& skin, const Matrix3& skinTm, const Zeq2Mesh*& from) {
    if (!skin.boundBoxId || skin.vertexBufferIds.size() != 1) return nullptr;
    const auto sharing = run.meshesByIndexBuffer.find(skin.indexBufferId);
    if (sharing == run.meshesByIndexBuffer.end()) return nullptr;
    const Zeq2Mesh* mesh = nullptr;
    for (std::size_t node : sharing->second) {
        const Zeq2Mesh& candidate = run.root.meshes->items[run.planned[node].record];
        // Nodes of one material take the object as it is; two multi-materials must split its
        // faces alike, as the faces hold one set of material ids.
        const bool oneMaterial = candidate.surfaces.size() <= 1 || skin.surfaces.size() <= 1;
        if (candidate.boundBoxId == skin.boundBoxId && candidate.vertexBufferIds.size() == 1 &&
            (oneMaterial || rangesOf(candidate.surfaces) == rangesOf(skin.surfaces))) {
            mesh = &candidate;
            break;
        }
    }
    if (!mesh) return nullptr;
    const Zeq2VertexBuffer* plain = run.geometry.vertexBuffer(mesh->vertexBufferIds.items[0]);
    const Zeq2VertexBuffer* skinned = run.geometry.vertexBuffer(skin.vertexBufferIds.items[0]);
    if (!plain || !skinned || plain == skinned || plain->vertexCount != skinned->vertexCount) return nullptr;

    // The skin's attributes are the mesh's, one position among them, then joint data alone.
    const auto& attributes = plain->attributes.items;
    const auto& skinAttributes = skinned->attributes.items;
    if (skinAttributes.size() < attributes.size() || !std::equal(attributes.begin(), attributes.end(), skinAttributes.begin()) ||
        std::count(attributes.begin(), attributes.end(), Kind::POSITION) != 1 ||
        !std::all_of(skinAttributes.begin() + static_cast<std::ptrdiff_t>(attributes.size()), skinAttributes.end(),
                     [](Kind kind) { return kind == Kind::JOINTS; }))
        return nullptr;
    const int32_t n = plain->vertexCount;
    int32_t size = 0, positionAt = 0;
    for (Kind kind : attributes) {
        if (kind == Kind::POSITION) positionAt = size;
        size += vertexAttributeSize(kind, run.minorVersion);
    }
    const AttributeSlot plainSlot{plain, 0}, skinSlot{skinned, 0};
    if (!slotFits(plainSlot, size, n) || !slotFits(skinSlot, size, n)) return nullptr;
    const int32_t plainStride = bufferStride(*plain), skinStride = bufferStride(*skinned);
    // Normals and tangents the skin's matrix turns are compared as the exporter turns them (16-bit
    // data within a step or two of the cut, as the mesh's values were cut before the turn); all
    // other attributes but the positions are the same bytes.
    const SkinTurn turn(skinTm);
    const bool turns = turn.turns(), mirrors = turn.mirrors();
    const bool half = run.minorVersion == kMinorVersionHalf;
    auto same = [&](float expected, float stored) {
        if (half) return std::fabs(expected - stored) <= 4e-3f;
        return std::bit_cast<uint32_t>(expected) == std::bit_cast<uint32_t>(stored);
    };
    for (int32_t v = 0; v < n; ++v) {
        const uint8_t* a = plain->byteBuffer.data() + std::ptrdiff_t(v) * plainStride;
        const uint8_t* b = skinned->byteBuffer.data() + std::ptrdiff_t(v) * skinStride;
        int32_t at = 0;
        for (std::size_t k = 0; k < attributes.size(); ++k) {
            const Kind kind = attributes[k];
            const int32_t bytes = vertexAttributeSize(kind, run.minorVersion);
            if (kind == Kind::POSITION) {
            } else if (turns && (kind == Kind::NORMAL || kind == Kind::TANGENT4)) {
                const AttributeReader from({plain, at}, run.minorVersion), to({skinned, at}, run.minorVersion);
                const Point3 moved =
                    kind == Kind::NORMAL ? turn.normal(from.point3(v)) : turn.tangent(from.point3(v));
                const Point3 stored = to.point3(v);
                if (!same(moved.x, stored.x) || !same(moved.y, stored.y) || !same(moved.z, stored.z)) return nullptr;
                const float handedness = from.component(v, 3);
                if (kind == Kind::TANGENT4 && !same(mirrors ? -handedness : handedness, to.component(v, 3)))
                    return nullptr;
            } else if (std::memcmp(a + at, b + at, static_cast<std::size_t>(bytes)) != 0) {
                return nullptr;
            }
            at += bytes;
        }
    }

    TriObject* tri = run.meshes.buildTriObject(*mesh);
    if (!tri || tri->GetMesh().getNumVerts() != n) return nullptr;
    Mesh& shared = tri->GetMesh();
    // A second skin of the object finds the vertices the first one chose and must do with them.
    const bool chosen = !run.skinShared.insert(tri).second;
    const AttributeReader plainPositions({plain, positionAt}, run.minorVersion);
    const AttributeReader skinPositions({skinned, positionAt}, run.minorVersion);
    const Matrix3 back = Inverse(skinTm);
    std::vector<Point3> points(static_cast<std::size_t>(n));
    for (int32_t v = 0; v < n; ++v) {
        const Point3 p = plainPositions.point3(v), q = skinPositions.point3(v);
        const Point3 middle(middleOfHalfStep(p.x), middleOfHalfStep(p.y), middleOfHalfStep(p.z));
        const Point3 fromSkin = back.PointTransform({middleOfHalfStep(q.x), middleOfHalfStep(q.y), middleOfHalfStep(q.z)});
        const Point3 current = shared.verts[static_cast<std::size_t>(v)];
        bool found = false;
        for (const Point3& candidate : {current, middle, fromSkin}) {
            if (writes(run, candidate, p) && writes(run, skinTm.PointTransform(candidate), q)) {
                points[static_cast<std::size_t>(v)] = candidate;
                found = true;
                break;
            }
            if (chosen || run.minorVersion != kMinorVersionHalf) break;
        }
        if (!found) {
            if (!chosen) run.skinShared.erase(tri);
            return nullptr;
        }
    }
    for (int32_t v = 0; v < n; ++v) shared.verts[static_cast<std::size_t>(v)] = points[static_cast<std::size_t>(v)];
    if (half && turns && !chosen) chooseTurnedHalfNormals(run, *plain, *skinned, attributes, turn, shared);
    from = mesh;
    return tri;
}

// The skin's node object: the skin modifier over `tri`, built from `geometry`, which gets the
// skin's surfaces.
Object* skinStack(SceneRun& run, PlannedNode& planned, TriObject* tri, const Zeq2Mesh& geometry) {
    applySkinSurfaces(run, planned, tri, geometry);
    IDerivedObject* stack = CreateDerivedObject(tri);
    Interface* ip = GetCOREInterface();
    auto* skin = ip ? static_cast<Modifier*>(ip->CreateInstance(OSM_CLASS_ID, SKIN_CLASSID)) : nullptr;
    if (!stack || !skin) {
        run.report.skip(run.describe(planned) + ": the host made no skin modifier; imported as a mesh");
        return tri;
    }
    stack->AddModifier(skin, 0);
    return stack;
}

}  // namespace

Object* makeSkinObject(SceneRun& run, PlannedNode& planned) {
    const Zeq2Skin& record = run.root.skins->items[planned.record];
    const Zeq2Mesh view = meshViewOf(record);
    auto shareWith = [&](const Matrix3& skinTm) -> Object* {
        const Zeq2Mesh* mesh = nullptr;
        TriObject* shared = sharedTriObject(run, record, skinTm, mesh);
        if (!shared) return nullptr;
        planned.skinBase = skinTm;
        return skinStack(run, planned, shared, *mesh);
    };
    // The skin's matrix is the node's or none when moving the vertices back by it gives the box;
    // else the node's, or none, moved onto the box (a node moved, or turned, after its skin was
    // applied). None fitting, the vertices stay as written.
    const Matrix3 world = run.hierarchy.world(static_cast<std::size_t>(&planned - run.planned.data()));
    if (Object* shared = shareWith(world)) return shared;
    if (Object* shared = shareWith(Matrix3())) return shared;
    const std::vector<Point3> written = positionsOf(run, view);
    const Matrix3* skinTm = nullptr;
    std::optional<Matrix3> moved;
    if (matchesBox(run, record, written, world)) {
        skinTm = &world;
    } else if (!matchesBox(run, record, written, Matrix3())) {
        // Moved after its skin was applied; or turned or scaled too, where the skin was applied
        // with a matrix that only moved it (a model built upright, skinned where it stood).
        // A skin may spend a twentieth of the file's budget: skins that no translation fits leave
        // some to those after them.
        const int64_t budgetLeft = run.skinMoveTrials - kSkinMoveTrials / 20;
        moved = movedOntoBox(run, record, written, world, budgetLeft);
        Matrix3 unturned = world;
        unturned.SetTrans(Point3(0, 0, 0));
        if (!moved && !(unturned == Matrix3())) moved = movedOntoBox(run, record, written, Matrix3(), budgetLeft);
        if (moved) {
            if (Object* shared = shareWith(*moved)) return shared;
            skinTm = &*moved;
        }
    }
    TriObject* tri = run.meshes.buildTriObject(view);
    // Geometry that another mesh or skin shows too is left as written.
    if (run.geometryUses[meshKey(view)] != 1) skinTm = nullptr;
    if (skinTm) {
        Mesh& mesh = tri->GetMesh();
        const Matrix3 back = Inverse(*skinTm);
        const auto& bounds = run.boxOf(record.boundBoxId)->box.items;
        for (int v = 0; v < mesh.getNumVerts(); ++v) {
            const Point3 point = mesh.verts[v];
            mesh.verts[v] = ontoBounds(run, *skinTm, point, unmovedPoint(run, *skinTm, back, point), bounds);
        }
        // The exporter turned the normals with the vertices: they are turned back.
        const VertexLayout& layout = run.meshes.check(view).layout;
        MeshNormalSpec* normals = mesh.GetSpecifiedNormals();
        const SkinTurn turn(*skinTm);
        if (normals && turn.turns() && !layout.of(Kind::NORMAL).empty()) {
            const AttributeReader stored(layout.of(Kind::NORMAL).front(), run.minorVersion);
            for (int i = 0; i < normals->GetNumNormals() && i < layout.vertexCount; ++i)
                normals->Normal(i) = unturnedNormal(run, turn, stored.point3(i));
        }
        planned.skinBase = *skinTm;
    }
    return skinStack(run, planned, tri, view);
}

void buildSkins(SceneRun& run) {
    for (PlannedNode& planned : run.planned)
        if (planned.kind == RecordKind::Skin) buildSkin(run, planned);
}

}  // namespace zeq

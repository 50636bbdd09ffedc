// Skinned meshes: joint lists, bind transforms and per-vertex joint influences.
#include "export/skin.h"

#include "codec/null_map.h"
#include "export/geometry.h"
#include "export/id_registry.h"
#include "export/surfaces.h"
#include "export/transformation.h"
#include "format/normals.h"
#include "host/node.h"
#include "host/object.h"
#include "host/skin.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <unordered_set>

namespace zeq {

namespace {

// Bytes of one influence: the bone index x 3 and the weight, two 32-bit floats.
constexpr int32_t kInfluenceBytes = 8;
// Bytes of one JOINTS attribute (two influences).
constexpr int32_t kJointsAttributeBytes = 16;

void writeFloat(uint8_t* out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));  // little-endian
}

float readFloat(const uint8_t* in) {
    const uint32_t bits = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The vertex buffer this skin writes its joint data into. The first user of an object's geometry
// that is a skin takes the cached buffer over; any later skin (and a skin meeting a buffer that a
// mesh record uses) gets a copy of the undeformed data under a new id, so that joint data is
// never appended twice to one buffer and no mesh shows skinned data. Index buffer and box stay
// shared.
Zeq2VertexBuffer& claimVertexBuffer(GeometryConverter& converter, ConvertedGeometry& geometry,
                                    TArray<int32_t>& vertexBufferIds) {
    BufferLists& lists = converter.lists();
    if (!geometry.usedByMesh && !geometry.rewrittenBySkin) {
        geometry.unskinnedVertexBuffer = converter.vertexBuffer(geometry);
        geometry.rewrittenBySkin = true;
        vertexBufferIds = geometry.vertexBufferIds;
        return converter.vertexBuffer(geometry);
    }
    Zeq2VertexBuffer copy = geometry.rewrittenBySkin && geometry.unskinnedVertexBuffer
                                ? *geometry.unskinnedVertexBuffer
                                : converter.vertexBuffer(geometry);
    copy.id = lists.nextVertexBufferId++;
    vertexBufferIds = TArray<int32_t>{copy.id};
    lists.vertexBuffers.add(std::move(copy));
    return lists.vertexBuffers.items.back();
}

// Appends the joint influences to every vertex and moves positions into the skin's bind space.
void writeJointData(Zeq2VertexBuffer& buffer, const std::vector<int32_t>& hostVertexOf, ISkinContextData* context,
                    const Matrix3& skinMatrix) {
    const std::size_t vertexCount = buffer.vertexCount;

    // Influence width: the largest assignment count among the vertices' host vertices, at most 8.
    int width = 0;
    if (context != nullptr)
        for (std::size_t v = 0; v < vertexCount && v < hostVertexOf.size(); ++v)
            width = std::max(width, context->GetNumAssignedBones(hostVertexOf[v]));
    width = std::min(width, kMaxInfluences);
    const int32_t jointBytes = kInfluenceBytes * width + (width % 2 != 0 ? kInfluenceBytes : 0);

    const TArray<Zeq2VertexAttributes> oldAttributes = buffer.attributes;
    const int32_t oldStride = vertexStride(oldAttributes, kMinorVersionFloat32);
    const int32_t newStride = oldStride + jointBytes;
    for (int32_t i = 0; i < jointBytes / kJointsAttributeBytes; ++i) buffer.attributes.add(Zeq2VertexAttributes::JOINTS);

    ByteBuffer data;
    uint8_t* out = data.extend(static_cast<int32_t>(vertexCount * std::size_t(newStride)));
    std::memset(out, 0, vertexCount * std::size_t(newStride));
    const uint8_t* in = buffer.byteBuffer.data();
    const std::size_t available = static_cast<std::size_t>(buffer.byteBuffer.length());
    const DirectionTurn<Matrix3, Point3> turn(skinMatrix);
    const bool turns = turn.turns(), mirrors = turn.mirrors();

    for (std::size_t v = 0; v < vertexCount; ++v) {
        uint8_t* slot = out + v * newStride;
        const std::size_t from = v * oldStride;
        if (from + oldStride <= available) {
            std::memcpy(slot, in + from, static_cast<std::size_t>(oldStride));
            // Positions go through the skin matrix, and normals and tangents turn with them (a
            // matrix that only moves leaves them as they are); coordinates are kept.
            int32_t offset = 0;
            for (Zeq2VertexAttributes kind : oldAttributes) {
                uint8_t* at = slot + offset;
                offset += vertexAttributeSize(kind, kMinorVersionFloat32);
                const bool direction =
                    turns && (kind == Zeq2VertexAttributes::NORMAL || kind == Zeq2VertexAttributes::TANGENT4);
                if (kind != Zeq2VertexAttributes::POSITION && !direction) continue;
                const Point3 v(readFloat(at), readFloat(at + 4), readFloat(at + 8));
                Point3 q;
                if (kind == Zeq2VertexAttributes::POSITION) q = skinMatrix.PointTransform(v);
                else if (kind == Zeq2VertexAttributes::NORMAL) q = turn.normal(v);
                else {
                    q = turn.tangent(v);
                    // A mirroring matrix turns the binormal the other way round.
                    if (mirrors) writeFloat(at + 12, -readFloat(at + 12));
                }
                writeFloat(at, q.x);
                writeFloat(at + 4, q.y);
                writeFloat(at + 8, q.z);
            }
        }
        if (context == nullptr || v >= hostVertexOf.size()) continue;
        const int host = hostVertexOf[v];
        const int assigned = std::min(context->GetNumAssignedBones(host), width);
        for (int i = 0; i < assigned; ++i) {
            uint8_t* influence = slot + oldStride + i * kInfluenceBytes;
            writeFloat(influence, static_cast<float>(context->GetAssignedBone(host, i)) * 3.0f);
            writeFloat(influence + 4, context->GetBoneWeight(host, i));
        }
    }
    buffer.byteBuffer = std::move(data);
}

}  // namespace

ISkin* findSkin(INode* node) {
    if (node == nullptr) return nullptr;
    Object* object = node->GetObjectRef();
    if (object == nullptr || !IsDerivedObjectSuperClass(object->SuperClassID())) return nullptr;
    auto* wrapper = dynamic_cast<IDerivedObject*>(object);
    if (wrapper == nullptr || wrapper->NumModifiers() < 1) return nullptr;
    Modifier* top = wrapper->GetModifier(0);
    if (top == nullptr || top->ClassID() != SKIN_CLASSID) return nullptr;
    auto* skin = static_cast<ISkin*>(top->GetInterface(I_SKIN));
    if (skin == nullptr || skin->GetNumBones() < 1) return nullptr;
    return skin;
}

bool fillSkinRecord(GeometryConverter& converter, SurfaceBuilder& surfaces, INode* node, Zeq2Skin& skin) {
    ISkin* hostSkin = findSkin(node);
    if (hostSkin == nullptr) return false;
    // A bone whose node was deleted leaves an empty place in the skin's list. The vertices' weights
    // still name it by its place, and no joint can stand for it: the file would name a joint it
    // does not hold, and a loader would drop the skin's bones.
    for (int b = 0; b < hostSkin->GetNumBones(); ++b) {
        if (hostSkin->GetBone(b) != nullptr) continue;
        const char* name = node->GetName();
        throw std::runtime_error(std::string("The skin of \"") + (name ? name : "") + "\" has lost bone " +
                                 std::to_string(b + 1) + " (its node was deleted); remove the bone from the skin");
    }
    ConvertedGeometry* geometry = converter.geometryFor(node);
    if (geometry == nullptr) return false;

    TArray<int32_t> vertexBufferIds;
    Zeq2VertexBuffer& buffer = claimVertexBuffer(converter, *geometry, vertexBufferIds);
    skin.boundBoxId = geometry->boxId;
    skin.indexBufferId = geometry->indexBufferId;
    skin.vertexBufferIds = vertexBufferIds;
    skin.surfaces = surfaces.build(node, *geometry);

    Matrix3 skinMatrix;
    hostSkin->GetSkinInitTM(node, skinMatrix, true);

    // Every surface lists every bone in bone order; each bone gets one inverse bind matrix. A
    // surface counts its bones in 16 bits, and the list of all surfaces' joints holds at most
    // kMaxLength ids: a skin beyond either is refused rather than written with wrong counts.
    const int boneCount = hostSkin->GetNumBones();
    const char* skinName = node->GetName() ? node->GetName() : "";
    if (boneCount > 0xFFFF || static_cast<uint64_t>(boneCount) * skin.surfaces.size() > kMaxLength)
        throw std::length_error(std::string("The skin of \"") + skinName + "\" has " + std::to_string(boneCount) +
                                " bones on " + std::to_string(skin.surfaces.size()) +
                                " surfaces, more than a skin record can list (65535 a surface, " +
                                std::to_string(kMaxLength) + " in all)");
    std::unordered_set<int64_t> bound;
    for (std::size_t s = 0; s < skin.surfaces.size(); ++s) {
        for (int b = 0; b < boneCount; ++b) {
            INode* bone = hostSkin->GetBone(b);
            const int64_t jointId = IdRegistry::instance().idFor(bone);
            skin.jointIds.add(jointId);
            if (!bound.insert(jointId).second) continue;
            Matrix3 bindMatrix;
            hostSkin->GetBoneInitTM(bone, bindMatrix, false);
            bindMatrix.Invert();
            skin.jointBindTransforms.add(
                Zeq2JointBindTransform{TransformationFactory::createTransformation(bindMatrix), jointId});
        }
        skin.surfaceJointCounts.add(static_cast<uint16_t>(boneCount));
    }

    writeJointData(buffer, geometry->hostVertexOf, hostSkin->GetContextInterface(node), skinMatrix);
    checkVertexBufferSize(buffer, node, "skin");
    return true;
}

}  // namespace zeq

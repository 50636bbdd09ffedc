// Geometry of host nodes: which triangle object a node shows, the per-export geometry cache,
// bounding boxes and the mesh record.
#include "export/geometry.h"

#include "codec/null_map.h"
#include "export/options.h"
#include "export/surfaces.h"
#include "host/node.h"
#include "host/object.h"

namespace zeq {

VertexBufferException::VertexBufferException(std::size_t count, std::string meshName)
    : std::runtime_error("Too many vertices in the mesh "), count_(count), meshName_(std::move(meshName)) {}

IndexBufferException::IndexBufferException(std::size_t triangles, std::string meshName)
    : std::runtime_error("Too many faces in the mesh "), triangles_(triangles), meshName_(std::move(meshName)) {}

// ---- BoxFactory ----

BoxFactory& BoxFactory::instance() {
    static BoxFactory factory;
    return factory;
}

int32_t BoxFactory::createBox(const Box3& bounds) {
    Zeq2Box box;
    box.id = counter_++;
    box.box = TArray<float>{bounds.pmin.x, bounds.pmin.y, bounds.pmin.z, bounds.pmax.x, bounds.pmax.y, bounds.pmax.z};
    boxes_.add(std::move(box));
    return boxes_.items.back().id;
}

TArray<Zeq2Box> BoxFactory::takeBoxes() {
    TArray<Zeq2Box> out = std::move(boxes_);
    boxes_ = {};
    counter_ = 0;
    return out;
}

// ---- Vertex-buffer size ----

void checkVertexBufferSize(const Zeq2VertexBuffer& buffer, INode* node, const char* kind) {
    const bool half = exportOptions().vertexBuffers16Bit;
    const auto length = static_cast<std::size_t>(buffer.byteBuffer.length());
    const std::size_t stored = half ? length / 4 * 2 : length;
    if (stored <= kMaxLength) return;
    const char* name = node != nullptr ? node->GetName() : nullptr;
    std::string text = std::string("The vertex buffer of the ") + kind + " \"" + (name ? name : "") + "\" holds " +
                       std::to_string(stored) + " bytes, more than the " + std::to_string(kMaxLength) +
                       " a file allows; turning off \"Tangents/binormals\" or \"Normals\", ";
    if (!half) text += "turning on \"16bit vertex buffers\", ";
    text += "or splitting the mesh makes it smaller";
    throw std::length_error(text);
}

// ---- Triangle-object resolution ----

namespace {

constexpr uint32_t kTriObjectPartA = 9;
// Conversions follow wrappers down a chain that the host keeps finite; the bound only protects
// against a scene whose wrappers refer to each other.
constexpr int kMaxResolveSteps = 256;

bool isWrapper(Object* object) { return IsDerivedObjectSuperClass(object->SuperClassID()); }

IDerivedObject* asWrapper(Object* object) {
    return isWrapper(object) ? dynamic_cast<IDerivedObject*>(object) : nullptr;
}

// A triangle object used as it is: a geometric object of the triangle-mesh class or the editable
// mesh class (which is one).
TriObject* usableTriObject(Object* object) {
    if (object->SuperClassID() != GEOMOBJECT_CLASS_ID) return nullptr;
    const uint32_t partA = object->ClassID().PartA();
    if (partA != kTriObjectPartA && partA != EDITTRIOBJ_CLASS_PART_A) return nullptr;
    return dynamic_cast<TriObject*>(object);
}

// The editable polygon class and the polygon class hand their references from index 2 on to the
// triangle object made from them, which gives up its reference 1.
void handOverReferences(Object* source, Object* converted) {
    const Class_ID id = source->ClassID();
    if (id != EPOLYOBJ_CLASS_ID && id.PartA() != POLYOBJ_CLASS_ID.PartA()) return;
    const int count = source->NumRefs();
    if (count <= 2) return;
    converted->ReplaceReference(1, nullptr);
    for (int i = 2; i < count; ++i) converted->ReplaceReference(i, source->GetReference(i));
}

// The result of converting `object` to a triangle object; deletes what is not returned.
ResolvedTriObject convertedTriObject(Object* object, Object* converted) {
    if (converted == nullptr) return {};
    if (TriObject* tri = dynamic_cast<TriObject*>(converted); tri && converted->ClassID() == TRIOBJ_CLASS_ID)
        return {tri, converted != object};
    if (converted != object) converted->DeleteThis();
    return {};
}

}  // namespace

ResolvedTriObject resolveTriObject(Object* object, int32_t exportTime) {
    if (object == nullptr) return {};
    if (IDerivedObject* wrapper = asWrapper(object))
        object = wrapper->NumModifiers() == 0 ? wrapper->GetObjRef() : object->Eval(0).obj;

    for (int step = 0; object != nullptr && step < kMaxResolveSteps; ++step) {
        if (TriObject* tri = usableTriObject(object)) return {tri, false};

        if (object->CanConvertToType(TRIOBJ_CLASS_ID)) {
            Object* converted = object->ConvertToType(exportTime, TRIOBJ_CLASS_ID);
            if (converted != nullptr && converted != object) handOverReferences(object, converted);
            if (ResolvedTriObject result = convertedTriObject(object, converted); result.tri) return result;
        } else if (object->CanConvertToType(POLYOBJ_CLASS_ID)) {
            Object* poly = object->ConvertToType(exportTime, POLYOBJ_CLASS_ID);
            if (poly != nullptr) {
                Object* converted = poly->ConvertToType(exportTime, TRIOBJ_CLASS_ID);
                ResolvedTriObject result = convertedTriObject(poly, converted);
                // The intermediate polygon object is deleted unless it is a scene object.
                if (poly != object && poly != converted) poly->DeleteThis();
                if (result.tri) {
                    result.created = result.tri != object;
                    return result;
                }
            }
        }

        IDerivedObject* wrapper = asWrapper(object);
        if (wrapper == nullptr) return {};
        object = wrapper->GetObjRef();
    }
    return {};
}

Object* geometrySourceObject(INode* node) {
    if (node == nullptr) return nullptr;
    Object* object = node->GetObjectRef();
    if (object == nullptr) return nullptr;
    // A stack topped by the skin modifier: take the object it wraps, so that the skin and every
    // modifier below it are skipped and the mesh is exported undeformed.
    if (IDerivedObject* wrapper = asWrapper(object); wrapper && wrapper->NumModifiers() > 0) {
        Modifier* top = wrapper->GetModifier(0);
        if (top != nullptr && top->ClassID() == SKIN_CLASSID) return wrapper->GetObjRef();
    }
    return object;
}

// ---- GeometryConverter ----

GeometryConverter::GeometryConverter(BufferLists& lists) : lists_(lists) {}

ConvertedGeometry* GeometryConverter::geometryFor(INode* node) {
    Object* source = geometrySourceObject(node);
    if (source == nullptr) return nullptr;
    if (auto found = cache_.find(source); found != cache_.end()) return found->second.get();

    const ExportOptions& options = exportOptions();
    ResolvedTriObject resolved = resolveTriObject(source, options.exportTime);
    std::unique_ptr<ConvertedGeometry> geometry;
    if (resolved.tri != nullptr) {
        struct DeleteCreated {
            ResolvedTriObject& resolved;
            ~DeleteCreated() {
                if (resolved.created) resolved.tri->DeleteThis();
            }
        } cleanup{resolved};
        Mesh& mesh = resolved.tri->GetMesh();
        try {
            geometry = std::make_unique<ConvertedGeometry>(convertMesh(mesh, lists_, options));
        } catch (const VertexBufferException& e) {
            const char* name = node->GetName();
            throw VertexBufferException(e.count(), name ? name : "");
        } catch (const IndexBufferException& e) {
            const char* name = node->GetName();
            throw IndexBufferException(e.triangles(), name ? name : "");
        } catch (const MeshFaceError& e) {
            const char* name = node->GetName();
            throw std::runtime_error(std::string("The mesh \"") + (name ? name : "") + "\" has a face naming a vertex it does not have");
        }
        checkVertexBufferSize(lists_.vertexBuffers.items.at(geometry->vertexBufferIndex), node, "mesh");
        mesh.buildBoundingBox();
        geometry->boxId = BoxFactory::instance().createBox(mesh.getBoundingBox());
    }
    // Objects without geometry are remembered too, so that their conversion is tried once.
    ConvertedGeometry* result = geometry.get();
    cache_.emplace(source, std::move(geometry));
    return result;
}

// ---- Mesh record ----

bool fillMeshRecord(GeometryConverter& converter, SurfaceBuilder& surfaces, INode* node, Zeq2Mesh& mesh) {
    ConvertedGeometry* geometry = converter.geometryFor(node);
    if (geometry == nullptr) return false;
    if (geometry->rewrittenBySkin && geometry->unskinnedVertexBuffer) {
        // A skin took the shared buffer over before this mesh met the object: the mesh gets the
        // undeformed data back in a buffer of its own, which later users share.
        BufferLists& lists = converter.lists();
        Zeq2VertexBuffer restored = *geometry->unskinnedVertexBuffer;
        restored.id = lists.nextVertexBufferId++;
        geometry->vertexBufferIndex = lists.vertexBuffers.size();
        geometry->vertexBufferIds = TArray<int32_t>{restored.id};
        lists.vertexBuffers.add(std::move(restored));
        geometry->rewrittenBySkin = false;
    }
    geometry->usedByMesh = true;
    mesh.indexBufferId = geometry->indexBufferId;
    mesh.vertexBufferIds = geometry->vertexBufferIds;
    mesh.surfaces = surfaces.build(node, *geometry);
    mesh.boundBoxId = geometry->boxId;
    return true;
}

}  // namespace zeq

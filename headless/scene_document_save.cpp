// Headless scene -> scene document. The writer reads the scene through the host interfaces where it
// can (so that plug-in objects, lights and materials are written too) and through the headless
// classes for what only they hold (animation keys, skin weights, bitmap sizes).
//
// Entries are keyed by ids: a node's id is its name, unless another node has that name or the name
// is empty (then "<name>#<n>"); objects take the id of the first node that shows them, materials and
// maps their names (a bitmap without a name its file name). Values equal to what a new item of the
// same kind holds are left out, so that documents stay short.
#include "headless/host.h"
#include "headless/scene_document.h"
#include "headless/scene_document_model.h"

#include <cmath>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

namespace headless::document {

using nlohmann::json;

namespace {

json matrixJson(const Matrix3& m) {
    json array = json::array();
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col) array.push_back(floatJson(m.m[row][col]));
    return array;
}

json pointJson(const Point3& p) { return json::array({floatJson(p.x), floatJson(p.y), floatJson(p.z)}); }

json classIdJson(const Class_ID& id) { return json::array({hexId(id.PartA()), hexId(id.PartB())}); }

json superClassJson(SClass_ID id) {
    const std::string name = superClassName(id);
    return name.empty() ? json(hexId(id)) : json(name);
}

bool isIdentity(const Matrix3& m) { return m == Matrix3(); }

std::string hexBytes(const void* data, size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

// One value per face: omitted when every face holds the default, a single number when every face
// holds the same value, else one number per face.
template <typename Get>
void writePerFace(json& out, const char* key, const Mesh& mesh, int64_t defaultValue, Get get) {
    if (mesh.faces.empty()) return;
    const int64_t first = get(mesh.faces[0]);
    bool same = true;
    for (const Face& face : mesh.faces) same = same && get(face) == first;
    if (same) {
        if (first != defaultValue) out[key] = first;
        return;
    }
    json list = json::array();
    for (const Face& face : mesh.faces) list.push_back(get(face));
    out[key] = std::move(list);
}

// Unique ids within one table.
class IdSet {
public:
    bool take(const std::string& id) { return !id.empty() && used_.insert(id).second; }
    // wanted when free; else wanted#2, wanted#3 ... (fallback#1, #2 ... for an empty wish).
    std::string claim(const std::string& wanted, const std::string& fallback) {
        if (take(wanted)) return wanted;
        const std::string base = wanted.empty() ? fallback : wanted;
        for (int n = wanted.empty() ? 1 : 2;; ++n) {
            std::string id = base + "#" + std::to_string(n);
            if (take(id)) return id;
        }
    }

private:
    std::unordered_set<std::string> used_;
};

// A table of the document: entries in the order they were met, each with its id.
struct Table {
    IdSet ids;
    std::unordered_map<const void*, std::string> idOf;
    json entries = json::array();
};

class Writer {
public:
    explicit Writer(Host& host) : host_(host), scene_(host.scene()) {}
    json write();

private:
    void collectNodes(INode* node);
    json nodeJson(INode* node);
    json appDataJson(Animatable& item);
    json meshJson(const Mesh& mesh);
    json blockJson(IParamBlock2& block);
    std::optional<json> paramValueJson(IParamBlock2& block, ParamID id, ParamType2 base, int tab);

    std::string objectId(Object* object, const std::string& wanted);
    std::string materialId(Mtl* mtl);
    std::string mapId(Texmap* map);
    json nodeRef(INode* node) const;
    json objectJson(Object* object, const std::string& id);
    json lightJson(GenLight& light);
    json stackJson(IDerivedObject& stack, const std::string& id);
    json materialJson(Mtl* mtl);
    json mapJson(Texmap* map);

    Host& host_;
    Scene& scene_;
    std::vector<INode*> nodes_;
    std::unordered_map<INode*, std::string> nodeIds_;
    Table objects_, materials_, maps_;
};

void Writer::collectNodes(INode* node) {
    for (int i = 0; i < node->NumberOfChildren(); ++i) {
        INode* child = node->GetChildNode(i);
        if (!child) continue;
        nodes_.push_back(child);
        collectNodes(child);
    }
}

json Writer::write() {
    collectNodes(scene_.root());
    // Node ids: every name's first holder keeps the name; later holders and unnamed nodes get
    // numbered ids that no name already uses.
    IdSet ids;
    for (INode* node : nodes_)
        if (ids.take(node->GetName())) nodeIds_[node] = node->GetName();
    for (INode* node : nodes_)
        if (!nodeIds_.count(node)) nodeIds_[node] = ids.claim(node->GetName(), "node");

    json doc;
    doc["format"] = kFormatName;
    doc["version"] = kFormatVersion;
    doc["ticksPerFrame"] = host_.GetTicksPerFrame();
    const Interval range = host_.GetAnimRange();
    doc["animationRange"] = json::array({range.Start(), range.End()});
    doc["ambient"] = pointJson(host_.GetAmbient(0));
    doc["renderSize"] = json::array({host_.GetRendWidth(), host_.GetRendHeight()});
    doc["time"] = host_.GetTime();

    json layers = json::array();
    std::unordered_set<std::string> layerNames;
    for (Layer* layer : scene_.layers()) {
        if (!layerNames.insert(layer->GetName()).second) continue;
        json entry{{"name", layer->GetName()}};
        if (layer->IsHidden()) entry["hidden"] = true;
        layers.push_back(std::move(entry));
    }

    json nodes = json::array();
    for (INode* node : nodes_) {
        nodes.push_back(nodeJson(node));
        // A layer the scene does not list (made elsewhere) is listed with the nodes on it.
        if (ILayer* layer = node->GetLayer(); layer && layerNames.insert(layer->GetName()).second) {
            json entry{{"name", layer->GetName()}};
            if (layer->IsHidden()) entry["hidden"] = true;
            layers.push_back(std::move(entry));
        }
    }

    json selection = json::array();
    for (int i = 0; i < host_.GetSelNodeCount(); ++i) {
        auto found = nodeIds_.find(host_.GetSelNode(i));
        if (found != nodeIds_.end()) selection.push_back(found->second);
    }

    doc["layers"] = std::move(layers);
    doc["maps"] = std::move(maps_.entries);
    doc["materials"] = std::move(materials_.entries);
    doc["objects"] = std::move(objects_.entries);
    doc["nodes"] = std::move(nodes);
    doc["selection"] = std::move(selection);
    return doc;
}

json Writer::nodeRef(INode* node) const {
    auto found = node ? nodeIds_.find(node) : nodeIds_.end();
    return found == nodeIds_.end() ? json(nullptr) : json(found->second);
}

json Writer::appDataJson(Animatable& item) {
    json chunks = json::array();
    for (int i = 0; i < item.NumAppDataChunks(); ++i) {
        const AppDataChunk* chunk = item.GetAppDataChunkByIndex(i);
        if (!chunk) continue;
        chunks.push_back({{"classId", classIdJson(chunk->classID)},
                          {"superClassId", hexId(chunk->superClassID)},
                          {"subId", chunk->subID},
                          {"data", hexBytes(chunk->data, chunk->data ? chunk->length : 0)}});
    }
    return chunks;
}

// ---- Nodes ----

json Writer::nodeJson(INode* inode) {
    json out;
    const std::string& id = nodeIds_[inode];
    out["name"] = inode->GetName();
    if (id != inode->GetName()) out["id"] = id;
    INode* parent = inode->GetParentNode();
    if (parent && !parent->IsRootNode()) out["parent"] = nodeRef(parent);
    if (Object* object = inode->GetObjectRef()) out["object"] = objectId(object, id);
    if (Mtl* mtl = inode->GetMtl()) out["material"] = materialId(mtl);
    if (ILayer* layer = inode->GetLayer(); layer && layer != scene_.defaultLayer()) out["layer"] = layer->GetName();

    auto* node = dynamic_cast<Node*>(inode);
    if (node && node->track().IsAnimated()) {
        json keys = json::array();
        for (const TransformKey& key : node->track().Keys())
            keys.push_back({{"tick", key.time}, {"transform", matrixJson(key.tm)}});
        out["keys"] = std::move(keys);
    } else {
        const Matrix3 local = node ? node->localTM(0) : inode->GetNodeTM(0) * Inverse(inode->GetParentTM(0));
        if (!isIdentity(local)) out["transform"] = matrixJson(local);
    }
    if (const Matrix3 offset = inode->GetObjectOffsetTM(); !isIdentity(offset)) out["objectOffset"] = matrixJson(offset);
    if (inode->IsHidden()) out["hidden"] = true;
    if (inode->IsFrozen()) out["frozen"] = true;
    if (inode->IsGroupHead()) out["groupHead"] = true;
    if (inode->IsGroupMember()) out["groupMember"] = true;
    if (const float v = inode->GetVisibility(0); v != 1.0f) out["visibility"] = floatJson(v);
    if (!inode->GetInheritVisibility()) out["inheritVisibility"] = false;
    if (Control* control = inode->GetTMController(); control && control->ClassID() != PRS_CONTROL_CLASS_ID)
        out["controller"] = classIdJson(control->ClassID());
    if (node && !node->userProperties().empty()) {
        json props = json::object();
        for (const auto& [key, value] : node->userProperties()) props[key] = value;
        out["userProperties"] = std::move(props);
    }
    if (json chunks = appDataJson(*inode); !chunks.empty()) out["appData"] = std::move(chunks);
    return out;
}

// ---- Objects ----

std::string Writer::objectId(Object* object, const std::string& wanted) {
    if (auto found = objects_.idOf.find(object); found != objects_.idOf.end()) return found->second;
    const std::string id = objects_.ids.claim(wanted, "object");
    objects_.idOf[object] = id;
    // Hold the entry's place before writing it: writing may meet further objects.
    const size_t slot = objects_.entries.size();
    objects_.entries.push_back(nullptr);
    json entry = objectJson(object, id);
    objects_.entries[slot] = std::move(entry);
    return id;
}

json Writer::objectJson(Object* object, const std::string& id) {
    json out;
    out["id"] = id;
    if (auto* stack = dynamic_cast<IDerivedObject*>(object); stack && IsDerivedObjectSuperClass(object->SuperClassID())) {
        out.update(stackJson(*stack, id));
    } else if (auto* tri = dynamic_cast<TriObject*>(object)) {
        out["kind"] = "mesh";
        out["mesh"] = meshJson(tri->mesh);
    } else if (auto* poly = dynamic_cast<PolyMeshObject*>(object)) {
        out["kind"] = "poly";
        if (poly->ClassID() != POLYOBJ_CLASS_ID) out["classId"] = classIdJson(poly->ClassID());
        out["mesh"] = meshJson(poly->mesh);
    } else if (auto* light = dynamic_cast<GenLight*>(object)) {
        out.update(lightJson(*light));
    } else if (auto* camera = dynamic_cast<CameraObject*>(object)) {
        Camera fresh(0.0f, SIMPLE_CAMERA_CLASS_ID);
        out["kind"] = "camera";
        if (camera->ClassID() != SIMPLE_CAMERA_CLASS_ID) out["classId"] = classIdJson(camera->ClassID());
        out["fov"] = floatJson(camera->GetFOV(0));
        if (camera->GetNearClip(0) != fresh.GetNearClip(0)) out["near"] = floatJson(camera->GetNearClip(0));
        if (camera->GetFarClip(0) != fresh.GetFarClip(0)) out["far"] = floatJson(camera->GetFarClip(0));
    } else {
        out["kind"] = "object";
        out["superClass"] = superClassJson(object->SuperClassID());
        out["classId"] = classIdJson(object->ClassID());
        if (const char* name = object->GetObjectName(); name && *name) out["name"] = name;
        if (auto* generic = dynamic_cast<GenericObject*>(object)) {
            const Mesh& mesh = generic->mesh();
            if (generic->meshConversion() != MeshConversion::None || !mesh.verts.empty() || !mesh.faces.empty()) {
                out["mesh"] = meshJson(mesh);
                if (generic->meshConversion() == MeshConversion::PolygonOnly) out["conversion"] = "polygon";
                if (generic->meshConversion() == MeshConversion::None) out["conversion"] = "none";
            }
        }
        if (auto* source = dynamic_cast<IObjectSource*>(object->GetInterface(OBJECT_SOURCE_INTERFACE_ID))) {
            if (Object* sourceObject = source->GetSourceObject(0)) out["source"] = objectId(sourceObject, id + " source");
        }
        json blocks = json::array();
        for (int i = 0; i < object->NumParamBlocks(); ++i)
            if (IParamBlock2* block = object->GetParamBlock(i)) blocks.push_back(blockJson(*block));
        if (!blocks.empty()) out["paramBlocks"] = std::move(blocks);
    }
    if (json chunks = appDataJson(*object); !chunks.empty()) out["appData"] = std::move(chunks);
    return out;
}

json Writer::lightJson(GenLight& light) {
    json out;
    out["kind"] = "light";
    out["type"] = lightTypeName(light.Type());
    out["color"] = pointJson(light.GetRGBColor(0));
    out["intensity"] = floatJson(light.GetIntensity(0));
    out["attenuation"] = {{"nearStart", floatJson(light.GetAtten(0, ATTEN1_START))},
                          {"nearEnd", floatJson(light.GetAtten(0, ATTEN1_END))},
                          {"farStart", floatJson(light.GetAtten(0, ATTEN_START))},
                          {"farEnd", floatJson(light.GetAtten(0, ATTEN_END))}};
    out["hotspot"] = floatJson(light.GetHotspot(0));
    out["falloff"] = floatJson(light.GetFallsize(0));
    Light fresh(light.Type());
    for (const LightSwitch& s : lightSwitches()) {
        const int value = (light.*s.get)();
        if (value == (fresh.*s.get)()) continue;
        out[s.key] = s.isBool ? json(value != 0) : json(value);
    }
    return out;
}

json Writer::stackJson(IDerivedObject& stack, const std::string& id) {
    json out;
    out["kind"] = "stack";
    if (stack.SuperClassID() != GEN_DERIVOB_CLASS_ID) out["superClass"] = stack.SuperClassID();
    if (Object* base = stack.GetObjRef()) out["base"] = objectId(base, id + " base");
    json modifiers = json::array();
    for (int i = 0; i < stack.NumModifiers(); ++i) {
        Modifier* modifier = stack.GetModifier(i);
        if (!modifier) continue;
        json entry;
        if (auto* skin = dynamic_cast<SkinModifier*>(modifier)) {
            entry["kind"] = "skin";
            json bones = json::array();
            for (const SkinModifier::Bone& bone : skin->bones())
                bones.push_back({{"node", nodeRef(bone.node)}, {"initialMatrix", matrixJson(bone.initTM)}});
            entry["bones"] = std::move(bones);
            if (!isIdentity(skin->skinInitTM())) entry["skinMatrix"] = matrixJson(skin->skinInitTM());
            json weights = json::array();
            for (const auto& vertex : skin->vertices()) {
                json assignments = json::array();
                for (const auto& a : vertex) assignments.push_back(json::array({a.bone, floatJson(a.weight)}));
                weights.push_back(std::move(assignments));
            }
            entry["weights"] = std::move(weights);
        } else {
            entry["kind"] = "modifier";
            entry["classId"] = classIdJson(modifier->ClassID());
            if (const char* name = modifier->GetObjectName(); name && *name) entry["name"] = name;
            if (!modifier->IsEnabled()) entry["enabled"] = false;
        }
        if (json chunks = appDataJson(*modifier); !chunks.empty()) entry["appData"] = std::move(chunks);
        modifiers.push_back(std::move(entry));
    }
    if (!modifiers.empty()) out["modifiers"] = std::move(modifiers);
    return out;
}

// ---- Meshes ----

json Writer::meshJson(const Mesh& mesh) {
    json out;
    json verts = json::array();
    for (const Point3& p : mesh.verts) verts.push_back(pointJson(p));
    out["vertices"] = std::move(verts);
    json faces = json::array();
    for (const Face& f : mesh.faces) faces.push_back(json::array({f.v[0], f.v[1], f.v[2]}));
    out["faces"] = std::move(faces);
    writePerFace(out, "materialIds", mesh, 0, [](const Face& f) { return int64_t(f.getMatID()); });
    writePerFace(out, "smoothingGroups", mesh, 0, [](const Face& f) { return int64_t(f.smGroup); });
    writePerFace(out, "edges", mesh, EDGE_ALL, [](const Face& f) { return int64_t(f.flags & EDGE_ALL); });
    json hidden = json::array();
    for (size_t i = 0; i < mesh.faces.size(); ++i)
        if (mesh.faces[i].Hidden()) hidden.push_back(i);
    if (!hidden.empty()) out["hiddenFaces"] = std::move(hidden);

    json channels = json::array();
    for (int c = 0; c < mesh.getNumMaps() && c < kMaxMapChannels; ++c) {
        const MeshMap& map = mesh.Map(c);
        if (map.flags == 0 && map.tv.empty() && map.tf.empty()) continue;
        json channel{{"channel", c}};
        json tv = json::array();
        for (const UVVert& uv : map.tv) {
            // Texture coordinates usually have no third component; write it only when it is set.
            if (uv.z == 0.0f && !std::signbit(uv.z)) tv.push_back(json::array({floatJson(uv.x), floatJson(uv.y)}));
            else tv.push_back(pointJson(uv));
        }
        channel["vertices"] = std::move(tv);
        json tf = json::array();
        for (const TVFace& f : map.tf) tf.push_back(json::array({f.t[0], f.t[1], f.t[2]}));
        channel["faces"] = std::move(tf);
        const uint32_t natural = map.tf.empty() ? 0 : MESHMAP_USED;
        if (map.flags != natural) channel["flags"] = map.flags;
        channels.push_back(std::move(channel));
    }
    if (!channels.empty()) out["channels"] = std::move(channels);

    if (const MeshNormalSpec* normalSpec = mesh.GetSpecifiedNormals()) {
        json normals;
        json values = json::array();
        int explicitCount = 0;
        json explicitIds = json::array();
        for (int i = 0; i < normalSpec->GetNumNormals(); ++i) {
            values.push_back(pointJson(normalSpec->Normal(i)));
            if (normalSpec->GetNormalExplicit(i)) {
                ++explicitCount;
                explicitIds.push_back(i);
            }
        }
        normals["values"] = std::move(values);
        json normalFaces = json::array();
        json specified = json::array();
        bool allSpecified = true;
        for (int i = 0; i < normalSpec->GetNumFaces(); ++i) {
            const MeshNormalFace& f = normalSpec->Face(i);
            normalFaces.push_back(json::array({f.GetNormalID(0), f.GetNormalID(1), f.GetNormalID(2)}));
            const int bits = (f.GetSpecified(0) ? 1 : 0) | (f.GetSpecified(1) ? 2 : 0) | (f.GetSpecified(2) ? 4 : 0);
            allSpecified = allSpecified && bits == 7;
            specified.push_back(bits);
        }
        normals["faces"] = std::move(normalFaces);
        if (explicitCount == 0 && normalSpec->GetNumNormals() > 0) normals["explicit"] = false;
        else if (explicitCount != normalSpec->GetNumNormals()) normals["explicit"] = std::move(explicitIds);
        if (!allSpecified) normals["specified"] = std::move(specified);
        if (normalSpec->GetFlags() != (MESH_NORMAL_NORMALS_BUILT | MESH_NORMAL_NORMALS_COMPUTED)) normals["flags"] = normalSpec->GetFlags();
        out["normals"] = std::move(normals);
    }
    return out;
}

// ---- Parameter blocks ----

std::optional<json> Writer::paramValueJson(IParamBlock2& block, ParamID id, ParamType2 base, int tab) {
    Interval valid = FOREVER;
    switch (base) {
    case TYPE_INT:
    case TYPE_BOOL: {
        int v = 0;
        if (!block.GetValue(id, 0, v, valid, tab)) return std::nullopt;
        return base == TYPE_BOOL ? json(v != 0) : json(v);
    }
    case TYPE_POINT3:
    case TYPE_RGBA: {
        Point3 v;
        if (!block.GetValue(id, 0, v, valid, tab)) return std::nullopt;
        return pointJson(v);
    }
    case TYPE_STRING:
    case TYPE_FILENAME: {
        const char* v = nullptr;
        if (!block.GetValue(id, 0, v, valid, tab)) return std::nullopt;
        return v ? json(v) : json(nullptr);
    }
    case TYPE_INODE: {
        INode* v = nullptr;
        if (!block.GetValue(id, 0, v, valid, tab)) return std::nullopt;
        return nodeRef(v);
    }
    case TYPE_MTL: {
        Mtl* v = nullptr;
        if (!block.GetValue(id, 0, v, valid, tab)) return std::nullopt;
        return v ? json(materialId(v)) : json(nullptr);
    }
    case TYPE_TEXMAP: {
        Texmap* v = nullptr;
        if (!block.GetValue(id, 0, v, valid, tab)) return std::nullopt;
        return v ? json(mapId(v)) : json(nullptr);
    }
    default: {
        float v = 0.0f;
        if (!block.GetValue(id, 0, v, valid, tab)) return std::nullopt;
        return floatJson(v);
    }
    }
}

json Writer::blockJson(IParamBlock2& block) {
    json out;
    out["id"] = block.ID();
    if (const char* name = block.GetLocalName(); name && *name) out["name"] = name;
    json params = json::array();
    for (int i = 0; i < block.NumParams(); ++i) {
        const ParamID id = block.IndextoID(i);
        const ParamType2 type = block.GetParameterType(id);
        const std::string typeName = paramTypeName(type);
        if (typeName.empty()) continue;  // a kind of value documents cannot hold
        json param{{"id", id}};
        if (const char* name = block.GetParamName(id); name && *name) param["name"] = name;
        param["type"] = typeName;
        const ParamType2 base = ParamBaseType(type);
        if (IsParamTable(type)) {
            json values = json::array();
            for (int tab = 0; tab < block.Count(id); ++tab) values.push_back(paramValueJson(block, id, base, tab).value_or(nullptr));
            param["value"] = std::move(values);
        } else if (auto value = paramValueJson(block, id, base, 0)) {
            param["value"] = std::move(*value);
        }
        params.push_back(std::move(param));
    }
    out["params"] = std::move(params);
    return out;
}

// ---- Materials and maps ----

std::string Writer::materialId(Mtl* mtl) {
    if (auto found = materials_.idOf.find(mtl); found != materials_.idOf.end()) return found->second;
    const std::string id = materials_.ids.claim(mtl->GetName() ? mtl->GetName() : "", "material");
    materials_.idOf[mtl] = id;
    const size_t slot = materials_.entries.size();
    materials_.entries.push_back(nullptr);
    json entry = materialJson(mtl);
    entry["id"] = id;
    if (const char* name = mtl->GetName(); id != (name ? name : "")) entry["name"] = name ? name : "";
    materials_.entries[slot] = std::move(entry);
    return id;
}

std::string Writer::mapId(Texmap* map) {
    if (auto found = maps_.idOf.find(map); found != maps_.idOf.end()) return found->second;
    std::string wanted = map->GetName() ? map->GetName() : "";
    if (auto* bitmap = dynamic_cast<BitmapTex*>(map); wanted.empty() && bitmap && bitmap->GetMapName())
        wanted = std::filesystem::path(bitmap->GetMapName()).filename().string();
    const std::string id = maps_.ids.claim(wanted, "map");
    maps_.idOf[map] = id;
    const size_t slot = maps_.entries.size();
    maps_.entries.push_back(nullptr);
    json entry = mapJson(map);
    entry["id"] = id;
    if (const char* name = map->GetName(); id != (name ? name : "")) entry["name"] = name ? name : "";
    maps_.entries[slot] = std::move(entry);
    return id;
}

json Writer::materialJson(Mtl* mtl) {
    json out;
    if (auto* standard = dynamic_cast<StdMat*>(mtl); standard && mtl->ClassID() == DMTL_CLASS_ID) {
        out["kind"] = "standard";
        out["ambient"] = pointJson(standard->GetAmbient(0));
        out["diffuse"] = pointJson(standard->GetDiffuse(0));
        out["specular"] = pointJson(standard->GetSpecular(0));
        out["glossiness"] = floatJson(standard->GetShininess(0));
        out["specularLevel"] = floatJson(standard->GetShinStr(0));
        out["opacity"] = floatJson(standard->GetOpacity(0));
        out["selfIllumination"] = floatJson(standard->GetSelfIllum(0));
        if (standard->GetTwoSided()) out["twoSided"] = true;
        StandardMaterial fresh(scene_, "");
        json maps = json::object(), amounts = json::object(), enabled = json::object();
        for (int slot = 0; slot < STD_NUM_TEXMAPS; ++slot) {
            Texmap* map = standard->GetSubTexmap(slot);
            if (map) maps[mapSlotName(slot)] = mapId(map);
            const float amount = standard->GetTexmapAmt(slot, 0);
            if (amount != fresh.GetTexmapAmt(slot, 0)) amounts[mapSlotName(slot)] = floatJson(amount);
            if (standard->MapEnabled(slot) != (map != nullptr)) enabled[mapSlotName(slot)] = standard->MapEnabled(slot);
        }
        if (!maps.empty()) out["maps"] = std::move(maps);
        if (!amounts.empty()) out["mapAmounts"] = std::move(amounts);
        if (!enabled.empty()) out["mapEnabled"] = std::move(enabled);
    } else if (auto* multi = dynamic_cast<MultiMtl*>(mtl); multi && mtl->ClassID() == MULTI_CLASS_ID) {
        out["kind"] = "multi";
        json subs = json::array();
        int highest = -1;
        for (int i = 0; i < multi->NumSubMtls(); ++i) {
            Mtl* sub = multi->GetSubMtl(i);
            const std::string slotName = multi->GetSubMtlSlotName(i);
            if (!sub && slotName.empty()) continue;
            json entry{{"id", i}, {"material", sub ? json(materialId(sub)) : json(nullptr)}};
            if (!slotName.empty()) entry["name"] = slotName;
            subs.push_back(std::move(entry));
            highest = i;
        }
        if (multi->NumSubMtls() != highest + 1) out["count"] = multi->NumSubMtls();
        out["subMaterials"] = std::move(subs);
    } else {
        out["kind"] = "other";
        out["classId"] = classIdJson(mtl->ClassID());
        if (mtl->NumSubMtls() > 0) {
            json subs = json::array();
            for (int i = 0; i < mtl->NumSubMtls(); ++i) {
                Mtl* sub = mtl->GetSubMtl(i);
                subs.push_back(sub ? json(materialId(sub)) : json(nullptr));
            }
            out["subMaterials"] = std::move(subs);
        }
        if (mtl->NumSubTexmaps() > 0) {
            json subs = json::array();
            for (int i = 0; i < mtl->NumSubTexmaps(); ++i) {
                Texmap* sub = mtl->GetSubTexmap(i);
                subs.push_back(sub ? json(mapId(sub)) : json(nullptr));
            }
            out["subMaps"] = std::move(subs);
        }
        if (mtl->IsMultiMtl()) out["multi"] = true;
        out["diffuse"] = pointJson(mtl->GetDiffuse(0));
    }
    if (mtl->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED)) out["showInViewport"] = true;
    if (auto* active = dynamic_cast<Texmap*>(mtl->GetActiveTexmap())) out["activeMap"] = mapId(active);
    if (json chunks = appDataJson(*mtl); !chunks.empty()) out["appData"] = std::move(chunks);
    return out;
}

json Writer::mapJson(Texmap* map) {
    json out;
    if (auto* bitmap = dynamic_cast<BitmapTex*>(map)) {
        BitmapTexture fresh("", 1);
        out["kind"] = "bitmap";
        out["file"] = bitmap->GetMapName() ? bitmap->GetMapName() : "";
        if (auto* texture = dynamic_cast<BitmapTexture*>(map)) {
            if (auto size = texture->bitmapSize()) out["size"] = json::array({size->first, size->second});
        } else if (Bitmap* image = bitmap->GetBitmap(0); image && image->HasStorage()) {
            out["size"] = json::array({image->Width(), image->Height()});
        }
        if (bitmap->GetFilterType() != fresh.GetFilterType())
            out["filter"] = bitmap->GetFilterType() == FILTER_SAT ? "summedArea" : bitmap->GetFilterType() == FILTER_NADA ? "none" : "pyramidal";
        if (bitmap->GetAlphaSource() != fresh.GetAlphaSource())
            out["alphaSource"] = bitmap->GetAlphaSource() == ALPHA_RGB ? "rgb" : bitmap->GetAlphaSource() == ALPHA_NONE ? "none" : "file";
        if (bitmap->GetAlphaAsMono() != fresh.GetAlphaAsMono()) out["alphaAsMono"] = bitmap->GetAlphaAsMono();
    } else if (map->ClassID() == ACUBIC_CLASS_ID) {
        out["kind"] = "cube";
        IParamBlock2* block = map->NumParamBlocks() > 0 ? map->GetParamBlock(0) : nullptr;
        if (!block) {
            out["paramBlocks"] = json::array();
        } else {
            // The six names alone when the rest of the block is as a new cube map has it.
            json files = json::array();
            CubeMap fresh(scene_);
            IParamBlock2* freshBlock = fresh.GetParamBlock(0);
            for (int face = 0; face < 6; ++face) {
                const char* name = nullptr;
                Interval valid = FOREVER;
                if (!block->GetValue(ACUBIC_BITMAP_NAMES_PARAM, 0, name, valid, face)) name = nullptr;
                files.push_back(name ? json(name) : json(nullptr));
                freshBlock->SetValue(ACUBIC_BITMAP_NAMES_PARAM, 0, name, face);
            }
            if (blockJson(*block) == blockJson(*freshBlock)) out["files"] = std::move(files);
            else out["paramBlocks"] = json::array({blockJson(*block)});
        }
    } else {
        out["kind"] = "other";
        out["classId"] = classIdJson(map->ClassID());
        if (map->NumSubTexmaps() > 0) {
            json subs = json::array();
            for (int i = 0; i < map->NumSubTexmaps(); ++i) {
                Texmap* sub = map->GetSubTexmap(i);
                subs.push_back(sub ? json(mapId(sub)) : json(nullptr));
            }
            out["subMaps"] = std::move(subs);
        }
        json blocks = json::array();
        for (int i = 0; i < map->NumParamBlocks(); ++i)
            if (IParamBlock2* block = map->GetParamBlock(i)) blocks.push_back(blockJson(*block));
        if (!blocks.empty()) out["paramBlocks"] = std::move(blocks);
    }
    if (map->GetMapChannel() != 1) out["channel"] = map->GetMapChannel();
    if (map->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED)) out["showInViewport"] = true;
    if (json chunks = appDataJson(*map); !chunks.empty()) out["appData"] = std::move(chunks);
    return out;
}

}  // namespace

json saveScene(Host& host) { return Writer(host).write(); }

}  // namespace headless::document

// Headless scene -> scene-document model. The scene is read through the host interfaces where it
// can (so that plug-in objects, lights and materials are kept too) and through the headless
// classes for what only they hold (animation keys, skin weights, bitmap sizes).
//
// Entries are keyed by ids: a node's id is its name, unless another node has that name or the name
// is empty (then "<name>#<n>"); objects take the id of the first node that shows them, materials and
// maps their names (a bitmap without a name its file name). Values equal to what a new item of the
// same kind holds are left empty, so that documents stay short.
#include "headless/host.h"
#include "headless/scene_document_model.h"

#include <deque>
#include <functional>
#include <unordered_map>
#include <unordered_set>

namespace headless::document {

namespace {

// Unique ids within one table. Ids are compared as the document holds them (utf8Text), so that
// names differing only in bytes that are not UTF-8 do not end up as one id.
class IdSet {
public:
    bool take(const std::string& id) { return !id.empty() && used_.insert(id).second; }
    // wanted when free; else wanted#2, wanted#3 ... (fallback#1, #2 ... for an empty wish). The
    // count goes on from the last number given for that base (the numbers before it are taken, as
    // ids are never given back), so that many items of one name cost no search from #2 each.
    std::string claim(const std::string& wish, const std::string& fallback) {
        const std::string wanted = utf8Text(wish);
        if (take(wanted)) return wanted;
        const std::string base = wanted.empty() ? fallback : wanted;
        int& next = next_.try_emplace(base, wanted.empty() ? 1 : 2).first->second;
        for (;;) {
            std::string id = base + "#" + std::to_string(next++);
            if (take(id)) return id;
        }
    }

private:
    std::unordered_set<std::string> used_;
    std::unordered_map<std::string, int> next_;
};

// Fills of entries met while filling others: they nest as deep as the scene's items do (a map
// among the sub-maps of a map ...). Up to kMaxNesting levels they run at once, deeper ones wait in
// a queue that the capture empties, so that a chain of any length costs no deep stack.
struct Nesting {
    static constexpr int kMaxNesting = 256;
    int depth = 0;
    std::deque<std::function<void()>> waiting;
};

// The entries of one table by the scene item they stand for.
struct Table {
    IdSet ids;
    std::unordered_map<const void*, int> indexOf;

    // The index of the entry for item, made by fill(entry) when first met. The entry holds its
    // place and id before it is filled, since filling may meet further items of the table.
    template <class Entry, class Fill>
    int entry(Nesting& nesting, std::vector<Entry>& entries, const void* item, const std::string& wanted,
              const char* fallback, Fill fill) {
        if (auto found = indexOf.find(item); found != indexOf.end()) return found->second;
        const int index = static_cast<int>(entries.size());
        indexOf[item] = index;
        entries.emplace_back().id = ids.claim(wanted, fallback);
        auto run = [&nesting, &entries, index, fill]() mutable {
            Entry entry;
            entry.id = entries[index].id;
            ++nesting.depth;
            fill(entry);
            --nesting.depth;
            entries[index] = std::move(entry);
        };
        if (nesting.depth < Nesting::kMaxNesting) run();
        else nesting.waiting.push_back(std::move(run));
        return index;
    }
};

std::string textOf(const char* text) { return text ? text : ""; }

// The id wished for an object that is part of another (its base, its source): "<id> base". Along a
// chain such ids would grow a word a link; past 256 bytes the part takes a numbered id instead.
std::string partId(const std::string& id, const char* part) {
    std::string wish = id + part;
    return wish.size() <= 256 ? wish : std::string();
}

class Capture {
public:
    explicit Capture(Host& host) : host_(host), scene_(host.scene()) {}
    SceneModel capture();

private:
    void collectNodes(INode* node);
    NodeModel node(INode* node);
    std::vector<AppData> appData(Animatable& item);
    template <class Owner>
    std::vector<ParamBlockModel> blocks(Owner& owner) {
        std::vector<ParamBlockModel> out;
        for (int i = 0; i < owner.NumParamBlocks(); ++i)
            if (IParamBlock2* b = owner.GetParamBlock(i)) out.push_back(block(*b));
        return out;
    }
    ParamBlockModel block(IParamBlock2& block);
    std::optional<ParamValue> paramValue(IParamBlock2& block, ParamID id, ParamType2 base, int tab);

    int nodeIndex(INode* node) const;
    int object(Object* object, const std::string& wanted);
    int material(Mtl* mtl);
    int map(Texmap* map);
    void fillObject(ObjectModel& entry, Object* object);
    LightModel light(GenLight& light);
    StackModel stack(IDerivedObject& stack, const std::string& id);
    void fillMaterial(MaterialModel& entry, Mtl* mtl);
    void fillMap(MapModel& entry, Texmap* map);

    Host& host_;
    Scene& scene_;
    SceneModel model_;
    std::vector<INode*> nodes_;
    std::unordered_map<INode*, int> nodeIndex_;
    Table objects_, materials_, maps_;
    Nesting nesting_;
};

// The nodes below `top` in depth-first order, parents before their children, without recursion.
void Capture::collectNodes(INode* top) {
    std::vector<INode*> pending;
    for (int i = top->NumberOfChildren(); i-- > 0;) pending.push_back(top->GetChildNode(i));
    while (!pending.empty()) {
        INode* node = pending.back();
        pending.pop_back();
        if (!node) continue;
        nodeIndex_[node] = static_cast<int>(nodes_.size());
        nodes_.push_back(node);
        for (int i = node->NumberOfChildren(); i-- > 0;) pending.push_back(node->GetChildNode(i));
    }
}

SceneModel Capture::capture() {
    collectNodes(scene_.root());
    // Node ids: every name's first holder keeps the name; later holders and unnamed nodes get
    // numbered ids that no name already uses. Ids are given before any entry is captured, since
    // entries refer to nodes by index and the writer names them by id.
    model_.nodes.resize(nodes_.size());
    IdSet ids;
    std::vector<bool> named(nodes_.size(), false);
    for (size_t i = 0; i < nodes_.size(); ++i) {
        if (std::string id = utf8Text(textOf(nodes_[i]->GetName())); ids.take(id)) {
            model_.nodes[i].id = std::move(id);
            named[i] = true;
        }
    }
    for (size_t i = 0; i < nodes_.size(); ++i)
        if (!named[i]) model_.nodes[i].id = ids.claim(textOf(nodes_[i]->GetName()), "node");

    model_.ticksPerFrame = host_.GetTicksPerFrame();
    model_.animationRange = host_.GetAnimRange();
    model_.ambient = host_.GetAmbient(0);
    model_.renderSize = std::make_pair(host_.GetRendWidth(), host_.GetRendHeight());
    model_.time = host_.GetTime();

    // Layers are named by nodes and listed once, by their names as the document holds them.
    std::unordered_set<std::string> layerNames;
    auto listLayer = [&](ILayer* layer) {
        if (std::string name = utf8Text(layer->GetName()); layerNames.insert(name).second)
            model_.layers.push_back({std::move(name), layer->IsHidden()});
    };
    for (Layer* layer : scene_.layers()) listLayer(layer);
    for (size_t i = 0; i < nodes_.size(); ++i) {
        NodeModel captured = node(nodes_[i]);
        captured.id = std::move(model_.nodes[i].id);
        model_.nodes[i] = std::move(captured);
        // A layer the scene does not list (made elsewhere) is listed with the nodes on it.
        if (ILayer* layer = nodes_[i]->GetLayer()) listLayer(layer);
    }
    while (!nesting_.waiting.empty()) {
        auto fill = std::move(nesting_.waiting.front());
        nesting_.waiting.pop_front();
        fill();
    }
    for (int i = 0; i < host_.GetSelNodeCount(); ++i)
        if (const int index = nodeIndex(host_.GetSelNode(i)); index >= 0) model_.selection.push_back(index);
    return std::move(model_);
}

int Capture::nodeIndex(INode* node) const {
    auto found = node ? nodeIndex_.find(node) : nodeIndex_.end();
    return found == nodeIndex_.end() ? -1 : found->second;
}

std::vector<AppData> Capture::appData(Animatable& item) {
    std::vector<AppData> chunks;
    for (int i = 0; i < item.NumAppDataChunks(); ++i) {
        const AppDataChunk* chunk = item.GetAppDataChunkByIndex(i);
        if (!chunk) continue;
        const auto* bytes = static_cast<const uint8_t*>(chunk->data);
        chunks.push_back({chunk->classID, chunk->superClassID, chunk->subID,
                          bytes ? std::vector<uint8_t>(bytes, bytes + chunk->length) : std::vector<uint8_t>()});
    }
    return chunks;
}

// ---- Nodes ----

NodeModel Capture::node(INode* inode) {
    NodeModel out;
    out.name = textOf(inode->GetName());
    INode* parent = inode->GetParentNode();
    if (parent && !parent->IsRootNode()) out.parent = nodeIndex(parent);
    if (Object* o = inode->GetObjectRef()) out.object = object(o, model_.nodes[nodeIndex(inode)].id);
    if (Mtl* mtl = inode->GetMtl()) out.material = material(mtl);
    if (ILayer* layer = inode->GetLayer(); layer && layer != scene_.defaultLayer()) out.layer = utf8Text(layer->GetName());

    auto* node = dynamic_cast<Node*>(inode);
    if (node && node->track().IsAnimated()) {
        for (const TransformKey& key : node->track().Keys()) out.keys.push_back({key.time, key.tm});
    } else {
        out.transform = inode->GetLocalTM(0);
    }
    if (const Matrix3 offset = inode->GetObjectOffsetTM(); !isExactly(offset, Matrix3())) out.objectOffset = offset;
    out.hidden = inode->IsHidden();
    out.frozen = inode->IsFrozen();
    out.groupHead = inode->IsGroupHead();
    out.groupMember = inode->IsGroupMember();
    out.visibility = inode->GetVisibility(0);
    out.inheritVisibility = inode->GetInheritVisibility();
    if (Control* control = inode->GetTMController(); control && control->ClassID() != PRS_CONTROL_CLASS_ID)
        out.controller = control->ClassID();
    if (node)
        for (const auto& [key, value] : node->userProperties()) out.userProperties.emplace_back(key, value);
    out.appData = appData(*inode);
    return out;
}

// ---- Objects ----

int Capture::object(Object* object, const std::string& wanted) {
    return objects_.entry(nesting_, model_.objects, object, wanted, "object",
                          [this, object](ObjectModel& entry) { fillObject(entry, object); });
}

void Capture::fillObject(ObjectModel& out, Object* object) {
    if (auto* stackObject = dynamic_cast<IDerivedObject*>(object); stackObject && IsDerivedObjectSuperClass(object->SuperClassID())) {
        out.kind = stack(*stackObject, out.id);
    } else if (auto* tri = dynamic_cast<TriObject*>(object)) {
        out.kind = MeshObjectModel{tri->mesh};
    } else if (auto* poly = dynamic_cast<PolyMeshObject*>(object)) {
        out.kind = PolyObjectModel{poly->mesh, poly->ClassID()};
    } else if (auto* genLight = dynamic_cast<GenLight*>(object)) {
        out.kind = light(*genLight);
    } else if (auto* camera = dynamic_cast<CameraObject*>(object)) {
        Camera fresh(0.0f, SIMPLE_CAMERA_CLASS_ID);
        CameraModel c;
        c.classId = camera->ClassID();
        c.fov = camera->GetFOV(0);
        if (camera->GetNearClip(0) != fresh.GetNearClip(0)) c.nearClip = camera->GetNearClip(0);
        if (camera->GetFarClip(0) != fresh.GetFarClip(0)) c.farClip = camera->GetFarClip(0);
        out.kind = c;
    } else {
        GenericObjectModel g;
        g.superClass = object->SuperClassID();
        g.classId = object->ClassID();
        g.objectName = textOf(object->GetObjectName());
        if (auto* generic = dynamic_cast<GenericObject*>(object)) {
            const Mesh& mesh = generic->mesh();
            g.conversion = generic->meshConversion();
            // A mesh that holds anything is kept, channels or normals without vertices included.
            bool holds = g.conversion != MeshConversion::None || !mesh.verts.empty() || !mesh.faces.empty() ||
                         mesh.GetSpecifiedNormals() != nullptr;
            for (int c = 0; c < mesh.getNumMaps() && !holds; ++c)
                holds = mesh.Map(c).flags != 0 || !mesh.Map(c).tv.empty() || !mesh.Map(c).tf.empty();
            if (holds) g.mesh = mesh;
        }
        if (auto* source = dynamic_cast<IObjectSource*>(object->GetInterface(OBJECT_SOURCE_INTERFACE_ID)))
            if (Object* sourceObject = source->GetSourceObject(0)) g.source = this->object(sourceObject, partId(out.id, " source"));
        g.paramBlocks = blocks(*object);
        out.kind = std::move(g);
    }
    out.appData = appData(*object);
}

LightModel Capture::light(GenLight& light) {
    LightModel out;
    out.type = light.Type();
    out.color = light.GetRGBColor(0);
    out.intensity = light.GetIntensity(0);
    out.attenuation = {light.GetAtten(0, ATTEN1_START), light.GetAtten(0, ATTEN1_END), light.GetAtten(0, ATTEN_START),
                       light.GetAtten(0, ATTEN_END)};
    out.hotspot = light.GetHotspot(0);
    out.falloff = light.GetFallsize(0);
    Light fresh(light.Type());
    for (size_t i = 0; i < kLightSwitchCount; ++i) {
        const LightSwitch& s = lightSwitches()[i];
        if (const int value = (light.*s.get)(); value != (fresh.*s.get)()) out.switches[i] = value;
    }
    return out;
}

StackModel Capture::stack(IDerivedObject& stack, const std::string& id) {
    StackModel out;
    out.superClass = stack.SuperClassID();
    if (Object* base = stack.GetObjRef()) out.base = object(base, partId(id, " base"));
    for (int i = 0; i < stack.NumModifiers(); ++i) {
        Modifier* modifier = stack.GetModifier(i);
        if (!modifier) continue;
        ModifierModel entry;
        if (auto* skin = dynamic_cast<SkinModifier*>(modifier)) {
            SkinModel s;
            for (const SkinModifier::Bone& bone : skin->bones()) s.bones.push_back({nodeIndex(bone.node), bone.initTM});
            s.skinMatrix = skin->skinInitTM();
            s.weights = skin->vertices();
            entry.kind = std::move(s);
        } else {
            entry.kind = PlainModifierModel{modifier->ClassID(), textOf(modifier->GetObjectName()), modifier->IsEnabled()};
        }
        entry.appData = appData(*modifier);
        out.modifiers.push_back(std::move(entry));
    }
    return out;
}

// ---- Parameter blocks ----

std::optional<ParamValue> Capture::paramValue(IParamBlock2& block, ParamID id, ParamType2 base, int tab) {
    Interval valid = FOREVER;
    auto get = [&](auto& value) { return block.GetValue(id, 0, value, valid, tab); };
    ParamValue v;
    const char* s = nullptr;
    INode* node = nullptr;
    Mtl* mtl = nullptr;
    Texmap* texmap = nullptr;
    bool got = false;
    switch (base) {
    case TYPE_INT:
    case TYPE_BOOL: got = get(v.i); break;
    case TYPE_POINT3:
    case TYPE_RGBA: got = get(v.p); break;
    case TYPE_STRING:
    case TYPE_FILENAME: got = get(s); break;
    case TYPE_INODE: got = get(node); break;
    case TYPE_MTL: got = get(mtl); break;
    case TYPE_TEXMAP: got = get(texmap); break;
    default: got = get(v.f); break;
    }
    if (s) v.s = s;
    // A reference is the index of its entry, captured when first met.
    if (node) v.ref = nodeIndex(node);
    if (mtl) v.ref = material(mtl);
    if (texmap) v.ref = map(texmap);
    if (!got) return std::nullopt;
    return v;
}

ParamBlockModel Capture::block(IParamBlock2& block) {
    ParamBlockModel out;
    out.id = block.ID();
    out.name = textOf(block.GetLocalName());
    for (int i = 0; i < block.NumParams(); ++i) {
        const ParamID id = block.IndextoID(i);
        const ParamType2 type = block.GetParameterType(id);
        if (paramTypeName(type).empty()) continue;  // a kind of value documents cannot hold
        ParamModel param;
        param.id = id;
        param.name = textOf(block.GetParamName(id));
        param.type = type;
        const ParamType2 base = ParamBaseType(type);
        if (IsParamTable(type)) {
            for (int tab = 0; tab < block.Count(id); ++tab) param.values.push_back(paramValue(block, id, base, tab).value_or(ParamValue{}));
        } else if (auto value = paramValue(block, id, base, 0)) {
            param.values.push_back(*value);
        }
        out.params.push_back(std::move(param));
    }
    return out;
}

// ---- Materials and maps ----

int Capture::material(Mtl* mtl) {
    return materials_.entry(nesting_, model_.materials, mtl, textOf(mtl->GetName()), "material", [this, mtl](MaterialModel& entry) {
        entry.name = textOf(mtl->GetName());
        fillMaterial(entry, mtl);
    });
}

int Capture::map(Texmap* texmap) {
    std::string wanted = textOf(texmap->GetName());
    if (auto* bitmap = dynamic_cast<BitmapTex*>(texmap); wanted.empty() && bitmap && bitmap->GetMapName()) {
        // The file name after the last folder, whether the path is written with / or \ (Windows).
        wanted = bitmap->GetMapName();
        wanted.erase(0, wanted.find_last_of("/\\") + 1);
    }
    return maps_.entry(nesting_, model_.maps, texmap, wanted, "map", [this, texmap](MapModel& entry) {
        entry.name = textOf(texmap->GetName());
        fillMap(entry, texmap);
    });
}

void Capture::fillMaterial(MaterialModel& out, Mtl* mtl) {
    if (auto* standard = dynamic_cast<StdMat*>(mtl); standard && mtl->ClassID() == DMTL_CLASS_ID) {
        StandardMaterialModel s;
        s.ambient = standard->GetAmbient(0);
        s.diffuse = standard->GetDiffuse(0);
        s.specular = standard->GetSpecular(0);
        s.glossiness = standard->GetShininess(0);
        s.specularLevel = standard->GetShinStr(0);
        s.opacity = standard->GetOpacity(0);
        s.selfIllumination = standard->GetSelfIllum(0);
        if (standard->GetTwoSided()) s.twoSided = true;
        StandardMaterial fresh(scene_, "");
        for (int slot = 0; slot < STD_NUM_TEXMAPS; ++slot) {
            Texmap* texmap = standard->GetSubTexmap(slot);
            if (texmap) s.maps[slot] = map(texmap);
            if (const float amount = standard->GetTexmapAmt(slot, 0); amount != fresh.GetTexmapAmt(slot, 0)) s.amounts[slot] = amount;
            if (standard->MapEnabled(slot) != (texmap != nullptr)) s.enabled[slot] = standard->MapEnabled(slot);
        }
        out.kind = std::move(s);
    } else if (auto* multi = dynamic_cast<MultiMtl*>(mtl); multi && mtl->ClassID() == MULTI_CLASS_ID) {
        MultiMaterialModel m;
        for (int i = 0; i < multi->NumSubMtls(); ++i) {
            Mtl* sub = multi->GetSubMtl(i);
            std::string slotName = multi->GetSubMtlSlotName(i);
            if (!sub && slotName.empty()) continue;
            m.slots.push_back({i, sub ? material(sub) : -1, std::move(slotName)});
        }
        m.slotCount = multi->NumSubMtls();
        out.kind = std::move(m);
    } else {
        OtherMaterialModel o;
        o.classId = mtl->ClassID();
        for (int i = 0; i < mtl->NumSubMtls(); ++i) o.subMaterials.push_back(mtl->GetSubMtl(i) ? material(mtl->GetSubMtl(i)) : -1);
        for (int i = 0; i < mtl->NumSubTexmaps(); ++i) o.subMaps.push_back(mtl->GetSubTexmap(i) ? map(mtl->GetSubTexmap(i)) : -1);
        o.reportsMulti = mtl->IsMultiMtl();
        o.diffuse = mtl->GetDiffuse(0);
        out.kind = std::move(o);
    }
    out.showInViewport = mtl->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED);
    if (auto* active = dynamic_cast<Texmap*>(mtl->GetActiveTexmap())) out.activeMap = map(active);
    out.appData = appData(*mtl);
}

void Capture::fillMap(MapModel& out, Texmap* texmap) {
    if (auto* bitmap = dynamic_cast<BitmapTex*>(texmap)) {
        BitmapTexture fresh("", 1);
        BitmapMapModel b;
        b.file = textOf(bitmap->GetMapName());
        if (auto* texture = dynamic_cast<BitmapTexture*>(texmap)) {
            if (auto size = texture->bitmapSize()) b.size = std::make_pair(int(size->first), int(size->second));
        } else if (Bitmap* image = bitmap->GetBitmap(0); image && image->HasStorage()) {
            b.size = std::make_pair(image->Width(), image->Height());
        }
        if (bitmap->GetFilterType() != fresh.GetFilterType()) b.filter = bitmap->GetFilterType();
        if (bitmap->GetAlphaSource() != fresh.GetAlphaSource()) b.alphaSource = bitmap->GetAlphaSource();
        if (bitmap->GetAlphaAsMono() != fresh.GetAlphaAsMono()) b.alphaAsMono = bitmap->GetAlphaAsMono();
        out.kind = std::move(b);
    } else if (texmap->ClassID() == ACUBIC_CLASS_ID) {
        CubeMapModel c;
        IParamBlock2* cubeBlock = texmap->NumParamBlocks() > 0 ? texmap->GetParamBlock(0) : nullptr;
        if (!cubeBlock) {
            c.paramBlocks.emplace();
        } else {
            // The six names alone when the rest of the block is as a new cube map has it.
            std::array<std::optional<std::string>, 6> files;
            CubeMap fresh(scene_);
            IParamBlock2* freshBlock = fresh.GetParamBlock(0);
            for (int face = 0; face < 6; ++face) {
                const char* name = nullptr;
                Interval valid = FOREVER;
                if (!cubeBlock->GetValue(ACUBIC_BITMAP_NAMES_PARAM, 0, name, valid, face)) name = nullptr;
                if (name) files[face] = name;
                freshBlock->SetValue(ACUBIC_BITMAP_NAMES_PARAM, 0, name, face);
            }
            ParamBlockModel captured = block(*cubeBlock);
            if (captured == block(*freshBlock)) c.files = std::move(files);
            else c.paramBlocks = std::vector<ParamBlockModel>{std::move(captured)};
        }
        out.kind = std::move(c);
    } else {
        OtherMapModel o;
        o.classId = texmap->ClassID();
        for (int i = 0; i < texmap->NumSubTexmaps(); ++i)
            o.subMaps.push_back(texmap->GetSubTexmap(i) ? map(texmap->GetSubTexmap(i)) : -1);
        if (std::vector<ParamBlockModel> b = blocks(*texmap); !b.empty()) o.paramBlocks = std::move(b);
        out.kind = std::move(o);
    }
    out.channel = texmap->GetMapChannel();
    out.showInViewport = texmap->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED);
    out.appData = appData(*texmap);
}

}  // namespace

SceneModel captureScene(Host& host) { return Capture(host).capture(); }

}  // namespace headless::document

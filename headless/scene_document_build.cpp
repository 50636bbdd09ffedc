// Checked model -> headless scene. Items are made first and wired second, so that entries may refer
// to one another in any order (reading has already rejected containment cycles).
#include "headless/host.h"
#include "headless/scene_document_model.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace headless::document {

namespace {

void addAppData(Animatable& target, const std::vector<AppData>& chunks) {
    for (const AppData& chunk : chunks) {
        void* data = HostAlloc(chunk.bytes.empty() ? 1 : chunk.bytes.size());
        if (!chunk.bytes.empty()) std::memcpy(data, chunk.bytes.data(), chunk.bytes.size());
        target.AddAppDataChunk(chunk.classId, chunk.superClassId, chunk.subId, static_cast<uint32_t>(chunk.bytes.size()),
                               data);
    }
}

class Builder {
public:
    Builder(Host& host, SceneModel& model) : host_(host), scene_(host.scene()), model_(model) {}
    void build();

private:
    void applySettings();
    void makeLayers();
    void makeItems();
    void wireMap(const MapModel& m, Texmap* map);
    void wireMaterial(const MaterialModel& m, Mtl* mtl);
    void wireObject(ObjectModel& o, Object* object);
    void wireNode(const NodeModel& n, Node* node);
    void fillBlock(ParamBlock& block, const ParamBlockModel& model);
    std::vector<ParamBlock::Value> storedValues(const ParamModel& p) const;
    // The object of a class a loaded plug-in describes, made through its class descriptor, when
    // that object can hold all the entry holds; null otherwise.
    Object* makePluginObject(const GenericObjectModel& o);

    INode* nodeAt(int i) const { return i >= 0 ? nodes_[i] : nullptr; }
    Mtl* materialAt(int i) const { return i >= 0 ? materials_[i] : nullptr; }
    Texmap* mapAt(int i) const { return i >= 0 ? maps_[i] : nullptr; }
    Object* objectAt(int i) const { return i >= 0 ? objects_[i] : nullptr; }

    Host& host_;
    Scene& scene_;
    SceneModel& model_;
    std::vector<Node*> nodes_;
    std::vector<Texmap*> maps_;
    std::vector<Mtl*> materials_;
    std::vector<Object*> objects_;
    std::unordered_set<Object*> pluginMade_;
};

void Builder::build() {
    applySettings();
    makeLayers();
    makeItems();
    for (size_t i = 0; i < model_.maps.size(); ++i) wireMap(model_.maps[i], maps_[i]);
    for (size_t i = 0; i < model_.materials.size(); ++i) wireMaterial(model_.materials[i], materials_[i]);
    for (size_t i = 0; i < model_.objects.size(); ++i) wireObject(model_.objects[i], objects_[i]);
    for (size_t i = 0; i < model_.nodes.size(); ++i) wireNode(model_.nodes[i], nodes_[i]);
    // Children join their parents in document order, which is therefore their order in the tree.
    for (size_t i = 0; i < model_.nodes.size(); ++i) {
        INode* parent = model_.nodes[i].parent >= 0 ? nodes_[model_.nodes[i].parent] : scene_.root();
        parent->AttachChild(nodes_[i], false);
    }
    if (!model_.selection.empty()) {
        host_.ClearNodeSelection();
        for (int index : model_.selection) host_.SelectNode(nodes_[index], false);
    }
}

void Builder::applySettings() {
    if (model_.ticksPerFrame) host_.SetTicksPerFrame(*model_.ticksPerFrame);
    if (model_.animationRange) host_.SetAnimRange(*model_.animationRange);
    if (model_.ambient) host_.SetAmbient(0, *model_.ambient);
    if (model_.renderSize) {
        host_.SetRendWidth(model_.renderSize->first);
        host_.SetRendHeight(model_.renderSize->second);
    }
    if (model_.time) host_.SetTime(*model_.time);
}

void Builder::makeLayers() {
    for (const LayerModel& l : model_.layers) {
        Layer* layer = l.name == "0" && scene_.defaultLayer() ? scene_.defaultLayer() : scene_.findLayer(l.name);
        if (!layer) layer = scene_.newLayer(l.name);
        layer->Hide(l.hidden);
    }
}

void Builder::makeItems() {
    for (const NodeModel& n : model_.nodes) nodes_.push_back(scene_.createDetachedNode(n.name));
    for (const MapModel& m : model_.maps) {
        if (auto* bitmap = std::get_if<BitmapMapModel>(&m.kind)) maps_.push_back(scene_.newBitmapTex(bitmap->file, m.channel));
        else if (std::holds_alternative<CubeMapModel>(m.kind)) maps_.push_back(scene_.newCubeMap());
        else maps_.push_back(scene_.newTexmap(std::get<OtherMapModel>(m.kind).classId, m.name));
    }
    for (const MaterialModel& m : model_.materials) {
        if (std::holds_alternative<StandardMaterialModel>(m.kind)) materials_.push_back(scene_.newStdMat(m.name));
        else if (auto* multi = std::get_if<MultiMaterialModel>(&m.kind)) materials_.push_back(scene_.newMultiMtl(m.name, multi->slotCount));
        else materials_.push_back(scene_.newMaterial(std::get<OtherMaterialModel>(m.kind).classId, m.name));
    }
    // Meshes move from the model into the scene: a large document is not held twice.
    for (ObjectModel& o : model_.objects) {
        Object* made = nullptr;
        if (auto* mesh = std::get_if<MeshObjectModel>(&o.kind)) {
            TriMeshObject* tri = scene_.newTriObject();
            tri->mesh = std::move(mesh->mesh);
            made = tri;
        } else if (auto* poly = std::get_if<PolyObjectModel>(&o.kind)) {
            made = scene_.newPolyObject(Mesh(), poly->classId);
            static_cast<PolyMeshObject*>(made)->mesh = std::move(poly->mesh);
        } else if (auto* generic = std::get_if<GenericObjectModel>(&o.kind)) {
            made = makePluginObject(*generic);
            if (made) pluginMade_.insert(made);
            else made = scene_.newObject(generic->superClass, generic->classId, generic->objectName);
        } else if (auto* light = std::get_if<LightModel>(&o.kind)) {
            made = scene_.newLight(light->type);
        } else if (auto* camera = std::get_if<CameraModel>(&o.kind)) {
            made = scene_.newCamera(camera->fov, camera->classId);
        } else {
            made = scene_.newDerivedObject(nullptr, std::get<StackModel>(o.kind).superClass);
        }
        objects_.push_back(made);
    }
}

std::vector<ParamBlock::Value> Builder::storedValues(const ParamModel& p) const {
    std::vector<ParamBlock::Value> values;
    values.reserve(p.values.size());
    const ParamType2 base = ParamBaseType(p.type);
    // A plain parameter the document gives no value holds the value a new parameter holds.
    static const std::vector<ParamValue> kNoValue(1);
    for (const ParamValue& v : p.values.empty() && !IsParamTable(p.type) ? kNoValue : p.values) {
        ParamBlock::Value stored;
        stored.f = v.f;
        stored.i = v.i;
        stored.p = v.p;
        stored.hasString = v.s.has_value();
        if (v.s) stored.s = *v.s;
        if (base == TYPE_INODE) stored.ref = nodeAt(v.ref);
        if (base == TYPE_MTL) stored.ref = materialAt(v.ref);
        if (base == TYPE_TEXMAP) stored.ref = mapAt(v.ref);
        values.push_back(std::move(stored));
    }
    return values;
}

void Builder::fillBlock(ParamBlock& block, const ParamBlockModel& model) {
    for (const ParamModel& p : model.params) {
        block.addParam(p.id, p.name, p.type);
        block.restoreValues(p.id, p.type, storedValues(p));
    }
}

Object* Builder::makePluginObject(const GenericObjectModel& o) {
    const bool objectClass = o.superClass == GEOMOBJECT_CLASS_ID || o.superClass == CAMERA_CLASS_ID ||
                             o.superClass == LIGHT_CLASS_ID || o.superClass == SHAPE_CLASS_ID ||
                             o.superClass == HELPER_CLASS_ID;
    if (!objectClass || !host_.plugins() || !host_.plugins()->find(o.superClass, o.classId)) return nullptr;
    // The plug-in builds its object's geometry itself; an entry that gives one (or stands for
    // another object) keeps it only as the class-id object.
    if (o.mesh || o.conversion != MeshConversion::None || o.source >= 0) return nullptr;
    auto* object = static_cast<Object*>(host_.CreateInstance(o.superClass, o.classId));
    if (!object) return nullptr;
    for (const ParamBlockModel& b : o.paramBlocks) {
        auto* block = dynamic_cast<ParamBlock*>(object->GetParamBlockByID(b.id));
        bool fits = block != nullptr;
        for (size_t i = 0; fits && i < b.params.size(); ++i) fits = block->canRestore(b.params[i].id, b.params[i].type);
        if (!fits) {
            // A block or parameter the plug-in does not have: the class-id object keeps them all.
            object->DeleteThis();
            return nullptr;
        }
    }
    return object;
}

void Builder::wireMap(const MapModel& m, Texmap* map) {
    map->SetName(m.name.c_str());
    if (UVGen* uv = map->GetTheUVGen()) uv->SetMapChannel(m.channel);
    map->SetMtlFlag(MTL_TEX_DISPLAY_ENABLED, m.showInViewport);
    addAppData(*map, m.appData);
    if (auto* b = std::get_if<BitmapMapModel>(&m.kind)) {
        auto* bitmap = static_cast<BitmapTexture*>(map);
        if (b->size) bitmap->setBitmapSize(static_cast<uint16_t>(b->size->first), static_cast<uint16_t>(b->size->second));
        if (b->filter) bitmap->SetFilterType(*b->filter);
        if (b->alphaSource) bitmap->SetAlphaSource(*b->alphaSource);
        if (b->alphaAsMono) bitmap->SetAlphaAsMono(*b->alphaAsMono);
    } else if (auto* c = std::get_if<CubeMapModel>(&m.kind)) {
        auto* cube = static_cast<CubeMap*>(map);
        if (c->paramBlocks) {
            ParamBlock* block = nullptr;
            if (!c->paramBlocks->empty()) {
                const ParamBlockModel& b = c->paramBlocks->front();
                block = new ParamBlock(&scene_, b.id, b.name);
                fillBlock(*block, b);
            }
            cube->setParamBlock(block);
        }
        if (IParamBlock2* block = cube->GetParamBlock(0); block && c->files) {
            for (int i = 0; i < 6; ++i) {
                const auto& name = (*c->files)[i];
                block->SetValue(ACUBIC_BITMAP_NAMES_PARAM, 0, name ? name->c_str() : nullptr, i);
            }
        }
    } else {
        const auto& o = std::get<OtherMapModel>(m.kind);
        auto* other = static_cast<GenericTexmap*>(map);
        for (size_t i = 0; i < o.subMaps.size(); ++i) other->SetSubTexmap(static_cast<int>(i), mapAt(o.subMaps[i]));
        // SetSubTexmap grows the slots only as far as the last map; keep trailing empty slots too.
        other->setNumSubTexmaps(static_cast<int>(o.subMaps.size()));
        if (o.paramBlocks)
            for (const ParamBlockModel& b : *o.paramBlocks) fillBlock(*other->addParamBlock(b.id, b.name), b);
    }
}

void Builder::wireMaterial(const MaterialModel& m, Mtl* mtl) {
    mtl->SetMtlFlag(MTL_TEX_DISPLAY_ENABLED, m.showInViewport);
    addAppData(*mtl, m.appData);
    if (auto* sm = std::get_if<StandardMaterialModel>(&m.kind)) {
        auto* standard = static_cast<StdMat*>(mtl);
        if (sm->ambient) standard->SetAmbient(*sm->ambient, 0);
        if (sm->diffuse) standard->SetDiffuse(*sm->diffuse, 0);
        if (sm->specular) standard->SetSpecular(*sm->specular, 0);
        if (sm->glossiness) standard->SetShininess(*sm->glossiness, 0);
        if (sm->specularLevel) standard->SetShinStr(*sm->specularLevel, 0);
        if (sm->opacity) standard->SetOpacity(*sm->opacity, 0);
        if (sm->selfIllumination) standard->SetSelfIllum(*sm->selfIllumination, 0);
        if (sm->twoSided) standard->SetTwoSided(*sm->twoSided);
        for (int slot = 0; slot < STD_NUM_TEXMAPS; ++slot) {
            if (sm->maps[slot] >= 0) standard->SetSubTexmap(slot, mapAt(sm->maps[slot]));
            if (sm->amounts[slot]) standard->SetTexmapAmt(slot, *sm->amounts[slot], 0);
            if (sm->enabled[slot]) standard->EnableMap(slot, *sm->enabled[slot]);
        }
    } else if (auto* mm = std::get_if<MultiMaterialModel>(&m.kind)) {
        auto* multi = static_cast<MultiMtl*>(mtl);
        for (const MultiSlot& slot : mm->slots) multi->SetSubMtlAndName(slot.slot, materialAt(slot.material), slot.name);
    } else {
        const auto& om = std::get<OtherMaterialModel>(m.kind);
        auto* other = static_cast<GenericMaterial*>(mtl);
        other->setNumSubMtls(static_cast<int>(om.subMaterials.size()));
        for (size_t i = 0; i < om.subMaterials.size(); ++i) other->SetSubMtl(static_cast<int>(i), materialAt(om.subMaterials[i]));
        other->setNumSubTexmaps(static_cast<int>(om.subMaps.size()));
        for (size_t i = 0; i < om.subMaps.size(); ++i) other->SetSubTexmap(static_cast<int>(i), mapAt(om.subMaps[i]));
        other->setReportsMulti(om.reportsMulti);
        if (om.diffuse) other->setDiffuse(*om.diffuse);
    }
    if (m.activeMap >= 0) mtl->SetActiveTexmap(mapAt(m.activeMap));
}

void Builder::wireObject(ObjectModel& o, Object* object) {
    addAppData(*object, o.appData);
    if (auto* g = std::get_if<GenericObjectModel>(&o.kind)) {
        if (pluginMade_.count(object)) {
            // Stored values go back as the host loads them, without the reactions of edits.
            for (const ParamBlockModel& b : g->paramBlocks) {
                auto* block = static_cast<ParamBlock*>(object->GetParamBlockByID(b.id));
                for (const ParamModel& p : b.params) block->restoreValues(p.id, p.type, storedValues(p));
            }
            return;
        }
        auto* generic = static_cast<GenericObject*>(object);
        if (g->mesh) generic->setMesh(*g->mesh, g->conversion);
        if (g->source >= 0) generic->setSourceObject(objectAt(g->source));
        for (const ParamBlockModel& b : g->paramBlocks) fillBlock(*generic->addParamBlock(b.id, b.name), b);
    } else if (auto* l = std::get_if<LightModel>(&o.kind)) {
        auto* light = static_cast<GenLight*>(object);
        if (l->color) light->SetRGBColor(0, *l->color);
        if (l->intensity) light->SetIntensity(0, *l->intensity);
        const std::optional<float>* attenuation[4] = {&l->attenuation.nearStart, &l->attenuation.nearEnd,
                                                      &l->attenuation.farStart, &l->attenuation.farEnd};
        for (int i = 0; i < 4; ++i)
            if (*attenuation[i]) light->SetAtten(0, ATTEN1_START + i, **attenuation[i]);
        if (l->hotspot) light->SetHotspot(0, *l->hotspot);
        if (l->falloff) light->SetFallsize(0, *l->falloff);
        for (size_t i = 0; i < kLightSwitchCount; ++i)
            if (l->switches[i]) (light->*lightSwitches()[i].set)(*l->switches[i]);
    } else if (auto* c = std::get_if<CameraModel>(&o.kind)) {
        auto* camera = static_cast<Camera*>(object);
        if (c->nearClip || c->farClip)
            camera->setClip(c->nearClip.value_or(camera->GetNearClip(0)), c->farClip.value_or(camera->GetFarClip(0)));
    } else if (auto* s = std::get_if<StackModel>(&o.kind)) {
        auto* stack = static_cast<DerivedObject*>(object);
        stack->ReferenceObject(objectAt(s->base));
        for (const ModifierModel& m : s->modifiers) {
            Modifier* modifier = nullptr;
            if (auto* skinModel = std::get_if<SkinModel>(&m.kind)) {
                SkinModifier* skin = scene_.newSkin();
                for (const BoneModel& bone : skinModel->bones) skin->addBone(nodeAt(bone.node), bone.initialMatrix);
                skin->setSkinInitTM(skinModel->skinMatrix);
                skin->setNumPoints(static_cast<int>(skinModel->weights.size()));
                for (size_t v = 0; v < skinModel->weights.size(); ++v) skin->setWeights(static_cast<int>(v), skinModel->weights[v]);
                modifier = skin;
            } else {
                const auto& plain = std::get<PlainModifierModel>(m.kind);
                GenericModifier* generic = scene_.newModifier(plain.classId, plain.name);
                generic->setEnabled(plain.enabled);
                modifier = generic;
            }
            addAppData(*modifier, m.appData);
            // Modifiers are listed top first; each new one goes below those before it.
            stack->AddModifier(modifier, stack->NumModifiers());
        }
    }
}

void Builder::wireNode(const NodeModel& n, Node* node) {
    if (n.keys.empty()) {
        node->setLocalTM(n.transform);
    } else {
        // In time order: the track keeps its keys sorted, and keys listed latest first would each
        // go in at the front. Ticks are unique, so the order given changes nothing else.
        std::vector<const KeyModel*> byTime;
        for (const KeyModel& key : n.keys) byTime.push_back(&key);
        std::sort(byTime.begin(), byTime.end(), [](const KeyModel* a, const KeyModel* b) { return a->tick < b->tick; });
        for (const KeyModel* key : byTime) node->addKey(key->tick, key->transform);
    }
    if (n.objectOffset) node->setObjectOffset(*n.objectOffset);
    if (n.object >= 0) node->SetObjectRef(objectAt(n.object));
    if (n.material >= 0) node->SetMtl(materialAt(n.material));
    if (!n.layer.empty()) node->SetLayer(scene_.findLayer(n.layer));
    node->Hide(n.hidden);
    node->Freeze(n.frozen);
    node->SetGroupHead(n.groupHead);
    node->SetGroupMember(n.groupMember);
    node->SetVisibility(0, n.visibility);
    node->SetInheritVisibility(n.inheritVisibility);
    if (n.controller) node->setTMControllerClass(*n.controller);
    for (const auto& [key, value] : n.userProperties) node->SetUserPropString(key, value);
    addAppData(*node, n.appData);
}

}  // namespace

void buildScene(Host& host, SceneModel&& model) { Builder(host, model).build(); }

}  // namespace headless::document

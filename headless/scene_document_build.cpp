// Checked model -> headless scene. Items are made first and wired second, so that entries may refer
// to one another in any order (the parser has already rejected containment cycles).
#include "headless/host.h"
#include "headless/scene_document_model.h"

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
    Builder(Host& host, const SceneModel& model) : host_(host), scene_(host.scene()), model_(model) {}
    void build();

private:
    void applySettings();
    void makeLayers();
    void makeItems();
    void wireMap(const MapModel& m, Texmap* map);
    void wireMaterial(const MaterialModel& m, Mtl* mtl);
    void wireObject(const ObjectModel& o, Object* object);
    void wireNode(const NodeModel& n, Node* node);
    void fillBlock(ParamBlock& block, const ParamBlockModel& model);
    std::vector<ParamBlock::Value> storedValues(const ParamModel& p) const;
    // The object of a class a loaded plug-in describes, made through its class descriptor, when
    // that object can hold all the entry holds; null otherwise.
    Object* makePluginObject(const ObjectModel& o);

    INode* nodeAt(int i) const { return i >= 0 ? nodes_[i] : nullptr; }
    Mtl* materialAt(int i) const { return i >= 0 ? materials_[i] : nullptr; }
    Texmap* mapAt(int i) const { return i >= 0 ? maps_[i] : nullptr; }
    Object* objectAt(int i) const { return i >= 0 ? objects_[i] : nullptr; }

    Host& host_;
    Scene& scene_;
    const SceneModel& model_;
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
        switch (m.kind) {
        case MapKind::Bitmap: maps_.push_back(scene_.newBitmapTex(m.file, m.channel)); break;
        case MapKind::Cube: maps_.push_back(scene_.newCubeMap()); break;
        case MapKind::Other: maps_.push_back(scene_.newTexmap(m.classId, m.name)); break;
        }
    }
    for (const MaterialModel& m : model_.materials) {
        switch (m.kind) {
        case MaterialKind::Standard: materials_.push_back(scene_.newStdMat(m.name)); break;
        case MaterialKind::Multi: materials_.push_back(scene_.newMultiMtl(m.name, m.slotCount)); break;
        case MaterialKind::Other: materials_.push_back(scene_.newMaterial(m.classId, m.name)); break;
        }
    }
    for (const ObjectModel& o : model_.objects) {
        switch (o.kind) {
        case ObjectKind::Mesh: objects_.push_back(scene_.newTriObject(o.mesh)); break;
        case ObjectKind::Poly: objects_.push_back(scene_.newPolyObject(o.mesh, o.classId)); break;
        case ObjectKind::Generic:
            if (Object* plugin = makePluginObject(o)) {
                objects_.push_back(plugin);
                pluginMade_.insert(plugin);
            } else {
                objects_.push_back(scene_.newObject(o.superClass, o.classId, o.objectName));
            }
            break;
        case ObjectKind::Light: objects_.push_back(scene_.newLight(o.light.type)); break;
        case ObjectKind::Camera: objects_.push_back(scene_.newCamera(o.fov, o.classId)); break;
        case ObjectKind::Stack: objects_.push_back(scene_.newDerivedObject(nullptr, o.stackSuperClass)); break;
        }
    }
}

std::vector<ParamBlock::Value> Builder::storedValues(const ParamModel& p) const {
    std::vector<ParamBlock::Value> values;
    values.reserve(p.values.size());
    const ParamType2 base = ParamBaseType(p.type);
    for (const ParamValue& v : p.values) {
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

Object* Builder::makePluginObject(const ObjectModel& o) {
    const bool objectClass = o.superClass == GEOMOBJECT_CLASS_ID || o.superClass == CAMERA_CLASS_ID ||
                             o.superClass == LIGHT_CLASS_ID || o.superClass == SHAPE_CLASS_ID ||
                             o.superClass == HELPER_CLASS_ID;
    if (!objectClass || !host_.plugins() || !host_.plugins()->find(o.superClass, o.classId)) return nullptr;
    // The plug-in builds its object's geometry itself; an entry that gives one (or stands for
    // another object) keeps it only as the class-id object.
    if (o.hasMesh || o.conversion != MeshConversion::None || o.source >= 0) return nullptr;
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
    switch (m.kind) {
    case MapKind::Bitmap: {
        auto* bitmap = static_cast<BitmapTexture*>(map);
        if (m.size) bitmap->setBitmapSize(m.size->first, m.size->second);
        if (m.filter) bitmap->SetFilterType(*m.filter);
        if (m.alphaSource) bitmap->SetAlphaSource(*m.alphaSource);
        if (m.alphaAsMono) bitmap->SetAlphaAsMono(*m.alphaAsMono);
        break;
    }
    case MapKind::Cube: {
        auto* cube = static_cast<CubeMap*>(map);
        if (m.paramBlocks) {
            ParamBlock* block = nullptr;
            if (!m.paramBlocks->empty()) {
                const ParamBlockModel& b = m.paramBlocks->front();
                block = new ParamBlock(&scene_, b.id, b.name);
                fillBlock(*block, b);
            }
            cube->setParamBlock(block);
        }
        if (m.files) {
            if (IParamBlock2* block = cube->GetParamBlock(0)) {
                for (int i = 0; i < 6; ++i) {
                    const auto& name = (*m.files)[i];
                    block->SetValue(ACUBIC_BITMAP_NAMES_PARAM, 0, name ? name->c_str() : nullptr, i);
                }
            }
        }
        break;
    }
    case MapKind::Other: {
        auto* other = static_cast<GenericTexmap*>(map);
        for (size_t i = 0; i < m.subMaps.size(); ++i) other->SetSubTexmap(static_cast<int>(i), mapAt(m.subMaps[i]));
        // SetSubTexmap grows the slots only as far as the last map; keep trailing empty slots too.
        other->setNumSubTexmaps(static_cast<int>(m.subMaps.size()));
        if (m.paramBlocks)
            for (const ParamBlockModel& b : *m.paramBlocks) fillBlock(*other->addParamBlock(b.id, b.name), b);
        break;
    }
    }
}

void Builder::wireMaterial(const MaterialModel& m, Mtl* mtl) {
    mtl->SetMtlFlag(MTL_TEX_DISPLAY_ENABLED, m.showInViewport);
    addAppData(*mtl, m.appData);
    switch (m.kind) {
    case MaterialKind::Standard: {
        auto* standard = static_cast<StdMat*>(mtl);
        if (m.ambient) standard->SetAmbient(*m.ambient, 0);
        if (m.diffuse) standard->SetDiffuse(*m.diffuse, 0);
        if (m.specular) standard->SetSpecular(*m.specular, 0);
        if (m.glossiness) standard->SetShininess(*m.glossiness, 0);
        if (m.specularLevel) standard->SetShinStr(*m.specularLevel, 0);
        if (m.opacity) standard->SetOpacity(*m.opacity, 0);
        if (m.selfIllumination) standard->SetSelfIllum(*m.selfIllumination, 0);
        if (m.twoSided) standard->SetTwoSided(*m.twoSided);
        for (int slot = 0; slot < STD_NUM_TEXMAPS; ++slot) {
            if (m.maps[slot] >= 0) standard->SetSubTexmap(slot, mapAt(m.maps[slot]));
            if (m.amounts[slot]) standard->SetTexmapAmt(slot, *m.amounts[slot], 0);
            if (m.enabled[slot]) standard->EnableMap(slot, *m.enabled[slot]);
        }
        break;
    }
    case MaterialKind::Multi: {
        auto* multi = static_cast<MultiMtl*>(mtl);
        for (const MultiSlot& slot : m.slots) multi->SetSubMtlAndName(slot.slot, materialAt(slot.material), slot.name);
        break;
    }
    case MaterialKind::Other: {
        auto* other = static_cast<GenericMaterial*>(mtl);
        other->setNumSubMtls(static_cast<int>(m.subMaterials.size()));
        for (size_t i = 0; i < m.subMaterials.size(); ++i) other->SetSubMtl(static_cast<int>(i), materialAt(m.subMaterials[i]));
        other->setNumSubTexmaps(static_cast<int>(m.subMaps.size()));
        for (size_t i = 0; i < m.subMaps.size(); ++i) other->SetSubTexmap(static_cast<int>(i), mapAt(m.subMaps[i]));
        other->setReportsMulti(m.reportsMulti);
        if (m.diffuse) other->setDiffuse(*m.diffuse);
        break;
    }
    }
    if (m.activeMap >= 0) mtl->SetActiveTexmap(mapAt(m.activeMap));
}

void Builder::wireObject(const ObjectModel& o, Object* object) {
    addAppData(*object, o.appData);
    switch (o.kind) {
    case ObjectKind::Mesh:
    case ObjectKind::Poly: break;
    case ObjectKind::Generic: {
        if (pluginMade_.count(object)) {
            // Stored values go back as the host loads them, without the reactions of edits.
            for (const ParamBlockModel& b : o.paramBlocks) {
                auto* block = static_cast<ParamBlock*>(object->GetParamBlockByID(b.id));
                for (const ParamModel& p : b.params) block->restoreValues(p.id, p.type, storedValues(p));
            }
            break;
        }
        auto* generic = static_cast<GenericObject*>(object);
        if (o.hasMesh) generic->setMesh(o.mesh, o.conversion);
        if (o.source >= 0) generic->setSourceObject(objectAt(o.source));
        for (const ParamBlockModel& b : o.paramBlocks) fillBlock(*generic->addParamBlock(b.id, b.name), b);
        break;
    }
    case ObjectKind::Light: {
        auto* light = static_cast<GenLight*>(object);
        const LightModel& l = o.light;
        if (l.color) light->SetRGBColor(0, *l.color);
        if (l.intensity) light->SetIntensity(0, *l.intensity);
        for (int i = 0; i < 4; ++i)
            if (l.attenuation[i]) light->SetAtten(0, ATTEN1_START + i, *l.attenuation[i]);
        if (l.hotspot) light->SetHotspot(0, *l.hotspot);
        if (l.falloff) light->SetFallsize(0, *l.falloff);
        const auto& switches = lightSwitches();
        for (const auto& [index, value] : l.switches) (light->*switches[index].set)(value);
        break;
    }
    case ObjectKind::Camera: {
        auto* camera = static_cast<Camera*>(object);
        if (o.nearClip || o.farClip)
            camera->setClip(o.nearClip.value_or(camera->GetNearClip(0)), o.farClip.value_or(camera->GetFarClip(0)));
        break;
    }
    case ObjectKind::Stack: {
        auto* stack = static_cast<DerivedObject*>(object);
        stack->ReferenceObject(objectAt(o.base));
        for (const ModifierModel& m : o.modifiers) {
            Modifier* modifier = nullptr;
            if (m.isSkin) {
                SkinModifier* skin = scene_.newSkin();
                for (const auto& [bone, tm] : m.bones) skin->addBone(nodeAt(bone), tm);
                skin->setSkinInitTM(m.skinMatrix);
                skin->setNumPoints(static_cast<int>(m.weights.size()));
                for (size_t v = 0; v < m.weights.size(); ++v) skin->setWeights(static_cast<int>(v), m.weights[v]);
                modifier = skin;
            } else {
                GenericModifier* generic = scene_.newModifier(m.classId, m.name);
                generic->setEnabled(m.enabled);
                modifier = generic;
            }
            addAppData(*modifier, m.appData);
            // Modifiers are listed top first; each new one goes below those before it.
            stack->AddModifier(modifier, stack->NumModifiers());
        }
        break;
    }
    }
}

void Builder::wireNode(const NodeModel& n, Node* node) {
    if (n.keys.empty()) {
        node->setLocalTM(n.transform);
    } else {
        for (const KeyModel& key : n.keys) node->addKey(key.tick, key.tm);
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

void buildScene(Host& host, const SceneModel& model) { Builder(host, model).build(); }

}  // namespace headless::document

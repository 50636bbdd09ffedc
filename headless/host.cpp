#include "headless/host.h"

#include <cmath>

#include <filesystem>
#include <memory>

namespace headless {

Host::Host() : scene_(std::make_unique<Scene>(this)) { previous_ = InstallHostServices(this); }

Host::~Host() {
    // Global utilities stop first, while the scene they follow is still there; an open utility is
    // closed as the host's panel goes away.
    stopGlobalUtilities();
    closeUtility();
    selection_.clear();
    // The scene goes first: its items report their deletion to this host while it is installed.
    scene_.reset();
    InstallHostServices(previous_);
}

void Host::newScene() {
    selection_.clear();
    scene_.reset();
    scene_ = std::make_unique<Scene>(this);
}

// ---- Running plug-in commands ----

int Host::exportFile(const std::string& path, bool suppressPrompts, uint32_t options) {
    if (!plugins_) return -1;
    std::string ext = std::filesystem::path(path).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    return exportFile(plugins_->findExporterFor(ext), path, suppressPrompts, options);
}

int Host::exportFile(ClassDesc* exporter, const std::string& path, bool suppressPrompts, uint32_t options) {
    if (!exporter || exporter->SuperClassID() != SCENE_EXPORT_CLASS_ID) return -1;
    std::unique_ptr<SceneExport> command(static_cast<SceneExport*>(exporter->Create(false)));
    if (!command) return -1;
    ExportInterface ei;
    return command->DoExport(path.c_str(), &ei, this, suppressPrompts, options);
}

int Host::importFile(const std::string& path, bool suppressPrompts) {
    if (!plugins_) return -1;
    std::string ext = std::filesystem::path(path).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    return importFile(plugins_->findImporterFor(ext), path, suppressPrompts);
}

int Host::importFile(ClassDesc* importer, const std::string& path, bool suppressPrompts) {
    if (!importer || importer->SuperClassID() != SCENE_IMPORT_CLASS_ID) return -1;
    std::unique_ptr<SceneImport> command(static_cast<SceneImport*>(importer->Create(false)));
    if (!command) return -1;
    ImportInterface ii(*this);
    return command->DoImport(path.c_str(), &ii, this, suppressPrompts);
}

// ---- HostServices ----

TriObject* Host::NewTriObject() { return scene_->newTriObject(); }
StdMat* Host::NewStdMat() { return scene_->newStdMat(); }
MultiMtl* Host::NewMultiMtl() { return scene_->newMultiMtl(); }
BitmapTex* Host::NewBitmapTex() { return scene_->newBitmapTex(); }

IDerivedObject* Host::NewDerivedObject(Object* obj) { return scene_->newDerivedObject(obj); }

ILayer* Host::Layers::CreateLayer(const char* name) {
    if (!name || !*name || host_.scene().findLayer(name)) return nullptr;
    return host_.scene().newLayer(name);
}

ILayer* Host::Layers::GetLayer(const char* name) { return name ? host_.scene().findLayer(name) : nullptr; }

IParamBlock2* Host::NewParamBlock2(const ParamBlockDesc2& desc, ReferenceMaker* owner) {
    auto* block = new ParamBlock(scene_.get(), desc);
    block->SetOwner(owner);
    return block;
}

void Host::TargetDeleted(Animatable* target) {
    if (scene_) scene_->forget(target);
    forgetDependencies(target);
}

void Host::DependentsNotified(ReferenceTarget* target, Interval changeInterval, PartID partID, RefMessage message) {
    notifications_.push_back({target, partID, message});
    tellDependents(target, changeInterval, partID, message);
}

intptr_t Host::RunDialog(ModuleHandle, const DialogTemplate& dialog, WindowHandle parent, DialogProc proc,
                         intptr_t initParam) {
    return ui_.runDialog(dialog, parent, proc, initParam);
}

int Host::ShowMessageBox(WindowHandle, const char* text, const char* caption, uint32_t type) {
    return ui_.messageBox(text, caption, type);
}

WindowHandle Host::ActiveWindow() {
    WindowHandle dialog = ui_.activeDialog();
    return dialog ? dialog : GetMainWindow();
}

// ---- Interface ----

INode* Host::GetRootNode() { return scene_->root(); }

INode* Host::GetINodeByName(const char* name) { return name ? scene_->findNode(name) : nullptr; }

INode* Host::CreateObjectNode(Object* obj) {
    Node* node = scene_->createNode(obj ? obj->GetObjectName() : "");
    if (obj) node->SetObjectRef(obj);
    return node;
}

void* Host::CreateInstance(SClass_ID superClassID, Class_ID classID) {
    // Classes the host itself provides.
    if (superClassID == GEOMOBJECT_CLASS_ID && classID == TRIOBJ_CLASS_ID) return static_cast<Object*>(scene_->newTriObject());
    if (superClassID == GEOMOBJECT_CLASS_ID && (classID == POLYOBJ_CLASS_ID || classID == EPOLYOBJ_CLASS_ID))
        return static_cast<Object*>(scene_->newPolyObject(Mesh(), classID));
    if (superClassID == MATERIAL_CLASS_ID && classID == DMTL_CLASS_ID) return static_cast<Mtl*>(scene_->newStdMat());
    if (superClassID == MATERIAL_CLASS_ID && classID == MULTI_CLASS_ID) return static_cast<Mtl*>(scene_->newMultiMtl());
    if (superClassID == TEXMAP_CLASS_ID && classID == BMTEX_CLASS_ID) return static_cast<Texmap*>(scene_->newBitmapTex());
    if (superClassID == TEXMAP_CLASS_ID && classID == ACUBIC_CLASS_ID) return static_cast<Texmap*>(scene_->newCubeMap());
    if (superClassID == OSM_CLASS_ID && classID == SKIN_CLASSID) return static_cast<Modifier*>(scene_->newSkin());
    if (superClassID == HELPER_CLASS_ID && classID == DUMMY_CLASS_ID)
        return static_cast<Object*>(scene_->newObject(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"));
    if (superClassID == GEOMOBJECT_CLASS_ID && classID == JOINT_OBJECT_A_CLASS_ID)
        return static_cast<Object*>(scene_->newObject(GEOMOBJECT_CLASS_ID, JOINT_OBJECT_A_CLASS_ID, "Bone"));
    if (superClassID == LIGHT_CLASS_ID) {
        for (int type = OMNI_LIGHT; type <= TDIR_LIGHT; ++type)
            if (Light::ClassForType(type) == classID) return static_cast<Object*>(scene_->newLight(type));
    }
    if (superClassID == CAMERA_CLASS_ID && (classID == SIMPLE_CAMERA_CLASS_ID || classID == LOOKAT_CAMERA_CLASS_ID))
        return static_cast<Object*>(scene_->newCamera(0.785398f, classID));
    if (!plugins_) return nullptr;
    void* created = plugins_->create(superClassID, classID);
    if (!created) return nullptr;
    // Scene items made by plug-ins belong to the scene like the host's own.
    switch (superClassID) {
    case GEOMOBJECT_CLASS_ID:
    case CAMERA_CLASS_ID:
    case LIGHT_CLASS_ID:
    case SHAPE_CLASS_ID:
    case HELPER_CLASS_ID: scene_->adopt(static_cast<Object*>(created)); break;
    case OSM_CLASS_ID:
    case WSM_CLASS_ID: scene_->adopt(static_cast<Modifier*>(created)); break;
    case MATERIAL_CLASS_ID: scene_->adopt(static_cast<Mtl*>(created)); break;
    case TEXMAP_CLASS_ID: scene_->adopt(static_cast<Texmap*>(created)); break;
    default: break;
    }
    return created;
}

INode* Host::GetSelNode(int i) {
    if (i < 0 || i >= GetSelNodeCount()) return nullptr;
    return selection_[i];
}

void Host::SelectNode(INode* node, bool clearSelection) {
    if (clearSelection) ClearNodeSelection();
    auto* n = dynamic_cast<Node*>(node);
    if (!n || n->IsRootNode() || n->Selected()) return;
    n->setSelectedFlag(true);
    selection_.push_back(n);
}

void Host::DeselectNode(INode* node) {
    for (auto it = selection_.begin(); it != selection_.end(); ++it) {
        if (*it == node) {
            (*it)->setSelectedFlag(false);
            selection_.erase(it);
            return;
        }
    }
}

void Host::ClearNodeSelection() {
    for (Node* n : selection_) n->setSelectedFlag(false);
    selection_.clear();
}

void Host::SetTicksPerFrame(int ticks) {
    if (ticks > 0) ticksPerFrame_ = ticks;
}

Point3 Host::GetAmbient(TimeValue, Interval* valid) {
    if (valid) *valid = FOREVER;
    return ambient_;
}

void Host::ProgressStart(const char* title, bool showBar, ProgressFn fn, void* arg) {
    ui_.progressStart(title, showBar);
    if (fn) fn(arg);
}

void Host::ProgressUpdate(int percent, bool showPercent, const char* title) {
    ui_.progressUpdate(percent, showPercent, title);
}

void Host::ProgressEnd() { ui_.progressEnd(); }

WindowHandle Host::AddRollupPage(ModuleHandle module, int templateId, DialogProc proc, const char* title,
                                 IParamBlock2* block, uint32_t rollupFlags) {
    const DialogTemplate* dialog = FindDialogTemplate(module, templateId);
    if (!dialog) return nullptr;
    return ui_.openRollupPage(*dialog, title ? title : "", block, proc, 0, rollupFlags);
}

WindowHandle Host::AddRollupPage(ModuleHandle module, int templateId, DialogProc proc, const char* title,
                                 intptr_t param, uint32_t rollupFlags, int category) {
    const DialogTemplate* dialog = FindDialogTemplate(module, templateId);
    if (!dialog) return nullptr;
    return ui_.openRollupPage(*dialog, title ? title : "", nullptr, proc, param, rollupFlags, category);
}

void Host::DeleteRollupPage(WindowHandle page) { ui_.closeRollupPage(page); }

void Host::InvalidateRollupPages(IParamBlock2* block) {
    if (!block) return;
    for (const auto& page : ui_.rollupPages())
        if (page->isOpen() && page->block() == block) page->refresh();
}

UtilityObj* Host::openUtility(ClassDesc* desc) {
    closeUtility();
    if (!desc || desc->SuperClassID() != UTILITY_CLASS_ID) return nullptr;
    auto* utility = static_cast<UtilityObj*>(desc->Create(false));
    if (!utility) return nullptr;
    utility_ = utility;
    utility->BeginEditParams(this, &utilityPanel_);
    return utility;
}

void Host::closeUtility() {
    UtilityObj* utility = utility_;
    if (!utility) return;
    utility_ = nullptr;
    utility->EndEditParams(this, &utilityPanel_);
    utility->DeleteThis();
}

float Host::SnapAngle(float angle) {
    if (!(angleSnap_ > 0.0f)) return angle;
    return std::round(angle / angleSnap_) * angleSnap_;
}

}  // namespace headless

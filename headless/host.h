#pragma once
// The headless host: a complete modelling host living in memory. Constructing a Host installs it as
// the running host (GetCOREInterface() and every host function then reach it); destroying it frees
// its scene and restores the host installed before.
//
//     headless::Host host;
//     headless::PluginRegistry plugins;
//     plugins.loadFolder(headless::DefaultPluginFolder("", argv0));
//     host.setPlugins(&plugins);
//     host.ui().queueDialog({headless::DialogStep::click(1003)});
//     int result = host.exportFile("out.zeq");
//
// Scene settings start as a new scene of the host has them: 30 frames per second (160 ticks per
// frame), animation range frames 0 to 100, time 0, black ambient light, 640 × 480 render size.
#include "host/host_services.h"
#include "host/scene_building.h"
#include "headless/creation.h"
#include "headless/import_interface.h"
#include "headless/lights.h"
#include "headless/materials.h"
#include "headless/objects.h"
#include "headless/param_block.h"
#include "headless/plugin_loader.h"
#include "headless/remap_table.h"
#include "headless/rollup_page.h"
#include "headless/scene.h"
#include "headless/scene_node.h"
#include "headless/skin_modifier.h"
#include "headless/ui_services.h"
#include "headless/viewport.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace headless {

// A change notice sent by a scene item (ReferenceTarget::NotifyDependents).
struct Notification {
    ReferenceTarget* target = nullptr;
    PartID part = 0;
    RefMessage message = 0;
};

class Host : public HostServices, public IObjParam {
public:
    Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    ~Host() override;

    Scene& scene() { return *scene_; }
    UiServices& ui() { return ui_; }
    // Replaces the scene by a new, empty one (settings stay).
    void newScene();

    // Plug-in classes the host can create (CreateInstance) and run (exportFile, importFile).
    void setPlugins(PluginRegistry* plugins) { plugins_ = plugins; }
    PluginRegistry* plugins() const { return plugins_; }

    // Runs the export command of the exporter registered for the file's extension (or of the given
    // class): creates the exporter, calls DoExport and destroys it. Returns its result, or -1 when no
    // exporter is found.
    int exportFile(const std::string& path, bool suppressPrompts = false, uint32_t options = 0);
    int exportFile(ClassDesc* exporter, const std::string& path, bool suppressPrompts = false, uint32_t options = 0);
    // The same for the import command.
    int importFile(const std::string& path, bool suppressPrompts = false);
    int importFile(ClassDesc* importer, const std::string& path, bool suppressPrompts = false);

    // What tests read back.
    int redrawCount() const { return redraws_; }
    const std::vector<Notification>& notifications() const { return notifications_; }
    void clearNotifications() { notifications_.clear(); }

    // ---- HostServices ----
    Interface* CoreInterface() override { return this; }
    TriObject* NewTriObject() override;
    StdMat* NewStdMat() override;
    MultiMtl* NewMultiMtl() override;
    BitmapTex* NewBitmapTex() override;
    IParamBlock2* NewParamBlock2(const ParamBlockDesc2& desc, ReferenceMaker* owner) override;
    IDerivedObject* NewDerivedObject(Object* obj) override;
    ILayerManager* LayerManager() override { return &layerManager_; }
    void TargetDeleted(Animatable* target) override;
    void DependentsNotified(ReferenceTarget* target, Interval changeInterval, PartID partID,
                            RefMessage message) override;
    intptr_t RunDialog(ModuleHandle module, const DialogTemplate& dialog, WindowHandle parent, DialogProc proc,
                       intptr_t initParam) override;
    int ShowMessageBox(WindowHandle parent, const char* text, const char* caption, uint32_t type) override;
    WindowHandle ActiveWindow() override;
    bool RegisterNotification(NOTIFYPROC proc, void* param, int code) override;
    bool UnRegisterNotification(NOTIFYPROC proc, void* param, int code) override;
    void BroadcastNotification(int code, void* callParam) override;
    void RegisterCommandModeChangedCallback(CommandModeChangedCallback* callback) override;
    void UnRegisterCommandModeChangedCallback(CommandModeChangedCallback* callback) override;
    // Interfaces registered with the host first, then the core interfaces the loaded plug-in
    // classes publish.
    FPInterface* FindCoreInterface(Interface_ID id) override;
    bool RegisterCoreInterface(FPInterface* fpInterface) override;
    bool UnRegisterCoreInterface(FPInterface* fpInterface) override;
    void ReferenceReplaced(ReferenceMaker* maker, ReferenceTarget* oldTarget, ReferenceTarget* newTarget) override;

    // ---- Global utilities, command modes and node creation (host_events.cpp) ----
    // Starts the global utilities of the plug-in classes (super class GUP_CLASS_ID) as the host does
    // at start-up: each is created and started; those that answer GUPRESULT_KEEP stay, the others
    // are destroyed. Returns how many stay.
    int startGlobalUtilities();
    // Stops the running global utilities (Stop, then DeleteThis), the last started first. The
    // destructor does this too.
    void stopGlobalUtilities();
    const std::vector<GUP*>& globalUtilities() const { return utilities_; }
    // Makes mode id the current command mode (the registered callbacks hear of the change);
    // leaveCommandMode returns to no mode. Entering the current mode again is a change too.
    void enterCommandMode(int id);
    void leaveCommandMode();
    // Id of the current command mode; 0 for none.
    int commandMode() const { return commandMode_ ? commandMode_->ID() : 0; }
    // Creates a node as the create command mode does: the new node (child of the root, showing obj)
    // becomes the selection and NOTIFY_NODE_CREATED announces it. No selection notice is sent.
    Node* createNodeInteractively(Object* obj, const std::string& name);
    // Mouse messages the rollup pages passed on (RollupMouseMessage).
    struct RollupMouseEvent {
        WindowHandle page = nullptr;
        uint32_t message = 0;
    };
    const std::vector<RollupMouseEvent>& rollupMouseEvents() const { return mouseEvents_; }

    // ---- Interface ----
    INode* GetRootNode() override;
    INode* GetINodeByName(const char* name) override;
    INode* CreateObjectNode(Object* obj) override;
    void* CreateInstance(SClass_ID superClassID, Class_ID classID) override;
    int GetSelNodeCount() override { return static_cast<int>(selection_.size()); }
    INode* GetSelNode(int i) override;
    void SelectNode(INode* node, bool clearSelection = true) override;
    void DeselectNode(INode* node) override;
    void ClearNodeSelection() override;
    TimeValue GetTime() override { return time_; }
    void SetTime(TimeValue t) override { time_ = t; }
    Interval GetAnimRange() override { return animRange_; }
    void SetAnimRange(Interval range) override { animRange_ = range; }
    int GetTicksPerFrame() override { return ticksPerFrame_; }
    // Ticks per frame must be positive; other values are ignored.
    void SetTicksPerFrame(int ticks) override;
    Point3 GetAmbient(TimeValue t, Interval* valid = nullptr) override;
    void SetAmbient(TimeValue, const Point3& color) override { ambient_ = color; }
    int GetRendWidth() override { return renderWidth_; }
    int GetRendHeight() override { return renderHeight_; }
    void SetRendWidth(int width) override { renderWidth_ = width; }
    void SetRendHeight(int height) override { renderHeight_ = height; }
    WindowHandle GetMainWindow() override { return &mainWindow_; }
    void RedrawViews(TimeValue) override { ++redraws_; }
    void ForceCompleteRedraw() override { ++redraws_; }
    void ProgressStart(const char* title, bool showBar, ProgressFn fn, void* arg) override;
    void ProgressUpdate(int percent, bool showPercent = true, const char* title = nullptr) override;
    void ProgressEnd() override;
    bool GetCancel() override { return false; }

    // ---- IObjParam: rollup pages, kept by the UI services (ui().rollupPages()) ----
    WindowHandle AddRollupPage(ModuleHandle module, int templateId, DialogProc proc, const char* title,
                               IParamBlock2* block = nullptr, uint32_t rollupFlags = 0) override;
    WindowHandle AddRollupPage(ModuleHandle module, int templateId, DialogProc proc, const char* title,
                               intptr_t param, uint32_t rollupFlags, int category) override;
    void DeleteRollupPage(WindowHandle page) override;
    void InvalidateRollupPages(IParamBlock2* block) override;
    void RollupMouseMessage(WindowHandle page, uint32_t message, uintptr_t, intptr_t) override {
        mouseEvents_.push_back({page, message});
    }

    // ---- The utility panel ----
    // Opens the utility of a class (super class UTILITY_CLASS_ID): the descriptor makes it and it
    // shows its pages (BeginEditParams). A utility already open is closed first. Returns the
    // utility, or null when the class makes none.
    UtilityObj* openUtility(ClassDesc* desc);
    // Closes the open utility (EndEditParams); nothing when none is open.
    void closeUtility();
    UtilityObj* openedUtility() const { return utility_; }

    // Angle snap: SnapAngle rounds to multiples of step (radians); 0 turns it off (the default).
    void setAngleSnap(float step) { angleSnap_ = step; }
    float SnapAngle(float angle) override;

private:
    HostServices* previous_ = nullptr;
    std::unique_ptr<Scene> scene_;
    UiServices ui_;
    PluginRegistry* plugins_ = nullptr;
    std::vector<Node*> selection_;
    TimeValue time_ = 0;
    Interval animRange_{0, 100 * (TIME_TICKSPERSEC / 30)};
    int ticksPerFrame_ = TIME_TICKSPERSEC / 30;
    Point3 ambient_;
    int renderWidth_ = 640;
    int renderHeight_ = 480;
    int redraws_ = 0;
    int mainWindow_ = 0;  // its address is the main window's handle
    std::vector<Notification> notifications_;
    // The utility panel's handle, which closes the open utility.
    class UtilityPanel : public IUtil {
    public:
        explicit UtilityPanel(Host& host) : host_(host) {}
        void CloseUtility() override { host_.closeUtility(); }

    private:
        Host& host_;
    };
    UtilityPanel utilityPanel_{*this};
    // The scene's layers by name.
    class Layers : public ILayerManager {
    public:
        explicit Layers(Host& host) : host_(host) {}
        ILayer* CreateLayer(const char* name) override;
        ILayer* GetLayer(const char* name) override;

    private:
        Host& host_;
    };
    Layers layerManager_{*this};
    UtilityObj* utility_ = nullptr;
    float angleSnap_ = 0.0f;

    // Notification registrations in order, command-mode callbacks, the modes entered so far (owned,
    // so that a callback may keep the old mode's pointer for the call), core interfaces handed to
    // the host, the running global utilities, and which makers reference which targets (one entry
    // per reference).
    struct NotifyRegistration {
        NOTIFYPROC proc = nullptr;
        void* param = nullptr;
        int code = 0;
    };
    std::vector<NotifyRegistration> notifyRegistrations_;
    std::vector<CommandModeChangedCallback*> modeCallbacks_;
    class Mode : public CommandMode {
    public:
        explicit Mode(int id) : id_(id) {}
        int ID() override { return id_; }

    private:
        int id_;
    };
    std::vector<std::unique_ptr<Mode>> modes_;
    Mode* commandMode_ = nullptr;
    std::vector<FPInterface*> coreInterfaces_;
    std::vector<GUP*> utilities_;
    std::multimap<ReferenceTarget*, ReferenceMaker*> dependents_;
    std::vector<RollupMouseEvent> mouseEvents_;

    // Passes a change notice of target to the makers that reference it.
    void tellDependents(ReferenceTarget* target, Interval changeInterval, PartID partID, RefMessage message);
    // A deleted item is no maker any more; the makers that referenced it hear REFMSG_TARGET_DELETED.
    void forgetDependencies(Animatable* item);
};

}  // namespace headless

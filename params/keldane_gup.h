#pragma once
// The EngineParams global utility. The host starts it with itself; from Start to Stop it follows
// the selection, the create mode and created nodes (showing the parameter pages), watches nodes
// created with its pages for base-object replacement, and passes LOD nodes the host reports to the
// host's LOD interface.
#include "host/command_mode.h"
#include "host/notify.h"
#include "host/plugin.h"
#include "params/gup_reference_maker.h"
#include "params/param_panels.h"
#include "params/param_watch.h"

namespace zeq {

// Tells the panels when the command mode changes.
class GUPCommandModeChangedCallBack : public CommandModeChangedCallback {
public:
    explicit GUPCommandModeChangedCallBack(ParamPanels& panels) : panels_(panels) {}
    void ModeChanged(CommandMode* oldMode, CommandMode* newMode) override;

private:
    ParamPanels& panels_;
};

class KeldaneGUP : public GUP {
public:
    KeldaneGUP();
    ~KeldaneGUP() override;

    // Registers the command-mode callback and the notification handlers; stays loaded.
    uint32_t Start() override;
    // Unregisters everything Start registered, drops the watched nodes and takes the pages down.
    void Stop() override;
    intptr_t Control(uint32_t) override { return 0; }
    int Save(ISave*) override { return IO_OK; }
    int Load(ILoad*) override { return IO_OK; }
    void DeleteThis() override { delete this; }

    EngineParamStore& store() { return store_; }
    ParamWatch& watch() { return watch_; }
    GUPReferenceMaker& references() { return references_; }
    ParamPanels& panels() { return panels_; }
    bool started() const { return started_; }

private:
    static void onNotify(void* param, NotifyInfo* info);

    EngineParamStore store_;
    ParamWatch watch_;
    GUPReferenceMaker references_;
    ParamPanels panels_;
    GUPCommandModeChangedCallBack modeCallback_;
    bool started_ = false;
};

// Notification NOTIFY_NODE_TABLE: nodes holding a LOD object go to the second function of the host
// interface LOD_NODES_CORE_INTERFACE_ID, nodes whose parent holds one to its first function.
void passLodNodes(const INodeTab* nodes);

}  // namespace zeq

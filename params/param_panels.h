#pragma once
// The utility's rollup pages: which pages a selection or a newly created object gets, opening them
// in the host's command panel, filling them from the nodes they edit, and taking them down again.
//
// Pages are opened along two paths. The selection path follows every selection change (alpha,
// object, container and types pages for the selected nodes); the creation path serves the first
// node created after entering the create mode (object, alpha and types pages for that node) and
// lasts until the create mode is left. Each open page remembers what it was filled with in a
// PanelPage, which its dialog procedure reaches through the page's user data.
#include "params/engine_param_store.h"
#include "params/gup_reference_maker.h"

#include <array>
#include <vector>

class IObjParam;

namespace zeq {

class ParamPanels;

enum class PageKind { Alpha, Object, Container, Types };

// One open page and what its controls need between messages.
struct PanelPage {
    ParamPanels* panels = nullptr;
    PageKind kind = PageKind::Alpha;
    WindowHandle handle = nullptr;
    // The nodes the page is filled from while it opens (cleared afterwards: the page writes to the
    // selection, never to these pointers).
    std::vector<INode*> fillNodes;
    // Object page: a Sprite is among the nodes (its threshold and "Optimize" stay disabled).
    bool hasSprite = false;
    // Container page: the one container shown, when exactly one is addressed.
    INode* container = nullptr;
    bool singleContainer = false;
    // Types page: the kind of list shown and its number of names.
    bool multiChoice = false;
    int entries = 0;
};

class ParamPanels {
public:
    ParamPanels(EngineParamStore& store, GUPReferenceMaker& references, const HelperTypeLists& lists);
    ~ParamPanels();
    ParamPanels(const ParamPanels&) = delete;
    ParamPanels& operator=(const ParamPanels&) = delete;

    // Selection changed: the selection pages are replaced by the pages the new selection gets.
    void selectionChanged();
    // The command mode changed (ids, 0 for none): leaving the create mode takes the creation pages
    // down; entering it arms the creation path for the next created node.
    void commandModeChanged(int oldModeId, int newModeId);
    // A node was created: the first one after entering the create mode gets the creation pages.
    void nodeCreated(INode* node);
    // Takes down every page of either path.
    void removeSelectionPages();
    void removeCreationPages();

    EngineParamStore& store() { return store_; }
    bool creationMode() const { return creationMode_; }
    bool creationPagesOpen() const { return creationPagesOpen_; }
    // The page the host is opening right now (its procedure takes it on WM_INITDIALOG).
    static PanelPage* openingPage();

private:
    // Pages of both paths; a slot with a null handle is not open.
    enum Slot { SEL_ALPHA, SEL_OBJECT, SEL_CONTAINER, SEL_TYPES, NEW_ALPHA, NEW_OBJECT, NEW_TYPES, SLOT_COUNT };

    void open(Slot slot, PageKind kind, const std::vector<INode*>& nodes, const HelperTypeList* list = nullptr);
    // Opens the types page of a helper kind when its list has names.
    void openTypes(Slot slot, EngineObjectKind kind, const std::vector<INode*>& nodes);
    void close(Slot slot);

    EngineParamStore& store_;
    GUPReferenceMaker& references_;
    const HelperTypeLists& lists_;
    std::array<PanelPage, SLOT_COUNT> pages_;
    bool creationMode_ = false;
    bool creationPagesOpen_ = false;
};

// The host's rollup call needs the command panel's interface.
IObjParam* panelInterface();

}  // namespace zeq

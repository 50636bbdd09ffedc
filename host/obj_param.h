#pragma once
// The host's interface for editing an object's parameters in the command panel: the core interface
// plus rollup pages. BeginEditParams hands it to the object being edited; rollup pages added there
// stay until the object takes them down in EndEditParams.
#include "host/interface.h"
#include "host/paramblock.h"
#include "host/ui.h"

class IObjParam : public Interface {
public:
    // Adds a rollup page made from dialog template templateId of module, with title on its bar.
    // proc (may be null) receives the page's messages; block (may be null) is the parameter block
    // whose parameters the page's controls show. Returns the page's handle, null when the page
    // cannot be made (no such template).
    virtual WindowHandle AddRollupPage(ModuleHandle module, int templateId, DialogProc proc, const char* title,
                                       IParamBlock2* block = nullptr, uint32_t rollupFlags = 0) = 0;
    // The same with the value the page's procedure receives as lParam of WM_INITDIALOG, and the
    // category that places the page among the panel's pages (lower categories first).
    virtual WindowHandle AddRollupPage(ModuleHandle module, int templateId, DialogProc proc, const char* title,
                                       intptr_t param, uint32_t rollupFlags, int category) = 0;
    // Takes a page down; unknown or null handles are ignored.
    virtual void DeleteRollupPage(WindowHandle page) = 0;
    // Open pages showing block read its values again (after the owner changed them itself).
    virtual void InvalidateRollupPages(IParamBlock2* block) = 0;
    // Mouse messages (WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP) a page's procedure passes on, so
    // that the panel can be scrolled by dragging the page.
    virtual void RollupMouseMessage(WindowHandle page, uint32_t message, uintptr_t wParam, intptr_t lParam) {
        (void)page, (void)message, (void)wParam, (void)lParam;
    }
};

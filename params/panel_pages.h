#pragma once
// Dialog procedures of the four pages and the control helpers they share: showing a value that
// several nodes may disagree on, and reading a check box the user clicked.
#include "host/ui.h"
#include "params/param_panels.h"

#include <functional>
#include <optional>
#include <span>

namespace zeq {

intptr_t AlphaPageProc(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t ObjectPageProc(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t ContainerPageProc(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam);
// lParam of WM_INITDIALOG is the HelperTypeList shown.
intptr_t TypesPageProc(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam);

// A radio button and the stored value it stands for.
struct RadioChoice {
    int controlId;
    int value;
};

// The value all nodes share; none when they disagree (or there are no nodes).
std::optional<int> commonValue(const std::vector<INode*>& nodes, const std::function<int(INode*)>& valueOf);

// Checks the button of value, or none of the group when value is none (or no button has it).
void showRadio(DialogWindow* dlg, std::span<const RadioChoice> group, std::optional<int> value);
// The value of the checked button of the group; none when none is checked.
std::optional<int> checkedRadio(DialogWindow* dlg, std::span<const RadioChoice> group);
// The stored value of a radio button of the group; none when id is not one of them.
std::optional<int> radioValue(std::span<const RadioChoice> group, int controlId);
void enableRadios(DialogWindow* dlg, std::span<const RadioChoice> group, bool enabled);

// Shows a 0/1 value in a check box; nodes that disagree make it a three-state box showing the
// indeterminate state.
void showCheck(DialogWindow* dlg, int controlId, std::optional<int> value);
// A click left the check box in its new state: an indeterminate state is no value (none); any
// other makes the box an ordinary two-state box again and gives 0 or 1.
std::optional<int> clickedCheck(DialogWindow* dlg, int controlId);
bool isChecked(DialogWindow* dlg, int controlId);

// Sets a spinner or slider from the number typed into its linked edit field (kept within its
// limits) and returns the value; a field that holds no number shows the spinner's value again and
// gives none, so that nothing is written (nodes that disagree keep their values). A field left as
// it was shown gives the control's own value (the field may show it rounded) when entered, and
// none when the field only sent a command (a click into it), which must not write the first
// node's value over the others'.
std::optional<float> takeEditedValue(DialogWindow* dlg, int numericId, int editId, float low, float high,
                                     bool entered);

// The threshold spinner and field that the object and container pages share: set up with their
// limits, and written when the spinner changes or a value is entered in the field (a command or
// enter from the field). thresholdMessage is true when the message was one of these.
void setupThreshold(DialogWindow* dlg);
bool thresholdMessage(DialogWindow* dlg, EngineParamStore& store, uint32_t message, uintptr_t wParam);

// WM_INITDIALOG of the alpha, object and container pages: the page being opened becomes the
// dialog's user data, setup prepares the controls and fill shows the page's nodes (when there is
// a page).
void initPage(DialogWindow* dlg, void (*setup)(DialogWindow*), void (*fill)(DialogWindow*, PanelPage&));

// The page a message belongs to (set on WM_INITDIALOG); null before and after.
PanelPage* pageOf(DialogWindow* dlg);
// Common handling of every page: takes the page on WM_INITDIALOG, forgets it on WM_CLOSE and
// WM_DESTROY, and passes mouse messages to the panel. True when the message is handled.
bool handleCommonMessage(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam);

// WM_COMMAND's control id and notification code.
inline int commandId(uintptr_t wParam) { return static_cast<int>(wParam & 0xFFFF); }

}  // namespace zeq

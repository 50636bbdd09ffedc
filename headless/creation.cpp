// Scripted interactive creation: mouse events sent to an object's creation callback.
#include "headless/creation.h"

#include "headless/host.h"

namespace headless {

CreationResult createWithMouse(Host& host, Object* obj, Viewport& view, const std::vector<MouseEvent>& events) {
    CreationResult outcome;
    CreateMouseCallBack* callback = obj ? obj->GetCreateMouseCallBack() : nullptr;
    if (!callback) return outcome;

    INode* node = host.CreateObjectNode(obj);
    obj->BeginEditParams(&host, BEGIN_EDIT_CREATE, nullptr);
    Matrix3 mat;
    int point = 0;
    outcome.result = CREATE_CONTINUE;
    for (const MouseEvent& event : events) {
        ++outcome.eventsUsed;
        outcome.result = callback->proc(&view, event.message, point, 0, event.at, mat);
        if (outcome.result == CREATE_ABORT) break;
        node->SetNodeTM(0, mat);
        if (outcome.result == CREATE_STOP) break;
        if (event.message == MOUSE_POINT) ++point;
    }
    obj->EndEditParams(&host, END_EDIT_REMOVEUI, nullptr);
    if (outcome.result == CREATE_ABORT) {
        obj->DeleteThis();
        node->DeleteThis();
        return outcome;
    }
    outcome.node = node;
    return outcome;
}

}  // namespace headless

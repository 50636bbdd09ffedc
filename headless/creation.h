#pragma once
// Interactive creation in the headless host: a scripted sequence of mouse events drives an object's
// creation callback in a viewport, as the host's create mode does when the user places an object.
//
//     headless::Viewport view;
//     auto* obj = static_cast<Object*>(host.CreateInstance(GEOMOBJECT_CLASS_ID, classId));
//     headless::CreationResult r = headless::createWithMouse(host, obj, view,
//         {headless::MouseEvent::point(320, 240), headless::MouseEvent::move(330, 240),
//          headless::MouseEvent::point(340, 240)});
//
// The host makes a node for the object, shows the object's parameters (BeginEditParams with
// BEGIN_EDIT_CREATE), then sends each event to the callback with the number of the point being
// placed (0 for the first; it advances when a MOUSE_POINT is answered with CREATE_CONTINUE) and sets
// the node's matrix at time 0 to the matrix the callback wrote. It stops at CREATE_STOP, at
// CREATE_ABORT (the node and the object are deleted) or when the events run out (the object stays,
// half made, as when the user leaves create mode), and then ends parameter editing.
#include "headless/viewport.h"
#include "host/host.h"

#include <vector>

namespace headless {

class Host;

struct MouseEvent {
    int message = MOUSE_POINT;
    IPoint2 at;

    static MouseEvent point(int x, int y) { return {MOUSE_POINT, {x, y}}; }
    static MouseEvent move(int x, int y) { return {MOUSE_MOVE, {x, y}}; }
    static MouseEvent abort() { return {MOUSE_ABORT, {}}; }
};

struct CreationResult {
    INode* node = nullptr;      // the new node; null when the creation was aborted or never began
    int result = CREATE_ABORT;  // the callback's last answer
    int eventsUsed = 0;         // events sent before the creation stopped or aborted
};

// Runs the creation of obj (which the scene adopts). An object without a creation callback is not
// created: the result is CREATE_ABORT with no node, and obj is left to the caller.
CreationResult createWithMouse(Host& host, Object* obj, Viewport& view, const std::vector<MouseEvent>& events);

}  // namespace headless

#pragma once
// Interactive creation: while the user places a new object with the mouse, the host sends the
// object's creation callback one message per mouse event (MOUSE_POINT when a button is released,
// MOUSE_MOVE while dragging, MOUSE_ABORT when cancelled) with the number of the point being placed
// (0 for the first) and the screen point. The callback writes the new node's matrix into mat and
// answers CREATE_CONTINUE, CREATE_STOP (the object is finished) or CREATE_ABORT (the host deletes
// the object and its node).
#include "host/ids.h"
#include "host/matrix3.h"
#include "host/point3.h"

class ViewExp;

class CreateMouseCallBack {
public:
    virtual ~CreateMouseCallBack() = default;
    virtual int proc(ViewExp* vpt, int msg, int point, int flags, IPoint2 m, Matrix3& mat) = 0;
};

#pragma once
// The host's core interface: the scene (root node, node lookup, selection), time (current time,
// animation range, frame rate), scene settings (ambient colour, render size), object creation,
// viewport redraw and the progress display. Plug-ins reach it with GetCOREInterface().
#include "host/node.h"
#include "host/ui.h"

class Interface {
public:
    virtual ~Interface() = default;

    // ---- Scene ----
    virtual INode* GetRootNode() = 0;
    // First node with that name in depth-first order; null when there is none.
    virtual INode* GetINodeByName(const char* name) = 0;
    // Creates a node showing obj (which may be null) as the last child of the scene root.
    virtual INode* CreateObjectNode(Object* obj) = 0;
    // Creates an object of a class registered with the host (a host class or a plug-in class);
    // null for an unknown class.
    virtual void* CreateInstance(SClass_ID superClassID, Class_ID classID) = 0;

    // ---- Selection, in the order the nodes were selected ----
    virtual int GetSelNodeCount() = 0;
    virtual INode* GetSelNode(int i) = 0;
    virtual void SelectNode(INode* node, bool clearSelection = true) = 0;
    virtual void DeselectNode(INode* node) = 0;
    virtual void ClearNodeSelection() = 0;

    // ---- Time ----
    virtual TimeValue GetTime() = 0;
    virtual void SetTime(TimeValue t) = 0;
    virtual Interval GetAnimRange() = 0;
    virtual void SetAnimRange(Interval range) = 0;
    virtual int GetTicksPerFrame() = 0;
    virtual void SetTicksPerFrame(int ticks) = 0;

    // ---- Scene settings ----
    virtual Point3 GetAmbient(TimeValue t, Interval* valid = nullptr) = 0;
    virtual void SetAmbient(TimeValue t, const Point3& color) = 0;
    virtual int GetRendWidth() = 0;
    virtual int GetRendHeight() = 0;
    virtual void SetRendWidth(int width) = 0;
    virtual void SetRendHeight(int height) = 0;

    // ---- Windows and views ----
    virtual WindowHandle GetMainWindow() = 0;
    virtual void RedrawViews(TimeValue t) = 0;
    // An angle (radians) after the host's angle snap; unchanged while angle snap is off.
    virtual float SnapAngle(float angle) = 0;
    virtual void ForceCompleteRedraw() = 0;

    // ---- Progress display ----
    // Starts the display with a title; fn (if any) is called once with arg.
    virtual void ProgressStart(const char* title, bool showBar, ProgressFn fn, void* arg) = 0;
    // Sets the percentage (0..100); title, when given, replaces the text shown.
    virtual void ProgressUpdate(int percent, bool showPercent = true, const char* title = nullptr) = 0;
    virtual void ProgressEnd() = 0;
    virtual bool GetCancel() = 0;
};

// The core interface of the running host; null when no host runs.
Interface* GetCOREInterface();

// Ticks per frame of the running host (160 at 30 frames per second; 160 when no host runs).
int GetTicksPerFrame();
void SetTicksPerFrame(int ticks);
// Frames per second (TIME_TICKSPERSEC / ticks per frame).
int GetFrameRate();

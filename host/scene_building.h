#pragma once
// What importers use to build scenes beyond nodes and objects: modifier stacks, the host's layers,
// and animate mode for setting keys.
#include "host/node.h"
#include "host/object.h"

// A new modifier stack (super class 2) over obj, without modifiers, made by the running host; null
// when the host makes none.
IDerivedObject* CreateDerivedObject(Object* obj);

// The host's layers by name. Plug-ins reach it with GetLayerManager().
class ILayerManager {
public:
    virtual ~ILayerManager() = default;
    // A new layer with that name; null when the name is empty or taken.
    virtual ILayer* CreateLayer(const char* name) = 0;
    // The layer with that name; null when there is none.
    virtual ILayer* GetLayer(const char* name) = 0;
};

// The running host's layer manager; null when no host runs or it has no layers.
ILayerManager* GetLayerManager();

// Animate mode: while it is on, setting a node's transform at a time sets a key at that time
// instead of replacing the node's one static transform.
void AnimateOn();
void AnimateOff();
bool Animating();

#pragma once
// Command modes: what the mouse does in the viewports (select, move, create, ...). The host keeps
// one current mode; plug-ins that follow mode changes register a callback.
#include "host/ids.h"

class CommandMode {
public:
    virtual ~CommandMode() = default;
    // The mode's id (for example CREATE_COMMAND).
    virtual int ID() = 0;
};

class CommandModeChangedCallback {
public:
    virtual ~CommandModeChangedCallback() = default;
    // The current mode changed from oldMode to newMode (either may be null: no mode).
    virtual void ModeChanged(CommandMode* oldMode, CommandMode* newMode) = 0;
};

// Adds or removes a callback (not owned); nothing happens when no host runs.
void RegisterCommandModeChangedCallback(CommandModeChangedCallback* callback);
void UnRegisterCommandModeChangedCallback(CommandModeChangedCallback* callback);

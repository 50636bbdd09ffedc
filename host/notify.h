#pragma once
// Host notifications: a plug-in registers a function for a notification code (host/ids.h,
// NOTIFY_*) and the host calls it whenever that event happens, with what the event carries in
// NotifyInfo::callParam. The same function may be registered for several codes; the pair
// (function, param) identifies one registration.
#include "host/ids.h"

#include <vector>

class INode;

// The nodes a notification carries (NOTIFY_NODE_TABLE).
using INodeTab = std::vector<INode*>;

struct NotifyInfo {
    int intcode = 0;            // the notification code
    void* callParam = nullptr;  // what the code carries (see host/ids.h); may be null
};

// param is the value given at registration.
using NOTIFYPROC = void (*)(void* param, NotifyInfo* info);

// Registers proc with param for code; 1 on success, 0 when no host runs or the same registration
// exists already.
int RegisterNotification(NOTIFYPROC proc, void* param, int code);
// Removes that registration; 1 when it existed.
int UnRegisterNotification(NOTIFYPROC proc, void* param, int code);
// Calls every function registered for code, in order of registration.
void BroadcastNotification(int code, void* callParam = nullptr);

#pragma once
// Root classes of everything the host keeps in a scene: Animatable (identity, interface queries,
// application-data chunks, deletion), ReferenceMaker (the numbered references an object holds) and
// ReferenceTarget (what can be referenced and notifies its dependents of changes).
#include "host/ids.h"
#include "host/types.h"

#include <cstddef>
#include <string>
#include <vector>

class IObjParam;
class RemapDir;

// Memory handed to the host (application-data payloads) comes from, and goes back to, the host's
// allocator.
void* HostAlloc(size_t size);
void HostFree(void* block);

// Base of function-published interfaces returned by GetInterface(Interface_ID).
class BaseInterface {
public:
    virtual ~BaseInterface() = default;
    virtual Interface_ID GetID() = 0;
};

// One application-data chunk: a payload keyed by (class id, super class id, sub id) that the host
// keeps with an object or node. The host owns the payload (allocated with HostAlloc).
struct AppDataChunk {
    Class_ID classID;
    SClass_ID superClassID = 0;
    uint32_t subID = 0;
    uint32_t length = 0;
    void* data = nullptr;
};

class Animatable {
public:
    Animatable() = default;
    Animatable(const Animatable&) = delete;
    Animatable& operator=(const Animatable&) = delete;
    // Frees the application data and tells the running host that this object is gone, so that the
    // host forgets every reference it keeps to it.
    virtual ~Animatable();

    virtual Class_ID ClassID() { return Class_ID(0, 0); }
    virtual SClass_ID SuperClassID() { return 0; }
    // The class's name as the user sees it (empty for classes without one).
    virtual void GetClassName(std::string& name) { name.clear(); }
    // Destroys the object; the host calls this instead of delete so that the right heap is used.
    virtual void DeleteThis() { delete this; }

    // Interface queries: by 32-bit id (for example I_SKIN) and by two-word id. Null when the object
    // does not offer the interface.
    virtual void* GetInterface(uint32_t id);
    virtual BaseInterface* GetInterface(Interface_ID id);

    // Parameter editing in the command panel: the host calls BeginEditParams when the object's
    // parameters are to be shown (flags: BEGIN_EDIT_CREATE while it is being created; prev: the
    // object edited before, may be null) and EndEditParams when they are taken down (flags:
    // END_EDIT_REMOVEUI; next: the object edited next, may be null). Nothing is shown by default.
    virtual void BeginEditParams(IObjParam* ip, uint32_t flags, Animatable* prev);
    virtual void EndEditParams(IObjParam* ip, uint32_t flags, Animatable* next);

    // Application data. AddAppDataChunk takes ownership of data (allocated with HostAlloc) and
    // replaces a chunk with the same key; the replaced payload is freed.
    void AddAppDataChunk(Class_ID cid, SClass_ID sid, uint32_t subID, uint32_t length, void* data);
    // The chunk with that key, or null. The chunk stays owned by the object.
    AppDataChunk* GetAppDataChunk(Class_ID cid, SClass_ID sid, uint32_t subID);
    // Removes and frees the chunk; false when there was none.
    bool RemoveAppDataChunk(Class_ID cid, SClass_ID sid, uint32_t subID);
    void ClearAllAppData();
    int NumAppDataChunks() const { return static_cast<int>(appData_.size()); }
    // Chunk by position (in order of addition), for hosts that save them; null outside the range.
    AppDataChunk* GetAppDataChunkByIndex(int i);

private:
    std::vector<AppDataChunk> appData_;
};

class ReferenceTarget;

class ReferenceMaker : public Animatable {
public:
    // Numbered references this object holds; a plug-in object states what each index means.
    virtual int NumRefs() { return 0; }
    virtual ReferenceTarget* GetReference(int i);
    // Makes reference i point at target (null clears it). The host does not delete the old target;
    // it notes that this object now depends on target (and no longer on the old one).
    void ReplaceReference(int i, ReferenceTarget* target);
    // A target this object references changed (message REFMSG_*; REFMSG_TARGET_DELETED when it is
    // being destroyed, after which it must not be used). Nothing is done by default.
    virtual RefResult NotifyRefChanged(const Interval& changeInterval, ReferenceTarget* target, PartID partID,
                                       RefMessage message) {
        (void)changeInterval, (void)target, (void)partID, (void)message;
        return REF_DONTCARE;
    }

protected:
    virtual void SetReference(int i, ReferenceTarget* target);
};

class ReferenceTarget : public ReferenceMaker {
public:
    // Tells the host that this target changed; the host passes the notice on to whatever depends
    // on the target (the headless host records it).
    virtual void NotifyDependents(Interval changeInterval, PartID partID, RefMessage message);

    // A copy of this target for a clone operation; references to other targets go through
    // remap.CloneRef. Null for classes that cannot be cloned.
    virtual ReferenceTarget* Clone(RemapDir& remap);
    // The host's part of every clone, called by Clone after the copy is made: the clone receives
    // copies of the original's application data.
    void BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap);
};

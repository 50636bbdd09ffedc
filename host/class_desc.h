#pragma once
// Class descriptors: how a plug-in library tells the host about each of its classes (name,
// category, super class and class id) and creates their objects. ClassDesc2 adds parameter-block
// descriptions, which it builds into new objects automatically.
#include "host/interface.h"
#include "host/obj_param.h"
#include "host/paramblock.h"

#include <vector>

struct PluginModule;
using ModuleHandle = const PluginModule*;
class FPInterface;

class ClassDesc {
public:
    virtual ~ClassDesc() = default;
    // 1 when the class is offered to the user.
    virtual int IsPublic() = 0;
    // A new object of the class. The pointer is the object as its super class's base type (for
    // example SceneExport* for SCENE_EXPORT_CLASS_ID, Object* for GEOMOBJECT_CLASS_ID); the host
    // owns it from then on.
    virtual void* Create(bool loading = false) = 0;
    virtual const char* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const char* Category() = 0;
    // Creation hooks around the user creating an object interactively; 0 = nothing done.
    virtual int BeginCreate(Interface*) { return 0; }
    virtual int EndCreate(Interface*) { return 0; }
    virtual bool OkToCreate(Interface*) { return true; }
    // Fixed, untranslated name of the class (for scripts and scene files); null when none.
    virtual const char* InternalName() { return nullptr; }
    // The library the class lives in.
    virtual ModuleHandle HInstance() { return nullptr; }
    virtual uint32_t InitialRollupPageState() { return 0x7FFFFFFF; }
    // Function-published interfaces the class's library publishes (core interfaces among them are
    // found host-wide with GetCOREInterface); none by default.
    virtual int NumInterfaces() { return 0; }
    virtual FPInterface* GetInterfaceAt(int i) {
        (void)i;
        return nullptr;
    }
};

class ClassDesc2 : public ClassDesc {
public:
    // Parameter-block descriptions of the class (not owned; plug-ins keep them as static data).
    void AddParamBlockDesc(ParamBlockDesc2* desc);
    int NumParamBlockDescs() const { return static_cast<int>(blockDescs_.size()); }
    ParamBlockDesc2* GetParamBlockDesc(int i);
    ParamBlockDesc2* GetParamBlockDescByID(BlockID id);
    // Builds every block described with P_AUTO_CONSTRUCT and puts it into owner's reference
    // desc.ref. The owner frees its blocks.
    void MakeAutoParamBlocks(ReferenceMaker* owner);

    // The class's part of parameter editing: for every block described with P_AUTO_UI, adds its
    // rollup page (template dialogTemplateId of this class's module, title string titleStringId)
    // showing obj's block (reference desc.ref). EndEditParams takes the pages down again.
    virtual void BeginEditParams(IObjParam* ip, ReferenceMaker* obj, uint32_t flags, Animatable* prev);
    virtual void EndEditParams(IObjParam* ip, ReferenceMaker* obj, uint32_t flags, Animatable* next);
    // Rollup pages this class has shown and not yet taken down.
    int NumOpenRollupPages() const { return static_cast<int>(pages_.size()); }

private:
    std::vector<ParamBlockDesc2*> blockDescs_;
    IObjParam* pagesOwner_ = nullptr;
    std::vector<WindowHandle> pages_;
};

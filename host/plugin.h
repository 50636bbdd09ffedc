#pragma once
// Base classes of plug-in objects the host creates through class descriptors: scene exporters,
// scene importers, global utility plug-ins and utility panels. Each is created by its descriptor's
// Create and destroyed by the host (delete for exporters and importers, DeleteThis for the others).
#include "host/class_desc.h"
#include "host/import_export.h"

// A scene exporter (super class SCENE_EXPORT_CLASS_ID).
class SceneExport {
public:
    virtual ~SceneExport() = default;
    virtual int ExtCount() = 0;
    // File extension n, without the dot.
    virtual const char* Ext(int n) = 0;
    virtual const char* LongDesc() = 0;
    virtual const char* ShortDesc() = 0;
    virtual const char* AuthorName() = 0;
    virtual const char* CopyrightMessage() = 0;
    virtual const char* OtherMessage1() = 0;
    virtual const char* OtherMessage2() = 0;
    virtual unsigned int Version() = 0;
    virtual void ShowAbout(WindowHandle parent) = 0;
    // Writes the scene to name. options: SCENE_EXPORT_SELECTED. Returns IMPEXP_SUCCESS,
    // IMPEXP_CANCEL or IMPEXP_FAIL.
    virtual int DoExport(const char* name, ExpInterface* ei, Interface* i, bool suppressPrompts = false,
                         uint32_t options = 0) = 0;
    virtual bool SupportsOptions(int ext, uint32_t options) {
        (void)ext;
        (void)options;
        return false;
    }
};

// A scene importer (super class SCENE_IMPORT_CLASS_ID).
class SceneImport {
public:
    virtual ~SceneImport() = default;
    virtual int ExtCount() = 0;
    virtual const char* Ext(int n) = 0;
    virtual const char* LongDesc() = 0;
    virtual const char* ShortDesc() = 0;
    virtual const char* AuthorName() = 0;
    virtual const char* CopyrightMessage() = 0;
    virtual const char* OtherMessage1() = 0;
    virtual const char* OtherMessage2() = 0;
    virtual unsigned int Version() = 0;
    virtual void ShowAbout(WindowHandle parent) = 0;
    // Reads name into the scene. Returns IMPEXP_SUCCESS or IMPEXP_FAIL (or IMPEXP_CANCEL).
    virtual int DoImport(const char* name, ImpInterface* ii, Interface* i, bool suppressPrompts = false) = 0;
    // Whether the host zooms the views to the whole scene after the import.
    virtual bool ZoomExtents() { return true; }
};

// The host's scene-file streams, handed to plug-ins that store data of their own with the scene.
class ISave;
class ILoad;
inline constexpr int IO_OK = 0;

// A global utility plug-in (super class GUP_CLASS_ID), started when the host starts and stopped
// when it shuts down.
class GUP {
public:
    virtual ~GUP() = default;
    // GUPRESULT_KEEP to stay loaded, GUPRESULT_NOKEEP to be discarded, GUPRESULT_ABORT to stop.
    virtual uint32_t Start() = 0;
    virtual void Stop() = 0;
    // A host- or script-defined request; the meaning of parameter and result belongs to the plug-in.
    virtual intptr_t Control(uint32_t parameter) {
        (void)parameter;
        return 0;
    }
    // Data of the plug-in's own saved with and loaded from the scene file; IO_OK.
    virtual int Save(ISave* storage) {
        (void)storage;
        return IO_OK;
    }
    virtual int Load(ILoad* storage) {
        (void)storage;
        return IO_OK;
    }
    virtual void DeleteThis() { delete this; }
};

// Handle of the utility panel a utility plug-in is shown in.
class IUtil {
public:
    virtual ~IUtil() = default;
    // Closes the utility (the host then calls EndEditParams).
    virtual void CloseUtility() = 0;
};

// A utility plug-in (super class UTILITY_CLASS_ID), shown in the utility panel when opened.
class UtilityObj {
public:
    virtual ~UtilityObj() = default;
    virtual void BeginEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void EndEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void SelectionSetChanged(Interface* ip, IUtil* iu) {
        (void)ip;
        (void)iu;
    }
    virtual void DeleteThis() = 0;
};

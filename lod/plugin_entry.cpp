// Entry points of the ZeqLOD library: the description, its three class descriptors (the LOD object,
// the distance editor and the level selector, in that order) and the host version it was built for.
// The library may be loaded late, so it does not answer CanAutoDefer.
#include "lod/lod_object.h"
#include "lod/lod_tools.h"
#include "lod/resources.h"

ZEQ_LIBRARY_ENTRY_POINTS(zeq::lodLibrary(), zeq::IDS_LIBDESCRIPTION, zeq::GetZeqLODClassDesc(),
                         zeq::GetLODDistanceEditorClassDesc(), zeq::GetLODLevelSelectorClassDesc())

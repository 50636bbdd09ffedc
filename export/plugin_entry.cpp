// Entry points of the Export plug-in library (the only file of the shared library itself).
#include "export/export_plugin.h"

ZEQ_LIBRARY_ENTRY_POINTS(zeq::exportLibrary(), zeq::IDS_LIBDESCRIPTION, zeq::GetExportClassDesc())
ZEQ_LIBRARY_NO_AUTO_DEFER()

// Entry points of the SceneLoader library: the description, the one class descriptor, the host
// version it was built for, and the refusal of deferred loading.
#include "import/resources.h"
#include "import/zeq_import.h"

ZEQ_LIBRARY_ENTRY_POINTS(zeq::importLibrary(), zeq::IDS_LIBDESCRIPTION, zeq::GetZeqImportClassDesc())
ZEQ_LIBRARY_NO_AUTO_DEFER()

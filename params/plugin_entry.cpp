// Entry points of the EngineParams library: the description (string 1, which the table does not
// have, so none), the one class descriptor and the host version it was built for.
#include "params/keldane_gup_class_desc.h"
#include "params/resources.h"

ZEQ_LIBRARY_ENTRY_POINTS(zeq::paramsLibrary(), zeq::IDS_PARAMS_LIBDESCRIPTION, zeq::GetKeldaneGUPClassDesc())

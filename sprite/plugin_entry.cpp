// Entry points of the Sprite library: the description (string 1, which the table does not have, so
// none), the one class descriptor, the host version it was built for, and the refusal of deferred
// loading.
#include "sprite/resources.h"
#include "sprite/sprite_class_desc.h"

ZEQ_LIBRARY_ENTRY_POINTS(zeq::spriteLibrary(), zeq::IDS_SPRITE_LIBDESCRIPTION, zeq::GetSpriteClassDesc())
ZEQ_LIBRARY_NO_AUTO_DEFER()

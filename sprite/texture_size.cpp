// The pixel size of the diffuse bitmap of a node's standard material, for autosize.
#include "sprite/texture_size.h"

#include "host/texmap.h"

namespace zeq {

bool FindTextureSize(INode* node, TimeValue t, TextureSize& size) {
    Mtl* mtl = node ? node->GetMtl() : nullptr;
    if (!mtl || mtl->ClassID() != DMTL_CLASS_ID) return false;
    Texmap* map = mtl->GetSubTexmap(ID_DI);
    if (!map || map->ClassID() != BMTEX_CLASS_ID) return false;
    Bitmap* bitmap = static_cast<BitmapTex*>(map)->GetBitmap(t);
    if (!bitmap) return false;
    size.hasStorage = bitmap->HasStorage();
    size.width = size.hasStorage ? bitmap->Width() : 0;
    size.height = size.hasStorage ? bitmap->Height() : 0;
    return true;
}

}  // namespace zeq

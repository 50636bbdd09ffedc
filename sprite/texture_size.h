#pragma once
// The pixel size of a node's diffuse bitmap, which autosize gives the sprite.
#include "host/node.h"

#include <cstdint>

namespace zeq {

struct TextureSize {
    uint16_t width = 0;
    uint16_t height = 0;
    bool hasStorage = false;  // false: the bitmap could not be read and the size is 0 × 0
};

// True when the node has a standard material whose diffuse map is a bitmap texture that returns a
// bitmap at t; size then holds the bitmap's pixel size (0 × 0 without storage).
bool FindTextureSize(INode* node, TimeValue t, TextureSize& size);

}  // namespace zeq

#pragma once
// The class descriptor of the sprite object and the description of its parameter block (id 3,
// "params"): built automatically with every sprite and shown automatically in the rollup page.
#include "host/class_desc.h"

namespace zeq {

class SpriteClassDesc : public ClassDesc2 {
public:
    SpriteClassDesc();
    int IsPublic() override { return 1; }
    // A new Sprite, as an Object*.
    void* Create(bool loading = false) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const char* Category() override;
    bool OkToCreate(Interface*) override { return true; }
    const char* InternalName() override { return "Sprite"; }
    ModuleHandle HInstance() override;
    uint32_t InitialRollupPageState() override { return 0x7FFFFFFF; }
};

// The library's one descriptor.
SpriteClassDesc* GetSpriteClassDesc();

// The parameter block description the descriptor holds.
const ParamBlockDesc2& SpriteParamBlockDesc();

}  // namespace zeq

#pragma once
// Materials and texture maps. MtlBase is what both share (name, flags, sub-texture slots); Mtl adds
// sub-materials. StdMat is the host's standard material with its twelve texture slots (ID_DI,
// ID_BU, ...), MultiMtl the multi/sub-object material whose sub-material i is used by faces with
// material id i. Texmap is a texture map with sub-maps; BitmapTex shows an image file; StdCubic is
// the cube-map texture whose parameter block 0 holds six bitmap names (parameter 10).
#include "host/animatable.h"
#include "host/ids.h"
#include "host/paramblock.h"
#include "host/point3.h"

#include <string>

class Texmap;

class MtlBase : public ReferenceTarget {
public:
    virtual const char* GetName() = 0;
    virtual void SetName(const char* name) = 0;
    virtual void SetMtlFlag(int mask, bool value = true) = 0;
    virtual void ClearMtlFlag(int mask) = 0;
    virtual bool TestMtlFlag(int mask) = 0;
    // Sub-texture slots; null for an empty slot or an index outside 0..NumSubTexmaps()-1.
    virtual int NumSubTexmaps() { return 0; }
    virtual Texmap* GetSubTexmap(int i);
    virtual void SetSubTexmap(int i, Texmap* map);
    // Parameter blocks of the material or map (null when there is none).
    virtual int NumParamBlocks() { return 0; }
    virtual IParamBlock2* GetParamBlock(int index);
    virtual IParamBlock2* GetParamBlockByID(BlockID id);
};

class Mtl : public MtlBase {
public:
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    // Sub-materials; null for an empty slot or an index outside 0..NumSubMtls()-1 (no wrap-around).
    virtual int NumSubMtls() { return 0; }
    virtual Mtl* GetSubMtl(int i);
    virtual void SetSubMtl(int i, Mtl* mtl);
    virtual bool IsMultiMtl() { return false; }
    // The texture shown in viewports.
    virtual void SetActiveTexmap(MtlBase* map) = 0;
    virtual MtlBase* GetActiveTexmap() = 0;
    virtual Color GetDiffuse(TimeValue t = 0) = 0;
};

class StdMat : public Mtl {
public:
    Class_ID ClassID() override { return DMTL_CLASS_ID; }
    virtual void SetAmbient(const Color& c, TimeValue t) = 0;
    virtual void SetDiffuse(const Color& c, TimeValue t) = 0;
    virtual void SetSpecular(const Color& c, TimeValue t) = 0;
    virtual Color GetAmbient(TimeValue t) = 0;
    virtual Color GetSpecular(TimeValue t) = 0;
    virtual void SetShininess(float v, TimeValue t) = 0;  // glossiness, 0..1
    virtual float GetShininess(TimeValue t) = 0;
    virtual void SetShinStr(float v, TimeValue t) = 0;     // specular level, 0..1
    virtual float GetShinStr(TimeValue t) = 0;
    virtual void SetOpacity(float v, TimeValue t) = 0;     // 0..1
    virtual float GetOpacity(TimeValue t) = 0;
    virtual void SetSelfIllum(float v, TimeValue t) = 0;   // 0..1
    virtual float GetSelfIllum(TimeValue t) = 0;
    virtual void SetTwoSided(bool on) = 0;
    virtual bool GetTwoSided() = 0;
    // Whether a texture slot is used, and how strongly (0..1).
    virtual void EnableMap(int id, bool on) = 0;
    virtual bool MapEnabled(int id) = 0;
    virtual void SetTexmapAmt(int id, float amount, TimeValue t) = 0;
    virtual float GetTexmapAmt(int id, TimeValue t) = 0;
};

class MultiMtl : public Mtl {
public:
    Class_ID ClassID() override { return MULTI_CLASS_ID; }
    bool IsMultiMtl() override { return true; }
    // Sets the number of sub-material slots (new slots empty, removed slots dropped).
    virtual void SetNumSubMtls(int n) = 0;
    // Puts a material and its slot name into a slot, growing the slot list when needed.
    virtual void SetSubMtlAndName(int slot, Mtl* mtl, const std::string& name) = 0;
    virtual std::string GetSubMtlSlotName(int slot) = 0;
};

// A new standard / multi material made by the running host (throws std::logic_error when none runs).
StdMat* NewDefaultStdMat();
MultiMtl* NewDefaultMultiMtl();

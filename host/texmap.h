#pragma once
// Texture maps: Texmap with its UV generator (which map channel it reads), BitmapTex (an image file)
// and StdCubic (six images on a cube). A bitmap's pixel size is what the host knows about the file.
#include "host/material.h"

#include <cstdint>

// Texture-coordinate source of a map: the mesh map channel it uses (1 and up).
class UVGen : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return UVGEN_CLASS_ID; }
    Class_ID ClassID() override { return STDUV_CLASS_ID; }
    virtual int GetMapChannel() = 0;
    virtual void SetMapChannel(int channel) = 0;
};

class Texmap : public MtlBase {
public:
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    // The UV generator; null for maps that have none.
    virtual UVGen* GetTheUVGen() { return nullptr; }
    // The map channel the map reads (its UV generator's; 1 when it has none).
    virtual int GetMapChannel();
};

// An image loaded by the host. Storage is absent when the file could not be read.
class Bitmap {
public:
    virtual ~Bitmap() = default;
    virtual uint16_t Width() = 0;
    virtual uint16_t Height() = 0;
    virtual bool HasStorage() = 0;
};

class BitmapTex : public Texmap {
public:
    Class_ID ClassID() override { return BMTEX_CLASS_ID; }
    // The file name exactly as set (no path is searched or changed).
    virtual const char* GetMapName() = 0;
    virtual void SetMapName(const char* name) = 0;
    // The image at time t; null when the map names no file the host could load. Owned by the map.
    virtual Bitmap* GetBitmap(TimeValue t) = 0;
    virtual void SetFilterType(int filter) = 0;  // FILTER_PYR, FILTER_SAT, FILTER_NADA
    virtual int GetFilterType() = 0;
    virtual void SetAlphaSource(int source) = 0; // ALPHA_FILE, ALPHA_RGB, ALPHA_NONE
    virtual int GetAlphaSource() = 0;
    virtual void SetAlphaAsMono(bool on) = 0;
    virtual bool GetAlphaAsMono() = 0;
};

// The cube-map texture. Its parameter block 0 has ACUBIC_NUM_PARAMS parameters; parameter
// ACUBIC_BITMAP_NAMES_PARAM is a string table of the six face images.
class StdCubic : public Texmap {
public:
    Class_ID ClassID() override { return ACUBIC_CLASS_ID; }
};

BitmapTex* NewDefaultBitmapTex();

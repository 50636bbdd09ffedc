#pragma once
// The drawing surface of one viewport as objects see it when they display or hit-test themselves:
// the camera of the view, the transform and material of what is drawn next, projection of points
// to window pixels, and mesh drawing.
//
// Spaces: object space × the transform set with setTransform = world space; world × the view
// matrix = camera space (x to the right, y up, the camera looking down −z); camera space × the
// projection = window pixels (x to the right, y down).
#include "host/matrix3.h"
#include "host/point3.h"

#include <cstdint>

class Mesh;

// A display material: the colours the viewport shades with. Nodes derive theirs from their host
// material (INode::Mtls).
struct Material {
    Color Ka{0.5f, 0.5f, 0.5f};  // ambient
    Color Kd{0.5f, 0.5f, 0.5f};  // diffuse
    Color Ks{0.9f, 0.9f, 0.9f};  // specular
    float shininess = 0.25f;
    float shinStrength = 0.05f;
    float opacity = 1.0f;
};

class GraphicsWindow {
public:
    virtual ~GraphicsWindow() = default;

    // The camera of the view: mat is the 4 × 4 projection (camera space to normalised device
    // coordinates, row vectors), invTM the inverse view matrix (camera space → world), perspective
    // whether the projection is a perspective one, hither and yon the clipping distances. Any of
    // the pointers may be null.
    virtual void getCameraMatrix(float mat[4][4], Matrix3* invTM, int* perspective, float* hither, float* yon) = 0;

    // Transform (object → world) of what is drawn or projected next.
    virtual void setTransform(const Matrix3& tm) = 0;
    virtual Matrix3 getTransform() = 0;
    // Material that the next drawing uses (index into a multi-material list).
    virtual void setMaterial(const Material& material, int index = 0) = 0;

    // Projects an object-space point through the transform to window pixels (out->z: depth, larger
    // is farther). Returns 0 when the point cannot be shown (behind a perspective camera).
    virtual int transPoint(const Point3* in, IPoint3* out) = 0;
    virtual int getWinSizeX() = 0;
    virtual int getWinSizeY() = 0;

    // Draws a mesh through the current transform; face material ids index materials.
    virtual void renderMesh(const Mesh& mesh, const Material* materials, int numMaterials, int components) = 0;

    // Render limits: GW_* flags saying how what follows is drawn (wire frame, shading, ...).
    virtual uint32_t getRndLimits() = 0;
    virtual void setRndLimits(uint32_t limits) = 0;
    // Colour of what follows (which: LINE_COLOR, ...), each component 0 to 1.
    virtual void setColor(int which, float r, float g, float b) = 0;
    // Draws a polyline of count object-space points through the current transform, closed back to
    // its first point when closed is set.
    virtual void polyline(int count, const Point3* points, bool closed) = 0;
};

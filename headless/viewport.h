#pragma once
// Headless viewports: a view with a configurable camera and a graphics window that records what is
// drawn into it, so that tests see what objects display.
//
// The projection is simple and fixed:
//   - camera space: x to the right, y up, the camera looking down −z;
//   - perspective: focal length in pixels f = (W / 2) / tan(fov / 2) for a window W × H pixels;
//     a camera-space point (x, y, z) with z < 0 lands on pixel (W/2 + f·x/−z, H/2 − f·y/−z);
//   - orthographic: pixel (W/2 + zoom·x, H/2 − zoom·y), zoom in pixels per world unit (1 by default).
// The construction plane is the world plane z = 0: SnapPoint returns where the ray under a screen
// point meets it (no grid snapping). When the ray misses the plane (parallel to it, or meeting it
// behind the camera) the point below the ray's start on the plane is returned.
#include "host/host.h"

#include <optional>
#include <vector>

namespace headless {

class Viewport;

// One mesh drawn into a recording graphics window.
struct DrawRecord {
    Matrix3 transform;                 // object → world when it was drawn
    Mesh mesh;                         // a copy of the mesh as drawn
    std::vector<Material> materials;   // the material list it was drawn with
    int components = 0;                // COMP_* flags
    std::optional<Material> material;  // the material set last before drawing, if any
    Color lineColor;                   // the line colour when it was drawn
    uint32_t limits = 0;               // the render limits when it was drawn
};

// One polyline drawn into a recording graphics window.
struct LineRecord {
    Matrix3 transform;  // object → world when it was drawn
    Color color;        // the line colour
    std::vector<Point3> points;
    bool closed = false;
};

class RecordingGraphicsWindow : public GraphicsWindow {
public:
    explicit RecordingGraphicsWindow(Viewport& view) : view_(view) {}

    const std::vector<DrawRecord>& draws() const { return draws_; }
    const std::vector<LineRecord>& lines() const { return lines_; }
    void clearDraws() {
        draws_.clear();
        lines_.clear();
    }
    // The line colour set last (the host's default colour, white, at first).
    Color lineColor() const { return lineColor_; }

    void getCameraMatrix(float mat[4][4], Matrix3* invTM, int* perspective, float* hither, float* yon) override;
    void setTransform(const Matrix3& tm) override { transform_ = tm; }
    Matrix3 getTransform() override { return transform_; }
    void setMaterial(const Material& material, int index = 0) override;
    int transPoint(const Point3* in, IPoint3* out) override;
    int getWinSizeX() override;
    int getWinSizeY() override;
    void renderMesh(const Mesh& mesh, const Material* materials, int numMaterials, int components) override;
    uint32_t getRndLimits() override { return limits_; }
    void setRndLimits(uint32_t limits) override { limits_ = limits; }
    void setColor(int which, float r, float g, float b) override;
    void polyline(int count, const Point3* points, bool closed) override;

private:
    Viewport& view_;
    Matrix3 transform_;
    std::optional<Material> material_;
    std::vector<DrawRecord> draws_;
    std::vector<LineRecord> lines_;
    uint32_t limits_ = GW_Z_BUFFER | GW_ILLUM;
    Color lineColor_{1.0f, 1.0f, 1.0f};
};

class Viewport : public ViewExp {
public:
    static constexpr float kHither = 0.1f;
    static constexpr float kYon = 100000.0f;

    // A perspective view of width × height pixels with a 45° field of view, its camera at the world
    // origin looking down −z.
    explicit Viewport(int width = 640, int height = 480);
    Viewport(const Viewport&) = delete;
    Viewport& operator=(const Viewport&) = delete;

    // ---- Configuration ----
    // The view matrix (world → camera) of the view's own camera.
    void setViewTM(const Matrix3& worldToCamera) { viewTM_ = worldToCamera; }
    // The same given as the camera's placement (camera → world, as a camera node's matrix).
    void setCameraTM(const Matrix3& cameraToWorld) { viewTM_ = Inverse(cameraToWorld); }
    void setPerspective(bool perspective) { perspective_ = perspective; }
    void setFOV(float radians) { fov_ = radians; }
    void setZoom(float pixelsPerUnit) { zoom_ = pixelsPerUnit; }
    void setSize(int width, int height);
    // Looks through a camera node (null: the view's own camera): the view matrix is then the
    // inverse of the node's matrix at the host's current time, the field of view its camera's.
    void setCameraNode(INode* node) { cameraNode_ = node; }

    // ---- What the view computes ----
    Matrix3 viewTM() const;
    float fov() const;
    int width() const { return width_; }
    int height() const { return height_; }
    float zoom() const { return zoom_; }
    // Pixels of a world point; false when it cannot be shown (behind a perspective camera, or a
    // field of view that projects nothing).
    bool project(const Point3& world, IPoint3& out) const;
    RecordingGraphicsWindow& window() { return gw_; }

    // ---- ViewExp ----
    GraphicsWindow* getGW() override { return &gw_; }
    int IsPerspView() override { return perspective_ ? 1 : 0; }
    float GetFOV() override { return fov(); }
    INode* GetViewCamera() override { return cameraNode_; }
    Point3 SnapPoint(const IPoint2& in, IPoint2& out, Matrix3* plane2d = nullptr, uint32_t flags = 0) override;

private:
    // Focal length in pixels; 0 when the field of view gives none.
    float focalLength() const;

    int width_;
    int height_;
    Matrix3 viewTM_;
    bool perspective_ = true;
    float fov_ = 0.785398163f;
    float zoom_ = 1.0f;
    INode* cameraNode_ = nullptr;
    RecordingGraphicsWindow gw_{*this};
};

}  // namespace headless

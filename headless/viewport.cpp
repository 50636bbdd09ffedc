// Headless viewports: the camera, the projection to pixels, snapping to the construction plane, and the recording graphics window.
#include "headless/viewport.h"

#include <cmath>

namespace headless {

namespace {

TimeValue currentTime() {
    Interface* core = GetCOREInterface();
    return core ? core->GetTime() : 0;
}

}  // namespace

// ---- RecordingGraphicsWindow ----

void RecordingGraphicsWindow::getCameraMatrix(float mat[4][4], Matrix3* invTM, int* perspective, float* hither,
                                              float* yon) {
    const float n = Viewport::kHither, f = Viewport::kYon;
    if (mat) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) mat[r][c] = 0.0f;
        const float w = static_cast<float>(view_.width()), h = static_cast<float>(view_.height());
        if (view_.IsPerspView()) {
            const float cot = 1.0f / std::tan(view_.fov() * 0.5f);
            mat[0][0] = cot;
            mat[1][1] = cot * (h > 0 ? w / h : 1.0f);
            mat[2][2] = -(f + n) / (f - n);
            mat[2][3] = -1.0f;
            mat[3][2] = -2.0f * f * n / (f - n);
        } else {
            mat[0][0] = w > 0 ? 2.0f * view_.zoom() / w : 0.0f;
            mat[1][1] = h > 0 ? 2.0f * view_.zoom() / h : 0.0f;
            mat[2][2] = -2.0f / (f - n);
            mat[3][2] = -(f + n) / (f - n);
            mat[3][3] = 1.0f;
        }
    }
    if (invTM) *invTM = Inverse(view_.viewTM());
    if (perspective) *perspective = view_.IsPerspView();
    if (hither) *hither = n;
    if (yon) *yon = f;
}

void RecordingGraphicsWindow::setMaterial(const Material& material, int) { material_ = material; }

int RecordingGraphicsWindow::transPoint(const Point3* in, IPoint3* out) {
    if (!in || !out) return 0;
    return view_.project(*in * transform_, *out) ? 1 : 0;
}

int RecordingGraphicsWindow::getWinSizeX() { return view_.width(); }
int RecordingGraphicsWindow::getWinSizeY() { return view_.height(); }

void RecordingGraphicsWindow::renderMesh(const Mesh& mesh, const Material* materials, int numMaterials,
                                         int components) {
    DrawRecord record;
    record.transform = transform_;
    record.mesh = mesh;
    if (materials)
        for (int i = 0; i < numMaterials; ++i) record.materials.push_back(materials[i]);
    record.components = components;
    record.material = material_;
    record.lineColor = lineColor_;
    record.limits = limits_;
    draws_.push_back(std::move(record));
}

void RecordingGraphicsWindow::setColor(int which, float r, float g, float b) {
    if (which == LINE_COLOR) lineColor_ = Color(r, g, b);
}

void RecordingGraphicsWindow::polyline(int count, const Point3* points, bool closed) {
    LineRecord line;
    line.transform = transform_;
    line.color = lineColor_;
    line.closed = closed;
    if (points && count > 0) line.points.assign(points, points + count);
    lines_.push_back(std::move(line));
}

// ---- Viewport ----

Viewport::Viewport(int width, int height) { setSize(width, height); }

void Viewport::setSize(int width, int height) {
    width_ = width > 0 ? width : 1;
    height_ = height > 0 ? height : 1;
}

Matrix3 Viewport::viewTM() const {
    if (cameraNode_) return Inverse(cameraNode_->GetNodeTM(currentTime()));
    return viewTM_;
}

float Viewport::fov() const {
    if (cameraNode_) {
        const TimeValue t = currentTime();
        Object* obj = cameraNode_->EvalWorldState(t).obj;
        if (obj && obj->SuperClassID() == CAMERA_CLASS_ID) return static_cast<CameraObject*>(obj)->GetFOV(t);
    }
    return fov_;
}

float Viewport::focalLength() const {
    const float half = std::tan(fov() * 0.5f);
    if (!std::isfinite(half) || half <= 0.0f) return 0.0f;
    return static_cast<float>(width_) * 0.5f / half;
}

bool Viewport::project(const Point3& world, IPoint3& out) const {
    const Point3 c = world * viewTM();
    float sx = 0.0f, sy = 0.0f;
    if (perspective_) {
        const float f = focalLength();
        if (f <= 0.0f || -c.z < kHither) return false;
        sx = f * c.x / -c.z;
        sy = f * c.y / -c.z;
    } else {
        sx = zoom_ * c.x;
        sy = zoom_ * c.y;
    }
    const float px = static_cast<float>(width_) * 0.5f + sx;
    const float py = static_cast<float>(height_) * 0.5f - sy;
    // Points far outside the window are refused rather than overflowing the integer pixels.
    if (!std::isfinite(px) || !std::isfinite(py) || std::fabs(px) > 1e8f || std::fabs(py) > 1e8f) return false;
    out = IPoint3(static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py)),
                  static_cast<int>(std::lround(std::fmin(-c.z, 1e8f))));
    return true;
}

Point3 Viewport::SnapPoint(const IPoint2& in, IPoint2& out, Matrix3* plane2d, uint32_t) {
    out = in;
    if (plane2d) plane2d->IdentityMatrix();
    const float dx = static_cast<float>(in.x) - static_cast<float>(width_) * 0.5f;
    const float dy = static_cast<float>(height_) * 0.5f - static_cast<float>(in.y);
    // The ray under the point, in camera space.
    Point3 origin, direction(0.0f, 0.0f, -1.0f);
    const float f = focalLength();
    if (perspective_ && f > 0.0f) direction = Point3(dx / f, dy / f, -1.0f);
    else if (!perspective_ && zoom_ > 0.0f) origin = Point3(dx / zoom_, dy / zoom_, 0.0f);
    const Matrix3 cameraToWorld = Inverse(viewTM());
    const Point3 o = origin * cameraToWorld;
    const Point3 d = cameraToWorld.VectorTransform(direction);
    if (std::fabs(d.z) > 1e-6f) {
        const float t = -o.z / d.z;
        if (t >= 0.0f) return Point3(o.x + d.x * t, o.y + d.y * t, 0.0f);
    }
    return Point3(o.x, o.y, 0.0f);
}

}  // namespace headless

#include "host/mesh.h"

#include "host/graphics_window.h"
#include "host/mesh_normals.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

template <typename T>
void resizeArray(std::vector<T>& v, int n, bool keep) {
    size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    if (!keep) v.clear();
    v.resize(count);
}

}  // namespace

void MeshMap::setNumVerts(int n, bool keep) { resizeArray(tv, n, keep); }

void MeshMap::setNumFaces(int n, bool keep) {
    resizeArray(tf, n, keep);
    if (n > 0) flags |= MESHMAP_USED;
    else flags &= ~MESHMAP_USED;
}

Mesh::Mesh() : maps_(2) {}

Mesh::Mesh(const Mesh& other)
    : verts(other.verts),
      faces(other.faces),
      maps_(other.maps_),
      vertexNormals_(other.vertexNormals_),
      edges_(other.edges_),
      edgesWanted_(other.edgesWanted_),
      edgesBuilt_(other.edgesBuilt_),
      bounds_(other.bounds_) {
    if (other.normalSpec_) {
        normalSpec_ = std::make_unique<MeshNormalSpec>(*other.normalSpec_);
        normalSpec_->SetParent(this);
    }
}

Mesh::Mesh(Mesh&& other) noexcept
    : verts(std::move(other.verts)),
      faces(std::move(other.faces)),
      maps_(std::move(other.maps_)),
      normalSpec_(std::move(other.normalSpec_)),
      vertexNormals_(std::move(other.vertexNormals_)),
      edges_(std::move(other.edges_)),
      edgesWanted_(other.edgesWanted_),
      edgesBuilt_(other.edgesBuilt_),
      bounds_(other.bounds_) {
    if (normalSpec_) normalSpec_->SetParent(this);
}

Mesh& Mesh::operator=(const Mesh& other) {
    if (this != &other) {
        Mesh copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Mesh& Mesh::operator=(Mesh&& other) noexcept {
    if (this != &other) {
        verts = std::move(other.verts);
        faces = std::move(other.faces);
        maps_ = std::move(other.maps_);
        normalSpec_ = std::move(other.normalSpec_);
        vertexNormals_ = std::move(other.vertexNormals_);
        edges_ = std::move(other.edges_);
        edgesWanted_ = other.edgesWanted_;
        edgesBuilt_ = other.edgesBuilt_;
        bounds_ = other.bounds_;
        if (normalSpec_) normalSpec_->SetParent(this);
    }
    return *this;
}

Mesh::~Mesh() = default;

bool Mesh::setNumVerts(int n, bool keep, bool synchronize) {
    resizeArray(verts, n, keep);
    if (synchronize && !vertexNormals_.empty()) vertexNormals_.resize(verts.size());
    return true;
}

bool Mesh::setNumFaces(int n, bool keep, bool synchronize) {
    resizeArray(faces, n, keep);
    if (synchronize) {
        for (auto& map : maps_)
            if (map.IsUsed()) map.setNumFaces(n, keep);
        if (normalSpec_ && normalSpec_->GetNumFaces() > 0) normalSpec_->SetNumFaces(n);
    }
    edges_.clear();
    edgesWanted_ = edgesBuilt_ = false;
    return true;
}

void Mesh::setNumMaps(int n, bool keep) {
    size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    if (!keep) maps_.clear();
    maps_.resize(count);
}

bool Mesh::mapSupport(int channel) const {
    return channel >= 0 && channel < getNumMaps() && maps_[channel].IsUsed();
}

void Mesh::setMapSupport(int channel, bool support) {
    if (channel < 0) return;
    if (support) {
        if (channel >= getNumMaps()) setNumMaps(channel + 1, true);
        MeshMap& map = maps_[channel];
        if (map.getNumFaces() != getNumFaces()) map.setNumFaces(getNumFaces(), true);
        map.SetFlag(MESHMAP_USED);
    } else if (channel < getNumMaps()) {
        maps_[channel].Clear();
    }
}

bool Mesh::setNumTVerts(int n, bool keep) {
    if (getNumMaps() < 2) setNumMaps(2, true);
    maps_[1].setNumVerts(n, keep);
    return true;
}

bool Mesh::setNumTVFaces(int n, bool keep) {
    if (getNumMaps() < 2) setNumMaps(2, true);
    maps_[1].setNumFaces(n, keep);
    return true;
}

void Mesh::SpecifyNormals() {
    if (!normalSpec_) {
        normalSpec_ = std::make_unique<MeshNormalSpec>();
        normalSpec_->SetParent(this);
    }
}

void Mesh::ClearSpecifiedNormals() { normalSpec_.reset(); }

Point3 Mesh::FaceNormal(int face, bool normalize) const {
    if (face < 0 || face >= getNumFaces()) return {};
    const Face& f = faces[face];
    for (uint32_t v : f.v)
        if (v >= verts.size()) return {};
    Point3 n = (verts[f.v[1]] - verts[f.v[0]]) ^ (verts[f.v[2]] - verts[f.v[0]]);
    return normalize ? n.Normalize() : n;
}

void Mesh::buildNormals() {
    vertexNormals_.assign(verts.size(), Point3());
    for (int i = 0; i < getNumFaces(); ++i) {
        Point3 n = FaceNormal(i, false);
        for (uint32_t v : faces[i].v)
            if (v < verts.size()) vertexNormals_[v] += n;
    }
    for (auto& n : vertexNormals_) n.Unify();
}

Point3 Mesh::getNormal(int vertex) const {
    if (vertex < 0 || vertex >= static_cast<int>(vertexNormals_.size())) return {};
    return vertexNormals_[vertex];
}

void Mesh::buildBoundingBox() {
    bounds_.Init();
    for (const auto& p : verts) bounds_ += p;
}

Box3 Mesh::getBoundingBox(const Matrix3* tm) const {
    if (!tm) return bounds_;
    Box3 box;
    for (const auto& p : verts) box += tm->PointTransform(p);
    return box;
}

void Mesh::BuildStripsAndEdges() {
    edges_.clear();
    edgesWanted_ = true;
    edgesBuilt_ = false;
}

const std::vector<MeshEdge>& Mesh::GetEdges() const {
    if (edgesWanted_ && !edgesBuilt_) buildEdges();
    return edges_;
}

void Mesh::buildEdges() const {
    edges_.clear();
    edgesBuilt_ = true;
    const size_t faceCount = faces.size();
    if (faceCount == 0) return;
    // Edges appear in the order their first corner appears (face by face, corner by corner); the
    // face of the edge's second corner, when there is one, is its other face.
    //
    // The corners are bucketed by their lower vertex (a counting sort, which keeps the corner
    // order inside each bucket), and each bucket is then ordered by vertex pair; the first corner
    // of each run of equal pairs creates the edge. Lower vertices that name no vertex of the mesh
    // share one last bucket, so faces naming missing vertices are handled like any other.
    const size_t corners = faceCount * 3;
    const uint32_t missing =
        static_cast<uint32_t>(std::min<size_t>(verts.size(), std::numeric_limits<uint32_t>::max() - 1));
    auto bucketOf = [missing](uint32_t lo) { return lo < missing ? lo : missing; };
    auto cornerPair = [this](size_t corner) {
        const Face& f = faces[corner / 3];
        const int e = static_cast<int>(corner % 3);
        return std::minmax(f.v[e], f.v[(e + 1) % 3]);
    };

    std::vector<uint32_t> start(size_t(missing) + 2, 0);
    for (size_t c = 0; c < corners; ++c) ++start[bucketOf(cornerPair(c).first) + 1];
    for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];

    struct Corner {
        uint32_t lo, hi, index;
    };
    std::vector<Corner> sorted(corners);
    {
        std::vector<uint32_t> next(start.begin(), start.end() - 1);
        for (size_t c = 0; c < corners; ++c) {
            const auto [lo, hi] = cornerPair(c);
            sorted[next[bucketOf(lo)]++] = {lo, hi, static_cast<uint32_t>(c)};
        }
    }

    // For the first corner of each edge, the face of its second corner (-1 when none); kLater
    // for every other corner.
    constexpr int kLater = -2;
    std::vector<int> otherFace(corners, kLater);
    auto pairLess = [](const Corner& a, const Corner& b) { return a.lo != b.lo ? a.lo < b.lo : a.hi < b.hi; };
    size_t edgeCount = 0;
    for (size_t b = 0; b + 1 < start.size(); ++b) {
        Corner* first = sorted.data() + start[b];
        Corner* last = sorted.data() + start[b + 1];
        if (last - first > 1) {
            // Stable, so equal pairs stay in corner order. Buckets are tiny on ordinary meshes.
            if (last - first <= 16) {
                for (Corner* i = first + 1; i < last; ++i)
                    for (Corner* j = i; j > first && pairLess(*j, *(j - 1)); --j) std::swap(*j, *(j - 1));
            } else {
                std::stable_sort(first, last, pairLess);
            }
        }
        for (Corner* run = first; run < last;) {
            Corner* end = run + 1;
            while (end < last && end->lo == run->lo && end->hi == run->hi) ++end;
            otherFace[run->index] = end - run > 1 ? static_cast<int>(run[1].index / 3) : -1;
            ++edgeCount;
            run = end;
        }
    }

    edges_.reserve(edgeCount);
    for (size_t c = 0; c < corners; ++c) {
        if (otherFace[c] == kLater) continue;
        const auto [lo, hi] = cornerPair(c);
        MeshEdge edge;
        edge.v[0] = lo;
        edge.v[1] = hi;
        edge.f[0] = static_cast<int>(c / 3);
        edge.f[1] = otherFace[c];
        edge.visible = faces[c / 3].getEdgeVis(static_cast<int>(c % 3));
        edges_.push_back(edge);
    }
}

void Mesh::InvalidateGeomCache() {
    vertexNormals_.clear();
    bounds_.Init();
}

void Mesh::InvalidateTopologyCache() {
    edges_.clear();
    edgesWanted_ = edgesBuilt_ = false;
    vertexNormals_.clear();
}

bool Mesh::CheckIndices() const {
    for (const auto& f : faces)
        for (uint32_t v : f.v)
            if (v >= verts.size()) return false;
    for (const auto& map : maps_) {
        if (!map.IsUsed()) continue;
        for (const auto& tf : map.tf)
            for (uint32_t t : tf.t)
                if (t >= map.tv.size()) return false;
    }
    return true;
}

void Mesh::render(GraphicsWindow* gw, const Material* materials, int compFlags, int numMaterials) const {
    if (!gw) return;
    gw->renderMesh(*this, materials, materials ? numMaterials : 0, compFlags);
}

#include "host/mesh.h"

#include "host/mesh_normals.h"

#include <algorithm>
#include <cmath>
#include <map>
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
    std::map<std::pair<uint32_t, uint32_t>, size_t> index;
    for (int fi = 0; fi < getNumFaces(); ++fi) {
        const Face& f = faces[fi];
        for (int e = 0; e < 3; ++e) {
            uint32_t a = f.v[e], b = f.v[(e + 1) % 3];
            auto key = std::minmax(a, b);
            auto [it, inserted] = index.try_emplace({key.first, key.second}, edges_.size());
            if (inserted) {
                MeshEdge edge;
                edge.v[0] = key.first;
                edge.v[1] = key.second;
                edge.f[0] = fi;
                edge.visible = f.getEdgeVis(e);
                edges_.push_back(edge);
            } else if (edges_[it->second].f[1] < 0) {
                edges_[it->second].f[1] = fi;
            }
        }
    }
}

void Mesh::InvalidateGeomCache() {
    vertexNormals_.clear();
    bounds_.Init();
}

void Mesh::InvalidateTopologyCache() {
    edges_.clear();
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

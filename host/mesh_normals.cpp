#include "host/mesh_normals.h"

#include "host/ids.h"
#include "host/mesh.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>
#include <numeric>
#include <vector>


bool MeshNormalSpec::SetNumFaces(int n) {
    faces_.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return true;
}

bool MeshNormalSpec::SetNumNormals(int n) {
    size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    normals_.resize(count);
    explicit_.resize(count, false);
    return true;
}

Point3 MeshNormalSpec::GetNormal(int face, int corner) const {
    if (face < 0 || face >= GetNumFaces() || corner < 0 || corner > 2) return {};
    int id = faces_[face].GetNormalID(corner);
    if (id < 0 || id >= GetNumNormals()) return {};
    return normals_[id];
}

void MeshNormalSpec::SetNormal(int face, int corner, const Point3& normal) {
    if (face < 0 || face >= GetNumFaces() || corner < 0 || corner > 2) return;
    MeshNormalFace& f = faces_[face];
    int id = f.GetNormalID(corner);
    if (id < 0 || id >= GetNumNormals()) {
        id = GetNumNormals();
        SetNumNormals(id + 1);
        f.SetNormalID(corner, id);
    }
    f.SpecifyNormalID(corner, true);
    normals_[id] = normal;
    explicit_[id] = true;
}

void MeshNormalSpec::SetNormalExplicit(int id, bool value) {
    if (id >= 0 && id < GetNumNormals()) explicit_[id] = value;
}

void MeshNormalSpec::BuildNormals() {
    if (!parent_) return;
    const Mesh& mesh = *parent_;
    const int numFaces = mesh.getNumFaces();
    const int numVerts = mesh.getNumVerts();

    bool anySpecified = false;
    if (GetNumFaces() == numFaces) {
        for (const auto& f : faces_)
            for (int k = 0; k < 3; ++k) anySpecified = anySpecified || f.GetSpecified(k);
    }
    if (!anySpecified) {
        faces_.assign(numFaces, MeshNormalFace());
        normals_.clear();
        explicit_.clear();
    } else {
        SetNumFaces(numFaces);
    }

    // Faces around each vertex, in face order, in one array: those of vertex v at first[v] up to
    // first[v + 1] (corners naming a vertex outside the mesh are left without normal). A face that
    // names a vertex twice is there once. slotOf[3 * face + corner] is the corner's place among the
    // faces of its vertex.
    std::vector<int> first(static_cast<size_t>(numVerts) + 1, 0), lastFace(static_cast<size_t>(numVerts), -1);
    for (int fi = 0; fi < numFaces; ++fi)
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = mesh.faces[fi].v[k];
            if (v >= static_cast<uint32_t>(numVerts) || lastFace[v] == fi) continue;
            lastFace[v] = fi;
            ++first[v + 1];
        }
    for (int v = 0; v < numVerts; ++v) first[v + 1] += first[v];
    std::vector<int> facesAt(static_cast<size_t>(first[numVerts]));
    std::vector<int> filled(first.begin(), first.end() - 1);
    std::vector<int> slotOf(static_cast<size_t>(numFaces) * 3, -1);
    std::fill(lastFace.begin(), lastFace.end(), -1);
    for (int fi = 0; fi < numFaces; ++fi)
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = mesh.faces[fi].v[k];
            if (v >= static_cast<uint32_t>(numVerts)) continue;
            if (lastFace[v] != fi) {
                lastFace[v] = fi;
                facesAt[static_cast<size_t>(filled[v]++)] = fi;
            }
            slotOf[static_cast<size_t>(fi) * 3 + k] = filled[v] - 1 - first[v];
        }

    // Per vertex, cluster its faces: faces sharing a smoothing bit join one cluster, each face the
    // first face around the vertex with each of its bits, so that a vertex of many faces (a fan)
    // costs no more than its faces. clusterOf[first[v] + j] is the cluster (the place of its first
    // face) of the j-th face around v.
    std::vector<int> clusterOf(facesAt.size());
    for (int v = 0; v < numVerts; ++v) {
        int* parent = clusterOf.data() + first[v];
        const int count = first[v + 1] - first[v];
        std::iota(parent, parent + count, 0);
        auto root = [parent](int i) {
            while (parent[i] != i) {
                parent[i] = parent[parent[i]];
                i = parent[i];
            }
            return i;
        };
        int firstWithBit[32];
        std::fill(std::begin(firstWithBit), std::end(firstWithBit), -1);
        for (int a = 0; a < count; ++a) {
            // The face's smoothing bits, lowest first.
            const uint32_t groups = mesh.faces[facesAt[static_cast<size_t>(first[v] + a)]].smGroup;
            for (uint32_t bits = groups; bits != 0; bits &= bits - 1) {
                const int bit = std::countr_zero(bits);
                if (firstWithBit[bit] < 0) firstWithBit[bit] = a;
                else parent[root(a)] = root(firstWithBit[bit]);
            }
        }
        for (int a = 0; a < count; ++a) parent[a] = root(a);
    }

    // Hand out normal ids in face order: a corner takes its cluster's id, made on first use.
    std::vector<int> clusterId(facesAt.size(), -1);
    int normalCount = GetNumNormals();
    for (int fi = 0; fi < numFaces; ++fi) {
        MeshNormalFace& nf = faces_[fi];
        for (int k = 0; k < 3; ++k) {
            if (nf.GetSpecified(k)) continue;
            uint32_t v = mesh.faces[fi].v[k];
            if (v >= static_cast<uint32_t>(numVerts)) {
                nf.SetNormalID(k, -1);
                continue;
            }
            const int j = slotOf[static_cast<size_t>(fi) * 3 + k];
            int& id = clusterId[static_cast<size_t>(first[v] + clusterOf[static_cast<size_t>(first[v] + j)])];
            if (id < 0) id = normalCount++;
            nf.SetNormalID(k, id);
        }
    }
    SetNumNormals(normalCount);
    SetFlag(MESH_NORMAL_NORMALS_BUILT);
    ClearFlag(MESH_NORMAL_NORMALS_COMPUTED);
}

void MeshNormalSpec::ComputeNormals() {
    if (!parent_) return;
    const Mesh& mesh = *parent_;
    std::vector<Point3> sum(normals_.size());
    const int numFaces = std::min(GetNumFaces(), mesh.getNumFaces());
    for (int fi = 0; fi < numFaces; ++fi) {
        const ::Face& f = mesh.faces[fi];
        bool valid = true;
        for (uint32_t v : f.v) valid = valid && v < mesh.verts.size();
        if (!valid) continue;
        Point3 n = mesh.FaceNormal(fi, true);
        for (int k = 0; k < 3; ++k) {
            int id = faces_[fi].GetNormalID(k);
            if (id < 0 || id >= GetNumNormals()) continue;
            // Weight by the angle of the face at this corner, so that subdividing a face does not
            // change the normals around it.
            Point3 e1 = (mesh.verts[f.v[(k + 1) % 3]] - mesh.verts[f.v[k]]).Normalize();
            Point3 e2 = (mesh.verts[f.v[(k + 2) % 3]] - mesh.verts[f.v[k]]).Normalize();
            float cosine = std::fmax(-1.0f, std::fmin(1.0f, e1 % e2));
            sum[id] += n * std::acos(cosine);
        }
    }
    for (size_t id = 0; id < normals_.size(); ++id)
        if (!explicit_[id]) normals_[id] = sum[id].Normalize();
    SetFlag(MESH_NORMAL_NORMALS_COMPUTED);
}

void MeshNormalSpec::CheckNormals() {
    if (!parent_) return;
    if (!GetFlag(MESH_NORMAL_NORMALS_BUILT) || GetNumFaces() != parent_->getNumFaces()) BuildNormals();
    if (!GetFlag(MESH_NORMAL_NORMALS_COMPUTED)) ComputeNormals();
}

void MeshNormalSpec::ClearAndFree() {
    normals_.clear();
    explicit_.clear();
    faces_.clear();
    flags_ &= ~(MESH_NORMAL_NORMALS_BUILT | MESH_NORMAL_NORMALS_COMPUTED);
}

// Without it, a (0, 0, 0) or stale normal would be read for such corners.
MeshNormalSpec* PrepareCornerNormals(Mesh& mesh) {
    MeshNormalSpec* specified = mesh.GetSpecifiedNormals();
    if (specified == nullptr || specified->GetNumFaces() == 0) {
        mesh.SpecifyNormals();
        specified = mesh.GetSpecifiedNormals();
    }
    if (specified == nullptr) return nullptr;
    bool complete = specified->GetNumFaces() == mesh.getNumFaces();
    const bool computed = specified->GetFlag(MESH_NORMAL_NORMALS_COMPUTED);
    for (int f = 0; complete && f < mesh.getNumFaces(); ++f) {
        MeshNormalFace& face = specified->Face(f);
        for (int corner = 0; corner < 3; ++corner) {
            const int id = face.GetNormalID(corner);
            if (id < 0 || id >= specified->GetNumNormals()) {
                complete = false;
            } else if (!computed && !specified->GetNormalExplicit(id)) {
                complete = false;
            }
        }
    }
    if (complete) return specified;
    // A corner without a normal is built anew from the smoothing groups, even when it is marked as
    // specified (a specified corner keeps its id, and it has none to keep); the others keep theirs.
    if (specified->GetNumFaces() == mesh.getNumFaces()) {
        for (int f = 0; f < mesh.getNumFaces(); ++f) {
            MeshNormalFace& face = specified->Face(f);
            for (int corner = 0; corner < 3; ++corner) {
                const int id = face.GetNormalID(corner);
                if (id < 0 || id >= specified->GetNumNormals()) {
                    face.SpecifyNormalID(corner, false);
                    specified->ClearFlag(MESH_NORMAL_NORMALS_BUILT);
                }
            }
        }
    }
    specified->SetParent(&mesh);
    specified->CheckNormals();
    return specified;
}

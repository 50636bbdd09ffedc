#pragma once
// Explicit normals of a mesh: a pool of normals and, for each face corner, the id of the normal it
// uses. Corners that share an id share a normal. Normals are either computed from the faces around
// them (grouped by smoothing group) or explicit (set by the caller and kept through recomputation).
#include "host/point3.h"

#include <cstdint>
#include <vector>

class Mesh;

class MeshNormalFace {
public:
    int GetNormalID(int corner) const { return ids_[corner]; }
    void SetNormalID(int corner, int id) { ids_[corner] = id; }
    // A specified corner keeps its normal id when the topology is rebuilt.
    bool GetSpecified(int corner) const { return (specified_ & (1u << corner)) != 0; }
    void SpecifyNormalID(int corner, bool specified) {
        if (specified) specified_ |= (1u << corner);
        else specified_ &= ~(1u << corner);
    }
    void SpecifyAll(bool specified = true) { specified_ = specified ? 7u : 0u; }
    const int* GetNormalIDArray() const { return ids_; }

private:
    int ids_[3] = {-1, -1, -1};
    uint32_t specified_ = 0;
};

class MeshNormalSpec {
public:
    MeshNormalSpec() = default;

    void SetParent(Mesh* mesh) { parent_ = mesh; }
    Mesh* GetParent() const { return parent_; }

    bool SetNumFaces(int n);
    int GetNumFaces() const { return static_cast<int>(faces_.size()); }
    bool SetNumNormals(int n);
    int GetNumNormals() const { return static_cast<int>(normals_.size()); }

    // Normal by id and face by index; both throw std::out_of_range for an index outside the arrays.
    Point3& Normal(int id) { return normals_.at(id); }
    const Point3& Normal(int id) const { return normals_.at(id); }
    MeshNormalFace& Face(int face) { return faces_.at(face); }
    const MeshNormalFace& Face(int face) const { return faces_.at(face); }

    // The normal used by a face corner; zero when the face or its normal id does not exist.
    Point3 GetNormal(int face, int corner) const;
    // Sets the value of the normal a face corner uses (corners sharing that id see the new value) and
    // marks it explicit. A corner without a normal first receives a new one of its own.
    void SetNormal(int face, int corner, const Point3& normal);
    bool GetNormalExplicit(int id) const { return id >= 0 && id < GetNumNormals() && explicit_[id]; }
    void SetNormalExplicit(int id, bool value);

    uint32_t GetFlags() const { return flags_; }
    bool GetFlag(uint32_t f) const { return (flags_ & f) != 0; }
    void SetFlag(uint32_t f, bool value = true) {
        if (value) flags_ |= f;
        else flags_ &= ~f;
    }
    void ClearFlag(uint32_t f) { flags_ &= ~f; }

    // Builds the normal ids of every face corner that is not specified from the parent mesh's
    // smoothing groups: around one vertex, faces that share a smoothing bit (directly or through
    // other faces) share a normal; a face without smoothing groups gets its own normals. Specified
    // corners keep their ids. Needs a parent mesh; without one nothing happens.
    void BuildNormals();
    // Computes every non-explicit normal as the angle-weighted average of the normals of the faces
    // using it. Needs a parent mesh.
    void ComputeNormals();
    // Builds the topology when it is missing or no longer matches the parent's face count, then
    // computes the normals when they are not computed yet.
    void CheckNormals();
    // Drops all normals and faces.
    void ClearAndFree();
    void Initialize() { ClearAndFree(); }

private:
    Mesh* parent_ = nullptr;
    std::vector<Point3> normals_;
    std::vector<bool> explicit_;
    std::vector<MeshNormalFace> faces_;
    uint32_t flags_ = 0;
};

// Makes sure every face corner of `mesh` has a normal that is up to date before the normals are
// read: builds and computes them where the mesh has none, where they cover other faces, where a
// corner has no normal, or where a normal the host computes has never been computed. Returns the
// mesh's normals (null only when it can hold none).
MeshNormalSpec* PrepareCornerNormals(Mesh& mesh);

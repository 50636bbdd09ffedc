#pragma once
// The host's triangle mesh: vertices, faces (three vertex indices, smoothing groups, flags holding
// edge visibility and, in the upper 16 bits, the material id), map channels with their own vertices
// and faces (channel 0 vertex colours, 1 and up texture coordinates), an optional explicit normal
// set, a bounding box and an edge list.
//
// Arrays are public std::vectors so that callers write vertices, faces and channel data directly,
// as the host's mesh allows. The set* functions resize them; "keep" preserves existing entries.
#include "host/box3.h"
#include "host/ids.h"

#include <cstdint>
#include <memory>
#include <vector>

class MeshNormalSpec;
class GraphicsWindow;
struct Material;

class Face {
public:
    uint32_t v[3] = {0, 0, 0};
    uint32_t smGroup = 0;  // smoothing group bits; 0 = not smoothed with any other face
    uint32_t flags = 0;    // EDGE_A/B/C, FACE_HIDDEN, material id << FACE_MATID_SHIFT

    void setVerts(uint32_t a, uint32_t b, uint32_t c) { v[0] = a; v[1] = b; v[2] = c; }
    uint32_t getVert(int corner) const { return v[corner]; }
    void setSmGroup(uint32_t group) { smGroup = group; }
    uint32_t getSmGroup() const { return smGroup; }
    MtlID getMatID() const { return static_cast<MtlID>((flags >> FACE_MATID_SHIFT) & FACE_MATID_MASK); }
    void setMatID(MtlID id) {
        flags = (flags & ~(FACE_MATID_MASK << FACE_MATID_SHIFT)) | (uint32_t(id) << FACE_MATID_SHIFT);
    }
    // Edge i runs from corner i to corner (i + 1) % 3.
    bool getEdgeVis(int edge) const { return (flags & (EDGE_A << edge)) != 0; }
    void setEdgeVis(int edge, bool visible) {
        if (visible) flags |= (EDGE_A << edge);
        else flags &= ~(EDGE_A << edge);
    }
    void setEdgeVisFlags(bool a, bool b, bool c) { setEdgeVis(0, a); setEdgeVis(1, b); setEdgeVis(2, c); }
    bool Hidden() const { return (flags & FACE_HIDDEN) != 0; }
};

// A face of a map channel: three indices into the channel's own vertices.
class TVFace {
public:
    uint32_t t[3] = {0, 0, 0};
    void setTVerts(uint32_t a, uint32_t b, uint32_t c) { t[0] = a; t[1] = b; t[2] = c; }
    uint32_t getTVert(int corner) const { return t[corner]; }
};

// A map-channel vertex: (u, v, w) for texture channels, (r, g, b) for vertex colours.
using UVVert = Point3;

class MeshMap {
public:
    uint32_t flags = 0;          // MESHMAP_USED, MESHMAP_TEXTURE
    std::vector<UVVert> tv;      // channel vertices
    std::vector<TVFace> tf;      // channel faces, one per mesh face when the channel is used

    int getNumVerts() const { return static_cast<int>(tv.size()); }
    int getNumFaces() const { return static_cast<int>(tf.size()); }
    void setNumVerts(int n, bool keep = false);
    // Resizing to a positive count marks the channel used; to 0 marks it unused.
    void setNumFaces(int n, bool keep = false);
    bool IsUsed() const { return (flags & MESHMAP_USED) != 0; }
    void SetFlag(uint32_t f) { flags |= f; }
    void ClearFlag(uint32_t f) { flags &= ~f; }
    bool GetFlag(uint32_t f) const { return (flags & f) != 0; }
    void Clear() { flags = 0; tv.clear(); tf.clear(); }
};

// One edge of the mesh, built by BuildStripsAndEdges: its two vertices (lower index first), the
// faces on either side (-1 when only one face uses it) and whether it is visible on the first face.
struct MeshEdge {
    uint32_t v[2] = {0, 0};
    int f[2] = {-1, -1};
    bool visible = false;
};

class Mesh {
public:
    std::vector<Point3> verts;
    std::vector<Face> faces;

    // A new mesh has two map channels (0 and 1), both empty and unused.
    Mesh();
    Mesh(const Mesh& other);
    Mesh(Mesh&& other) noexcept;
    Mesh& operator=(const Mesh& other);
    Mesh& operator=(Mesh&& other) noexcept;
    ~Mesh();

    // Vertices. With synchronize, per-vertex data kept by the mesh (vertex normals) follows the count.
    bool setNumVerts(int n, bool keep = false, bool synchronize = false);
    int getNumVerts() const { return static_cast<int>(verts.size()); }
    void setVert(int i, const Point3& p) { verts.at(i) = p; }
    void setVert(int i, float x, float y, float z) { verts.at(i) = {x, y, z}; }
    Point3& getVert(int i) { return verts.at(i); }
    const Point3& getVert(int i) const { return verts.at(i); }

    // Faces. With synchronize, the face lists of used map channels and of the normal set
    // follow the new count.
    bool setNumFaces(int n, bool keep = false, bool synchronize = false);
    int getNumFaces() const { return static_cast<int>(faces.size()); }

    // Map channels. setNumMaps without keep discards the content of every channel.
    void setNumMaps(int n, bool keep = false);
    int getNumMaps() const { return static_cast<int>(maps_.size()); }
    // The channel; throws std::out_of_range for a channel the mesh does not have.
    MeshMap& Map(int channel) { return maps_.at(channel); }
    const MeshMap& Map(int channel) const { return maps_.at(channel); }
    // True when the channel exists and is in use.
    bool mapSupport(int channel) const;
    // Turns a channel on (adding channels up to it and giving it one face per mesh face) or off.
    void setMapSupport(int channel, bool support = true);
    int getNumMapVerts(int channel) const { return mapSupport(channel) ? Map(channel).getNumVerts() : 0; }
    // The channel's vertex and face arrays; null for a channel the mesh does not have.
    UVVert* mapVerts(int channel) {
        return channel >= 0 && channel < getNumMaps() ? maps_[channel].tv.data() : nullptr;
    }
    TVFace* mapFaces(int channel) {
        return channel >= 0 && channel < getNumMaps() ? maps_[channel].tf.data() : nullptr;
    }

    // Shortcuts for texture channel 1.
    bool setNumTVerts(int n, bool keep = false);
    int getNumTVerts() const { return getNumMaps() > 1 ? maps_[1].getNumVerts() : 0; }
    bool setNumTVFaces(int n, bool keep = false);
    int getNumTVFaces() const { return getNumMaps() > 1 ? maps_[1].getNumFaces() : 0; }

    // Explicit normals. SpecifyNormals attaches an empty normal set when the mesh has none.
    void SpecifyNormals();
    MeshNormalSpec* GetSpecifiedNormals() { return normalSpec_.get(); }
    const MeshNormalSpec* GetSpecifiedNormals() const { return normalSpec_.get(); }
    void ClearSpecifiedNormals();

    // Per-vertex normals from smoothing groups, for display (the average of the face normals of the
    // faces around each vertex).
    void buildNormals();
    Point3 getNormal(int vertex) const;
    // Normal of a face from its vertex winding (zero for a degenerate face or bad indices).
    Point3 FaceNormal(int face, bool normalize = true) const;

    // Bounds of the vertices in object space; getBoundingBox transforms them by tm when given.
    void buildBoundingBox();
    Box3 getBoundingBox(const Matrix3* tm = nullptr) const;

    // Builds the edge list (and the display structures the host derives from it). With no display
    // to feed, the list is derived from the faces when GetEdges first reads it; until the mesh's
    // topology changes (setNumFaces, InvalidateTopologyCache) it is then kept. GetEdges is empty
    // until BuildStripsAndEdges has been called.
    void BuildStripsAndEdges();
    const std::vector<MeshEdge>& GetEdges() const;

    // Draws the mesh into a graphics window through its current transform (compFlags: COMP_ALL ...;
    // face material ids index the numMaterials materials). Nothing happens without a window.
    void render(GraphicsWindow* gw, const Material* materials, int compFlags, int numMaterials) const;

    // Drops derived data after the caller changed vertices or faces.
    void InvalidateGeomCache();
    void InvalidateTopologyCache();

    // True when every face names existing vertices and every used channel's faces name existing
    // channel vertices.
    bool CheckIndices() const;

private:
    std::vector<MeshMap> maps_;
    std::unique_ptr<MeshNormalSpec> normalSpec_;
    std::vector<Point3> vertexNormals_;
    // Edges derived on first read; see BuildStripsAndEdges.
    mutable std::vector<MeshEdge> edges_;
    bool edgesWanted_ = false;
    mutable bool edgesBuilt_ = false;
    void buildEdges() const;
    Box3 bounds_;
};

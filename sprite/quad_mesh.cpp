// The sprite's mesh: two faces over the four corners, one texture channel, normals towards the viewer.
#include "sprite/quad_mesh.h"

namespace zeq {

void BuildQuadMesh(const SpriteCorners& corners, Mesh& mesh) {
    mesh.setNumVerts(4);
    for (int i = 0; i < 4; ++i) mesh.setVert(i, corners.corner[i]);

    // Wound so that both faces look towards the camera the corners were made for.
    mesh.setNumFaces(2);
    mesh.faces[0].setVerts(2, 1, 0);
    mesh.faces[1].setVerts(3, 1, 2);
    for (Face& face : mesh.faces) {
        face.setEdgeVisFlags(true, true, true);
        face.setSmGroup(1);
    }

    // Corner 0 is the right top (1, 1), corner 3 the left bottom (0, 0).
    mesh.setNumTVerts(4);
    mesh.Map(1).tv[0] = UVVert(1, 1, 0);
    mesh.Map(1).tv[1] = UVVert(1, 0, 0);
    mesh.Map(1).tv[2] = UVVert(0, 1, 0);
    mesh.Map(1).tv[3] = UVVert(0, 0, 0);
    mesh.setNumTVFaces(2);
    mesh.Map(1).tf[0].setTVerts(2, 1, 0);
    mesh.Map(1).tf[1].setTVerts(3, 1, 2);

    // Cached geometry goes first: dropping it also drops vertex normals, which are then rebuilt.
    mesh.InvalidateGeomCache();
    mesh.buildNormals();
}

}  // namespace zeq

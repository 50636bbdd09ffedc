#pragma once
// The demo scene compiled into zeq: a small scene that uses every kind of content the exporter
// handles, kept as a scene document so that it doubles as a worked example of the format
// (`zeq scene demo -o demo.json` writes it out).
//
// It holds a textured crate mesh with a multi-material (material ids 1 and 3, explicit normals)
// shown by two nodes, one of them animated over the range; a polygon-mesh pyramid on a node with a
// pivot offset; an arm skinned to two bones; a directional, an omni and a spot light; a camera; a
// "Tree@LOD" group with the levels a@50_x, b@200 and c@400; a LOD helper object with two levels
// carrying "LODDistance"; a sprite with a standard material; a bump map holding a normal bitmap and
// a cube reflection map; and the layers "Props" and "Lights". Every mesh has texture channel 1, so
// tangents can be computed, and stays far below the vertex limit.
namespace headless {

class Host;

// Loads the demo scene into host's scene.
void buildDemoScene(Host& host);
// The demo scene as JSON text.
const char* demoSceneDocument();

}  // namespace headless

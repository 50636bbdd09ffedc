// The demo scene document. The JSON text is the scene itself; buildDemoScene loads it like any
// other scene document, so the demo also proves that the loader takes what the format describes.
#include "headless/demo_scene.h"

#include "headless/scene_document.h"

namespace headless {

namespace {

constexpr const char kDemoScene[] = R"demo({
  "format": "zeq-scene",
  "version": 1,
  "ticksPerFrame": 160,
  "animationRange": [0, 4800],
  "ambient": [0.2, 0.2, 0.25],
  "renderSize": [1280, 720],
  "time": 0,

  "layers": [
    {"name": "Props"},
    {"name": "Lights"}
  ],

  "maps": [
    {"id": "CrateDiffuse", "kind": "bitmap", "file": "textures/crate.png", "channel": 1, "size": [256, 256]},
    {"id": "CrateNormal", "kind": "bitmap", "file": "textures/crate_normal.png", "size": [256, 256]},
    {"id": "CrateBump", "kind": "other", "classId": ["0x243E22C6", "0x63F6A014"], "name": "Crate normal bump",
     "subMaps": ["CrateNormal"]},
    {"id": "MetalDiffuse", "kind": "bitmap", "file": "textures/metal.png", "size": [128, 128]},
    {"id": "SkinDiffuse", "kind": "bitmap", "file": "textures/skin.png", "size": [128, 128]},
    {"id": "FlareImage", "kind": "bitmap", "file": "textures/flare.png", "size": [64, 64]},
    {"id": "Sky", "kind": "cube",
     "files": ["textures/sky_front.png", "textures/sky_back.png", "textures/sky_left.png",
               "textures/sky_right.png", "textures/sky_up.png", "textures/sky_down.png"]}
  ],

  "materials": [
    {"id": "Crate", "kind": "standard", "diffuse": [0.8, 0.7, 0.55], "specularLevel": 0.2, "glossiness": 0.3,
     "maps": {"diffuse": "CrateDiffuse", "bump": "CrateBump", "reflection": "Sky"},
     "mapAmounts": {"reflection": 0.25}, "showInViewport": true},
    {"id": "Metal", "kind": "standard", "diffuse": [0.6, 0.6, 0.65], "specularLevel": 0.8, "glossiness": 0.6,
     "maps": {"diffuse": "MetalDiffuse", "reflection": "Sky"}},
    {"id": "CrateMulti", "kind": "multi",
     "subMaterials": [
       {"id": 1, "material": "Crate", "name": "Planks"},
       {"id": 3, "material": "Metal", "name": "Bands"}
     ]},
    {"id": "SkinMaterial", "kind": "standard", "diffuse": [0.9, 0.7, 0.6], "maps": {"diffuse": "SkinDiffuse"}},
    {"id": "FlareMaterial", "kind": "standard", "selfIllumination": 1, "twoSided": true,
     "maps": {"diffuse": "FlareImage"}}
  ],

  "objects": [
    {"id": "CrateMesh", "kind": "mesh",
     "mesh": {
       "vertices": [[-0.5, -0.5, -0.5], [0.5, -0.5, -0.5], [0.5, 0.5, -0.5], [-0.5, 0.5, -0.5],
                    [-0.5, -0.5, 0.5], [0.5, -0.5, 0.5], [0.5, 0.5, 0.5], [-0.5, 0.5, 0.5]],
       "faces": [[0, 3, 2], [2, 1, 0], [4, 5, 6], [6, 7, 4], [0, 1, 5], [5, 4, 0],
                 [1, 2, 6], [6, 5, 1], [2, 3, 7], [7, 6, 2], [3, 0, 4], [4, 7, 3]],
       "materialIds": [1, 1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 3],
       "smoothingGroups": [1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32],
       "channels": [
         {"channel": 1,
          "vertices": [[0, 0], [1, 0], [1, 1], [0, 1]],
          "faces": [[0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0],
                    [0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0]]}
       ],
       "normals": {
         "values": [[0, 0, -1], [0, 0, 1], [0, -1, 0], [1, 0, 0], [0, 1, 0], [-1, 0, 0]],
         "faces": [[0, 0, 0], [0, 0, 0], [1, 1, 1], [1, 1, 1], [2, 2, 2], [2, 2, 2],
                   [3, 3, 3], [3, 3, 3], [4, 4, 4], [4, 4, 4], [5, 5, 5], [5, 5, 5]]
       }
     }},

    {"id": "PyramidPoly", "kind": "poly",
     "mesh": {
       "vertices": [[-0.5, -0.5, 0], [0.5, -0.5, 0], [0.5, 0.5, 0], [-0.5, 0.5, 0], [0, 0, 1]],
       "faces": [[0, 3, 2], [2, 1, 0], [0, 1, 4], [1, 2, 4], [2, 3, 4], [3, 0, 4]],
       "smoothingGroups": [1, 1, 2, 2, 2, 2],
       "channels": [
         {"channel": 1,
          "vertices": [[0, 0], [1, 0], [1, 1], [0, 1], [0.5, 1]],
          "faces": [[0, 3, 2], [2, 1, 0], [0, 1, 4], [0, 1, 4], [0, 1, 4], [0, 1, 4]]}
       ]
     }},

    {"id": "ArmMesh", "kind": "mesh",
     "mesh": {
       "vertices": [[-0.2, -0.2, 0], [0.2, -0.2, 0], [0.2, 0.2, 0], [-0.2, 0.2, 0],
                    [-0.2, -0.2, 1], [0.2, -0.2, 1], [0.2, 0.2, 1], [-0.2, 0.2, 1],
                    [-0.2, -0.2, 2], [0.2, -0.2, 2], [0.2, 0.2, 2], [-0.2, 0.2, 2]],
       "faces": [[0, 1, 5], [5, 4, 0], [1, 2, 6], [6, 5, 1], [2, 3, 7], [7, 6, 2], [3, 0, 4], [4, 7, 3],
                 [4, 5, 9], [9, 8, 4], [5, 6, 10], [10, 9, 5], [6, 7, 11], [11, 10, 6], [7, 4, 8], [8, 11, 7],
                 [0, 3, 2], [2, 1, 0], [8, 9, 10], [10, 11, 8]],
       "smoothingGroups": [1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2],
       "channels": [
         {"channel": 1,
          "vertices": [[0, 0], [1, 0], [1, 1], [0, 1]],
          "faces": [[0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0],
                    [0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0],
                    [0, 1, 2], [2, 3, 0], [0, 1, 2], [2, 3, 0]]}
       ]
     }},

    {"id": "Arm", "kind": "stack", "base": "ArmMesh",
     "modifiers": [
       {"kind": "skin",
        "bones": [
          {"node": "Bone01", "initialMatrix": {"translation": [4, 0, 0]}},
          {"node": "Bone02", "initialMatrix": {"translation": [4, 0, 1]}}
        ],
        "skinMatrix": {"translation": [4, 0, 0]},
        "weights": [
          [[0, 1]], [[0, 1]], [[0, 1]], [[0, 1]],
          [[0, 0.5], [1, 0.5]], [[0, 0.5], [1, 0.5]], [[0, 0.5], [1, 0.5]], [[0, 0.5], [1, 0.5]],
          [[1, 1]], [[1, 1]], [[1, 1]], [[1, 1]]
        ]}
     ]},

    {"id": "BoneObject", "kind": "object", "superClass": "geometry", "classId": ["0x28BF6E8D", "0x2ECCA840"],
     "name": "Bone"},

    {"id": "SunLight", "kind": "light", "type": "directional", "color": [1, 0.95, 0.9], "intensity": 1},
    {"id": "BulbLight", "kind": "light", "type": "omni", "color": [1, 0.8, 0.6], "intensity": 0.8,
     "attenuation": {"farStart": 2, "farEnd": 10}, "useAttenuation": true},
    {"id": "SpotLight", "kind": "light", "type": "spot", "color": [1, 1, 1], "intensity": 1.5,
     "hotspot": 30, "falloff": 40, "attenuation": {"farStart": 5, "farEnd": 20}},

    {"id": "MainCamera", "kind": "camera", "fov": 0.785398, "near": 0.1, "far": 500},

    {"id": "GroupDummy", "kind": "object", "superClass": "helper", "classId": ["0x00876234", "0x00000000"],
     "name": "Dummy"},

    {"id": "LODHelper", "kind": "object", "superClass": "geometry", "classId": ["0xB08FE489", "0x88D0FBBE"],
     "name": "ZeqLOD",
     "paramBlocks": [
       {"id": 0, "name": "LODObjectParamBlock",
        "params": [
          {"id": 0, "name": "Pick node", "type": "node", "value": null},
          {"id": 4, "name": "Nodes list", "type": "node[]", "value": ["Tree_High", "Tree_Low"]},
          {"id": 5, "name": "Nodes view", "type": "string[]", "value": [">>Tree_High [0.00]<<", "Tree_Low [100.00]"]},
          {"id": 3, "name": "Current distance", "type": "float", "value": 0},
          {"id": 1, "name": "Center align child", "type": "bool", "value": false},
          {"id": 2, "name": "Icon size", "type": "float", "value": 1}
        ]}
     ]},

    {"id": "FlareSprite", "kind": "object", "superClass": "geometry", "classId": ["0x8264D187", "0x6912FD2F"],
     "name": "Sprite",
     "paramBlocks": [
       {"id": 3, "name": "params",
        "params": [
          {"id": 0, "name": "originX", "type": "float", "value": 0.5},
          {"id": 1, "name": "originY", "type": "float", "value": 0.5},
          {"id": 2, "name": "rotation", "type": "int", "value": 0},
          {"id": 3, "name": "perspectiveScale", "type": "bool", "value": true},
          {"id": 4, "name": "width", "type": "float", "value": 64},
          {"id": 5, "name": "height", "type": "float", "value": 64},
          {"id": 6, "name": "autosize", "type": "bool", "value": false}
        ]}
     ]}
  ],

  "nodes": [
    {"name": "Crate01", "object": "CrateMesh", "material": "CrateMulti", "layer": "Props",
     "transform": {"translation": [0, 0, 0.5]}},
    {"name": "Crate02", "object": "CrateMesh", "material": "CrateMulti", "layer": "Props",
     "keys": [
       {"tick": 0, "transform": {"translation": [2, 0, 0.5]}},
       {"tick": 2400, "transform": {"rotation": [0, 0, 90], "translation": [2, 0, 1.5]}},
       {"tick": 4800, "transform": {"rotation": [0, 0, 180], "translation": [2, 0, 0.5]}}
     ]},
    {"name": "Pedestal", "object": "PyramidPoly", "material": "Metal", "layer": "Props",
     "transform": {"translation": [-2, 0, 0.5]},
     "objectOffset": {"translation": [0, 0, -0.5]}},

    {"name": "Bone01", "object": "BoneObject", "layer": "Props", "transform": {"translation": [4, 0, 0]}},
    {"name": "Bone02", "parent": "Bone01", "object": "BoneObject", "layer": "Props",
     "transform": {"translation": [0, 0, 1]}},
    {"name": "Arm", "object": "Arm", "material": "SkinMaterial", "layer": "Props",
     "transform": {"translation": [4, 0, 0]}},

    {"name": "Sun", "object": "SunLight", "layer": "Lights",
     "transform": {"rotation": [45, 0, 45], "translation": [0, 0, 10]}},
    {"name": "Bulb", "object": "BulbLight", "layer": "Lights", "transform": {"translation": [0, -3, 3]}},
    {"name": "Spot", "object": "SpotLight", "layer": "Lights",
     "transform": {"rotation": [45, 0, 0], "translation": [0, -6, 6]}},
    {"name": "Camera01", "object": "MainCamera", "layer": "Lights",
     "transform": {"rotation": [70, 0, 0], "translation": [0, -10, 4]}},

    {"name": "Tree@LOD", "object": "GroupDummy", "layer": "Props", "transform": {"translation": [-4, 3, 0]}},
    {"name": "a@50_x", "parent": "Tree@LOD", "object": "PyramidPoly", "material": "Metal", "layer": "Props"},
    {"name": "b@200", "parent": "Tree@LOD", "object": "PyramidPoly", "material": "Metal", "layer": "Props",
     "transform": {"scale": [0.8, 0.8, 0.8]}},
    {"name": "c@400", "parent": "Tree@LOD", "object": "PyramidPoly", "material": "Metal", "layer": "Props",
     "transform": {"scale": [0.6, 0.6, 0.6]}},

    {"name": "TreeLOD", "object": "LODHelper", "layer": "Props", "transform": {"translation": [4, 4, 0]}},
    {"name": "Tree_High", "parent": "TreeLOD", "object": "CrateMesh", "material": "CrateMulti", "layer": "Props",
     "userProperties": {"LODDistance": "0"}},
    {"name": "Tree_Low", "parent": "TreeLOD", "object": "PyramidPoly", "material": "Metal", "layer": "Props",
     "hidden": true, "userProperties": {"LODDistance": "100"}},

    {"name": "Flare", "object": "FlareSprite", "material": "FlareMaterial", "layer": "Props",
     "transform": {"translation": [0, 0, 3]}}
  ],

  "selection": ["Crate01"]
}
)demo";

}  // namespace

const char* demoSceneDocument() { return kDemoScene; }

void buildDemoScene(Host& host) { loadSceneDocumentText(host, kDemoScene); }

}  // namespace headless

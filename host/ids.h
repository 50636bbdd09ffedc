#pragma once
// Every host identifier a plug-in compares against or passes to the host: super class ids, class
// ids, interface ids, flag bits and message codes. Each value is defined here and nowhere else.
#include "host/types.h"

// ---- Library contract -------------------------------------------------------------------------

// The host's plug-in API version: release 13000 in the upper 16 bits, API number 35, SDK revision 0.
inline constexpr uint32_t HOST_RELEASE = 13000;
inline constexpr uint32_t HOST_API_NUM = 35;
inline constexpr uint32_t HOST_SDK_REV = 0;
inline constexpr uint32_t HOST_SDK_VERSION = (HOST_RELEASE << 16) | (HOST_API_NUM << 8) | HOST_SDK_REV;
static_assert(HOST_SDK_VERSION == 0x32C82300u);

// ---- Super class ids ---------------------------------------------------------------------------

inline constexpr SClass_ID BASENODE_CLASS_ID = 0x0001;
inline constexpr SClass_ID GEN_DERIVOB_CLASS_ID = 0x0002;   // modifier stack wrapper
inline constexpr SClass_ID DERIVOB_CLASS_ID = 0x0003;       // modifier stack wrapper
inline constexpr SClass_ID WSM_DERIVOB_CLASS_ID = 0x0004;   // world-space modifier stack wrapper
inline constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x0010;
inline constexpr SClass_ID CAMERA_CLASS_ID = 0x0020;
inline constexpr SClass_ID LIGHT_CLASS_ID = 0x0030;
inline constexpr SClass_ID SHAPE_CLASS_ID = 0x0040;
inline constexpr SClass_ID HELPER_CLASS_ID = 0x0050;
inline constexpr SClass_ID PARAMETER_BLOCK2_CLASS_ID = 0x0082;
inline constexpr SClass_ID OSM_CLASS_ID = 0x0810;           // object-space modifier
inline constexpr SClass_ID WSM_CLASS_ID = 0x0820;           // world-space modifier
inline constexpr SClass_ID SCENE_IMPORT_CLASS_ID = 0x0A10;
inline constexpr SClass_ID SCENE_EXPORT_CLASS_ID = 0x0A20;
inline constexpr SClass_ID MATERIAL_CLASS_ID = 0x0C00;
inline constexpr SClass_ID TEXMAP_CLASS_ID = 0x0C10;
inline constexpr SClass_ID UVGEN_CLASS_ID = 0x0C20;
inline constexpr SClass_ID UTILITY_CLASS_ID = 0x1020;
inline constexpr SClass_ID GUP_CLASS_ID = 0x10E0;           // global utility plug-in
inline constexpr SClass_ID LAYER_CLASS_ID = 0x10F0;
inline constexpr SClass_ID CTRL_MATRIX3_CLASS_ID = 0x9008;  // transform controllers

// True for the three super classes of modifier-stack wrappers.
constexpr bool IsDerivedObjectSuperClass(SClass_ID s) {
    return s == GEN_DERIVOB_CLASS_ID || s == DERIVOB_CLASS_ID || s == WSM_DERIVOB_CLASS_ID;
}

// ---- Geometry classes --------------------------------------------------------------------------

inline constexpr Class_ID TRIOBJ_CLASS_ID{0x00000009, 0};        // triangle-mesh object
inline constexpr uint32_t EDITTRIOBJ_CLASS_PART_A = 0xE44F10B3;  // editable mesh, used like a triangle object
inline constexpr Class_ID POLYOBJ_CLASS_ID{0x5D21369A, 0};       // polygon-mesh object
inline constexpr Class_ID EPOLYOBJ_CLASS_ID{0x1BF8338D, 0x192F6098};  // editable polygon object
inline constexpr Class_ID DERIVOB_CLASS_CLASS_ID{0x00000001, 0};      // class of modifier-stack wrappers

// Geometric objects that stand for skeleton joints.
inline constexpr Class_ID JOINT_OBJECT_A_CLASS_ID{0x28BF6E8D, 0x2ECCA840};
inline constexpr Class_ID JOINT_OBJECT_B_CLASS_ID{0x73DC4833, 0x65C93CAA};
inline constexpr Class_ID JOINT_OBJECT_C_CLASS_ID{0x2E6A0C09, 0x43D5C9C0};
// Transform controllers that drive skeleton joints.
inline constexpr Class_ID JOINT_CONTROL_A_CLASS_ID{0x9154, 0};
inline constexpr Class_ID JOINT_CONTROL_B_CLASS_ID{0x9156, 0};
inline constexpr Class_ID JOINT_CONTROL_C_CLASS_ID{0x3011, 0};
inline constexpr Class_ID JOINT_CONTROL_D_CLASS_ID{0x9155, 0};
// Helper objects (part A of the class id) that stand for skeleton joints.
inline constexpr uint32_t JOINT_HELPER_CLASS_PART_A = 0x8A63C0;
// Shapes that render as meshes.
inline constexpr Class_ID MESH_SHAPE_A_CLASS_ID{0x76A11646, 0x12A822FB};
inline constexpr Class_ID MESH_SHAPE_B_CLASS_ID{0x76A11646, 0x12A83145};
inline constexpr Class_ID MESH_SHAPE_C_CLASS_ID{0x76A11646, 0x12A92143};

// The host's generic object class: every geometric object can stand for it.
inline constexpr Class_ID DEFOBJECT_CLASS_ID{0x000000AF, 0};

// Ordinary scene objects the headless host can hold.
inline constexpr Class_ID BOX_OBJECT_CLASS_ID{0x00000010, 0};
inline constexpr Class_ID SPHERE_OBJECT_CLASS_ID{0x00000011, 0};
inline constexpr Class_ID TARGET_OBJECT_CLASS_ID{0x00001020, 0};  // look-at target of cameras and lights
inline constexpr Class_ID DUMMY_CLASS_ID{0x00876234, 0};           // dummy helper
inline constexpr Class_ID POINTHELP_CLASS_ID{0x00002013, 0};       // point helper
inline constexpr Class_ID SIMPLE_CAMERA_CLASS_ID{0x00001001, 0};   // free camera
inline constexpr Class_ID LOOKAT_CAMERA_CLASS_ID{0x00001002, 0};   // target camera
inline constexpr Class_ID SPLINE_SHAPE_CLASS_ID{0x00000A, 0};      // editable spline
inline constexpr Class_ID PRS_CONTROL_CLASS_ID{0x00002005, 0};     // default position/rotation/scale controller
inline constexpr Class_ID LAYER_OBJECT_CLASS_ID{0x0000E3E0, 0};
inline constexpr Class_ID GENERIC_MODIFIER_CLASS_ID{0x00000101, 0};

// ---- Lights ------------------------------------------------------------------------------------

inline constexpr Class_ID OMNI_LIGHT_CLASS_ID{0x1011, 0};
inline constexpr Class_ID SPOT_LIGHT_CLASS_ID{0x1012, 0};   // target spot
inline constexpr Class_ID DIR_LIGHT_CLASS_ID{0x1013, 0};    // directional
inline constexpr Class_ID FSPOT_LIGHT_CLASS_ID{0x1014, 0};  // free spot
inline constexpr Class_ID TDIR_LIGHT_CLASS_ID{0x1015, 0};   // target directional

// Light kinds for ImpInterface::CreateLightObject and GenLight::Type.
inline constexpr int OMNI_LIGHT = 0;
inline constexpr int TSPOT_LIGHT = 1;
inline constexpr int DIR_LIGHT = 2;
inline constexpr int FSPOT_LIGHT = 3;
inline constexpr int TDIR_LIGHT = 4;

// Attenuation value numbers of LightObject::SetAtten/GetAtten.
inline constexpr int ATTEN1_START = 0;  // near start
inline constexpr int ATTEN1_END = 1;    // near end
inline constexpr int ATTEN_START = 2;   // far start
inline constexpr int ATTEN_END = 3;     // far end

// ---- Modifiers and skins -----------------------------------------------------------------------

inline constexpr Class_ID SKIN_CLASSID{0x0095C723, 0x00015666};
inline constexpr uint32_t I_SKIN = 0x00010000;  // GetInterface(uint32_t) id of ISkin
inline constexpr int SKIN_OK = 1;
inline constexpr int SKIN_INVALID_NODE_PASSED = 0;

// Interface that replaces an object by another one it stands for (GetInterface(Interface_ID)).
inline constexpr Interface_ID OBJECT_SOURCE_INTERFACE_ID{0x5FA551F4, 0x442F057C};

// ---- Materials and maps ------------------------------------------------------------------------

inline constexpr Class_ID DMTL_CLASS_ID{0x00000002, 0};   // standard material
inline constexpr Class_ID MULTI_CLASS_ID{0x00000200, 0};  // multi/sub-object material
inline constexpr Class_ID BMTEX_CLASS_ID{0x00000240, 0};  // bitmap texture
inline constexpr Class_ID ACUBIC_CLASS_ID{0x00000987, 0}; // cube-map (reflect/refract) texture
inline constexpr Class_ID CHECKER_CLASS_ID{0x00000200, 0x00000001};
inline constexpr Class_ID NORMAL_BUMP_CLASS_ID{0x243E22C6, 0x63F6A014};
inline constexpr Class_ID STDUV_CLASS_ID{0x0000100, 0};   // the UV generator of textures

// Sub-texture slots of the standard material.
inline constexpr int ID_AM = 0;   // ambient
inline constexpr int ID_DI = 1;   // diffuse
inline constexpr int ID_SP = 2;   // specular colour
inline constexpr int ID_SH = 3;   // glossiness
inline constexpr int ID_SS = 4;   // specular level
inline constexpr int ID_SI = 5;   // self-illumination
inline constexpr int ID_OP = 6;   // opacity
inline constexpr int ID_FI = 7;   // filter colour
inline constexpr int ID_BU = 8;   // bump
inline constexpr int ID_RL = 9;   // reflection
inline constexpr int ID_RR = 10;  // refraction
inline constexpr int ID_DP = 11;  // displacement
inline constexpr int STD_NUM_TEXMAPS = 12;

// Material flags (MtlBase::SetMtlFlag).
inline constexpr int MTL_TEX_DISPLAY_ENABLED = 1 << 3;  // texture shown in viewports

// Parameter index of the cube-map texture's six bitmap names (a string table).
inline constexpr int ACUBIC_BITMAP_NAMES_PARAM = 10;
inline constexpr int ACUBIC_NUM_PARAMS = 11;

// Bitmap texture filtering (BitmapTex::SetFilterType) and alpha source (SetAlphaSource).
inline constexpr int FILTER_PYR = 0;
inline constexpr int FILTER_SAT = 1;
inline constexpr int FILTER_NADA = 2;
inline constexpr int ALPHA_FILE = 0;
inline constexpr int ALPHA_RGB = 2;
inline constexpr int ALPHA_NONE = 3;

// ---- Mesh flags ---------------------------------------------------------------------------------

inline constexpr uint32_t EDGE_A = 1u << 0;  // edge vertex 0 -> 1 visible
inline constexpr uint32_t EDGE_B = 1u << 1;  // edge vertex 1 -> 2 visible
inline constexpr uint32_t EDGE_C = 1u << 2;  // edge vertex 2 -> 0 visible
inline constexpr uint32_t EDGE_ALL = EDGE_A | EDGE_B | EDGE_C;
inline constexpr uint32_t FACE_HIDDEN = 1u << 3;
inline constexpr int FACE_MATID_SHIFT = 16;
inline constexpr uint32_t FACE_MATID_MASK = 0xFFFFu;

inline constexpr uint32_t MESHMAP_USED = 0x1;     // channel in use
inline constexpr uint32_t MESHMAP_TEXTURE = 0x2;  // channel holds texture coordinates

inline constexpr uint32_t MESH_NORMAL_NORMALS_BUILT = 0x01;
inline constexpr uint32_t MESH_NORMAL_NORMALS_COMPUTED = 0x02;
inline constexpr uint32_t MESH_NORMAL_MODIFIER_SUPPORT = 0x20;

// ---- References and notifications --------------------------------------------------------------

inline constexpr PartID PART_TOPO = 1u << 0;
inline constexpr PartID PART_GEOM = 1u << 1;
inline constexpr PartID PART_TEXMAP = 1u << 2;
inline constexpr PartID PART_MTL = 1u << 3;
inline constexpr PartID PART_ALL = 0xFFFFFFFFu;

inline constexpr RefMessage REFMSG_CHANGE = 0x00000004;
inline constexpr RefMessage REFMSG_TARGET_DELETED = 0x00000002;
inline constexpr RefMessage REFMSG_NODE_HANDLE_CHANGED = 0x00000102;  // 258: a watched node changed

// Node reference index of the layer the node lives on (INode::GetReference).
inline constexpr int NODE_TM_REF = 0;
inline constexpr int NODE_OBJECT_REF = 1;
inline constexpr int NODE_MATERIAL_REF = 3;
inline constexpr int NODE_LAYER_REF = 6;
inline constexpr int NODE_NUM_REFS = 7;

// ---- Import and export --------------------------------------------------------------------------

inline constexpr uint32_t SCENE_EXPORT_SELECTED = 1u << 0;  // option bit: export the selection only
inline constexpr int IMPEXP_FAIL = 0;
inline constexpr int IMPEXP_SUCCESS = 1;
inline constexpr int IMPEXP_CANCEL = 2;

// Global utility plug-in start results: 0 keeps the plug-in loaded.
inline constexpr uint32_t GUPRESULT_KEEP = 0x00;
inline constexpr uint32_t GUPRESULT_NOKEEP = 0x01;
inline constexpr uint32_t GUPRESULT_ABORT = 0x03;

// ---- User interface ----------------------------------------------------------------------------

// Messages a dialog procedure receives.
inline constexpr uint32_t WM_CLOSE = 0x0010;       // the window is being closed
inline constexpr uint32_t WM_INITDIALOG = 0x0110;  // the dialog opens; lParam = the caller's value
// A control was used: wParam = (notification code << 16) | control id (code 0 for a button click).
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_DESTROY = 0x0002;     // the window is going away
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_USER = 0x0400;
// A spinner's value changed (wParam = spinner id, lParam = nonzero while it is being dragged).
inline constexpr uint32_t CC_SPINNER_CHANGE = WM_USER + 0x0600;
// A slider's value changed (wParam = slider id, lParam = nonzero while it is being dragged).
inline constexpr uint32_t CC_SLIDER_CHANGE = WM_USER + 0x0620;
// Enter was pressed in a custom edit field (wParam = edit id).
inline constexpr uint32_t WM_CUSTEDIT_ENTER = WM_USER + 0x0685;

// Notification codes carried in the high word of a WM_COMMAND's wParam.
inline constexpr uint32_t BN_CLICKED = 0;
inline constexpr uint32_t LBN_SELCHANGE = 1;  // list box: the selected line changed
inline constexpr uint32_t CBN_SELCHANGE = 1;  // combo box: the selected item changed
// WM_COMMAND's wParam for a control and notification code.
constexpr uintptr_t MakeCommandParam(int controlId, uint32_t code) {
    return (uintptr_t(code) << 16) | (uintptr_t(controlId) & 0xFFFF);
}

// Command ids of the keyboard's confirm and escape keys, and the static-control id.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int IDC_STATIC = -1;

// Message box types: buttons in the low bits, icon in bits 4 to 7.
inline constexpr uint32_t MB_OK = 0x00000000;
inline constexpr uint32_t MB_OKCANCEL = 0x00000001;
inline constexpr uint32_t MB_YESNO = 0x00000004;
inline constexpr uint32_t MB_ICONERROR = 0x00000010;
inline constexpr uint32_t MB_ICONQUESTION = 0x00000020;
inline constexpr uint32_t MB_ICONWARNING = 0x00000030;
inline constexpr uint32_t MB_ICONINFORMATION = 0x00000040;

// Rollup pages: flags of Animatable::BeginEditParams / EndEditParams.
inline constexpr uint32_t BEGIN_EDIT_CREATE = 1u << 0;     // the object is being created
inline constexpr uint32_t END_EDIT_REMOVEUI = 1u << 0;     // the pages are to be taken down

// ---- Viewports ---------------------------------------------------------------------------------

// Mouse messages a creation callback receives (CreateMouseCallBack::proc).
inline constexpr int MOUSE_ABORT = 0;  // the user cancelled (right click, escape)
inline constexpr int MOUSE_IDLE = 1;
inline constexpr int MOUSE_POINT = 2;  // a button was released: a point is placed
inline constexpr int MOUSE_MOVE = 3;   // the mouse moved with a point pending
inline constexpr int MOUSE_DBLCLICK = 4;
inline constexpr int MOUSE_FREEMOVE = 7;  // the mouse moved with no button down

// Results of a creation callback.
inline constexpr int CREATE_CONTINUE = 1;
inline constexpr int CREATE_STOP = 0;
inline constexpr int CREATE_ABORT = -1;

// Snap flags of ViewExp::SnapPoint.
inline constexpr uint32_t SNAP_IN_3D = 0x0000;
inline constexpr uint32_t SNAP_IN_PLANE = 0x0001;

// Hit-test region kinds and flags (Object::HitTest).
inline constexpr int HITTYPE_POINT = 1;
inline constexpr int HITTYPE_BOX = 2;
inline constexpr int HIT_ABORTONHIT = 1 << 3;
// Pick radius, in pixels, of a point hit test.
inline constexpr int HIT_PICK_RADIUS = 4;

// Components of a mesh drawn by Mesh::render.
inline constexpr int COMP_TRANSFORM = 0x0001;
inline constexpr int COMP_HIDE = 0x0002;
inline constexpr int COMP_VERTTICKS = 0x0004;
inline constexpr int COMP_ALL = 0x00FF;

// Colours a graphics window draws with (GraphicsWindow::setColor).
inline constexpr int LINE_COLOR = 0;
inline constexpr int FILL_COLOR = 1;
inline constexpr int TEXT_COLOR = 2;

// Render limits of a graphics window (GraphicsWindow::setRndLimits).
inline constexpr uint32_t GW_WIREFRAME = 0x0000001;
inline constexpr uint32_t GW_ILLUM = 0x0000002;
inline constexpr uint32_t GW_FLAT = 0x0000004;
inline constexpr uint32_t GW_Z_BUFFER = 0x0000020;
inline constexpr uint32_t GW_BACKCULL = 0x0000100;
inline constexpr uint32_t GW_PICK = 0x0001000;

// Check states of check boxes.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int BST_INDETERMINATE = 2;

// ---- Host notifications, command modes and core interfaces ---------------------------------------

// Codes of host notifications (RegisterNotification). What NotifyInfo::callParam carries is noted.
inline constexpr int NOTIFY_SELECTIONSET_CHANGED = 33;  // the node selection changed; nothing
inline constexpr int NOTIFY_NODE_NOTICE_58 = 58;        // a node notice; nothing the suite reads
inline constexpr int NOTIFY_NODE_CREATED = 67;          // a node was created; the INode*
inline constexpr int NOTIFY_NODE_TABLE = 70;            // nodes the host reports on; an INodeTab*

// Command mode ids (CommandMode::ID).
inline constexpr int CREATE_COMMAND = 400;  // the create panel places new objects

// Results of reference-change notices (ReferenceMaker::NotifyRefChanged).
using RefResult = int;
inline constexpr RefResult REF_FAIL = 0;
inline constexpr RefResult REF_SUCCEED = 1;
inline constexpr RefResult REF_DONTCARE = 2;

// Function-published interfaces: flag of a core interface (published host-wide), call results.
inline constexpr uint32_t FP_CORE = 0x0004;
inline constexpr int FPS_FAIL = 0;
inline constexpr int FPS_OK = 1;
inline constexpr int FPS_NO_SUCH_FUNCTION = -1;

// A host core interface with two functions that take one node: the second is called for nodes that
// hold a LOD object, the first for nodes whose parent holds one.
inline constexpr Interface_ID LOD_NODES_CORE_INTERFACE_ID{0x35CF3DAA, 0x3D43112D};

// The sprite's class descriptor and the description of its parameter block and rollup page.
#include "sprite/sprite_class_desc.h"

#include "host/plugin_classes.h"
#include "sprite/resources.h"
#include "sprite/sprite.h"

namespace zeq {
namespace {

// Every parameter is animatable; numbers show in spinners named "Spin", switches in check boxes
// named "CheckBox".
ParamDef numberParam(ParamID id, const char* name, ParamType2 type, float low, float high, int edit, int spinner,
                     float step) {
    ParamDef def;
    def.id = id;
    def.internalName = name;
    def.type = type;
    def.flags = P_ANIMATABLE;
    def.localNameId = IDS_SPRITE_SPIN;
    def.rangeLow = low;
    def.rangeHigh = high;
    def.control = type == TYPE_INT ? ParamControlKind::IntSpinner : ParamControlKind::FloatSpinner;
    def.editId = edit;
    def.spinnerId = spinner;
    def.spinnerStep = step;
    return def;
}

ParamDef floatSpinner(ParamID id, const char* name, float value, float low, float high, int edit, int spinner,
                      float step) {
    ParamDef def = numberParam(id, name, TYPE_FLOAT, low, high, edit, spinner, step);
    def.defaultFloat = value;
    return def;
}

ParamDef checkBox(ParamID id, const char* name, bool value, int box) {
    ParamDef def;
    def.id = id;
    def.internalName = name;
    def.type = TYPE_BOOL;
    def.flags = P_ANIMATABLE;
    def.localNameId = IDS_SPRITE_CHECKBOX;
    def.defaultInt = value ? 1 : 0;
    def.control = ParamControlKind::CheckBox;
    def.editId = box;
    return def;
}

ParamBlockDesc2 makeParamBlock() {
    ParamBlockDesc2 desc;
    desc.id = SPRITE_PARAM_BLOCK_ID;
    desc.internalName = "params";
    desc.localNameId = 0;
    desc.flags = P_AUTO_CONSTRUCT | P_AUTO_UI;
    desc.ref = 0;
    desc.dialogTemplateId = IDD_SPRITE_PARAMS;
    desc.titleStringId = IDS_SPRITE_PARAMS;
    desc.params = {
        floatSpinner(SPRITE_PARAM_ORIGIN_X, "originX", 0.5f, 0.0f, 1.0f, IDC_SPRITE_ORIGINX_EDIT,
                     IDC_SPRITE_ORIGINX_SPIN, 0.1f),
        floatSpinner(SPRITE_PARAM_ORIGIN_Y, "originY", 0.5f, 0.0f, 1.0f, IDC_SPRITE_ORIGINY_EDIT,
                     IDC_SPRITE_ORIGINY_SPIN, 0.1f),
        numberParam(SPRITE_PARAM_ROTATION, "rotation", TYPE_INT, -180.0f, 180.0f, IDC_SPRITE_ROTATION_EDIT,
                    IDC_SPRITE_ROTATION_SPIN, 1.0f),
        checkBox(SPRITE_PARAM_PERSPECTIVE_SCALE, "perspectiveScale", true, IDC_SPRITE_PERSPECTIVE_SCALE),
        floatSpinner(SPRITE_PARAM_WIDTH, "width", 32.0f, 0.0f, 100000000.0f, IDC_SPRITE_WIDTH_EDIT,
                     IDC_SPRITE_WIDTH_SPIN, 1.0f),
        floatSpinner(SPRITE_PARAM_HEIGHT, "height", 32.0f, 0.0f, 100000000.0f, IDC_SPRITE_HEIGHT_EDIT,
                     IDC_SPRITE_HEIGHT_SPIN, 1.0f),
        checkBox(SPRITE_PARAM_AUTOSIZE, "autosize", false, IDC_SPRITE_AUTOSIZE),
    };
    return desc;
}

// Made on first use, so that the descriptor never sees it before it is built.
ParamBlockDesc2& paramBlock() {
    static ParamBlockDesc2 desc = makeParamBlock();
    return desc;
}

}  // namespace

SpriteClassDesc::SpriteClassDesc() { AddParamBlockDesc(&paramBlock()); }

void* SpriteClassDesc::Create(bool) { return static_cast<Object*>(new Sprite()); }
const char* SpriteClassDesc::ClassName() { return SpriteString(IDS_SPRITE_CLASS_NAME); }
SClass_ID SpriteClassDesc::SuperClassID() { return SPRITE_SUPER_CLASS_ID; }
Class_ID SpriteClassDesc::ClassID() { return SPRITE_CLASS_ID; }
const char* SpriteClassDesc::Category() { return SpriteString(IDS_SPRITE_CATEGORY); }
ModuleHandle SpriteClassDesc::HInstance() { return spriteLibrary().Handle(); }

SpriteClassDesc* GetSpriteClassDesc() {
    static SpriteClassDesc desc;
    return &desc;
}

const ParamBlockDesc2& SpriteParamBlockDesc() { return paramBlock(); }

}  // namespace zeq

#pragma once
// Parameter blocks: typed, numbered parameters that objects, maps and plug-in classes keep their
// settings in. A block's parameters are addressed by id (ParamID) or by position (index); table
// parameters hold a list of values addressed by tabIndex.
//
// ParamBlockDesc2 describes a block as data (a plug-in declares its blocks this way and the host
// builds them); IParamBlock2 is the block itself, implemented by the host.
#include "host/animatable.h"
#include "host/ids.h"
#include "host/point3.h"
#include "host/ui.h"

#include <string>
#include <vector>

class INode;
class Mtl;
class Texmap;
class ClassDesc2;

enum ParamType2 : int {
    TYPE_FLOAT = 0,
    TYPE_INT = 1,
    TYPE_RGBA = 2,       // Color
    TYPE_POINT3 = 3,
    TYPE_BOOL = 4,       // stored as int 0/1
    TYPE_ANGLE = 5,      // float, radians
    TYPE_PCNT_FRAC = 6,  // float
    TYPE_WORLD = 7,      // float, scene units
    TYPE_STRING = 8,
    TYPE_FILENAME = 9,   // string
    TYPE_INODE = 10,
    TYPE_MTL = 11,
    TYPE_TEXMAP = 12,
    TYPE_TAB = 0x800,    // table flag: a list of the base type
    TYPE_FLOAT_TAB = TYPE_FLOAT | TYPE_TAB,
    TYPE_INT_TAB = TYPE_INT | TYPE_TAB,
    TYPE_RGBA_TAB = TYPE_RGBA | TYPE_TAB,
    TYPE_POINT3_TAB = TYPE_POINT3 | TYPE_TAB,
    TYPE_BOOL_TAB = TYPE_BOOL | TYPE_TAB,
    TYPE_STRING_TAB = TYPE_STRING | TYPE_TAB,
    TYPE_FILENAME_TAB = TYPE_FILENAME | TYPE_TAB,
    TYPE_INODE_TAB = TYPE_INODE | TYPE_TAB,
    TYPE_MTL_TAB = TYPE_MTL | TYPE_TAB,
    TYPE_TEXMAP_TAB = TYPE_TEXMAP | TYPE_TAB,
};

constexpr bool IsParamTable(ParamType2 type) { return (type & TYPE_TAB) != 0; }
constexpr ParamType2 ParamBaseType(ParamType2 type) { return static_cast<ParamType2>(type & ~TYPE_TAB); }

// Flags of a parameter definition.
inline constexpr uint32_t P_ANIMATABLE = 0x0001;
inline constexpr uint32_t P_TRANSIENT = 0x0002;   // not saved with the scene
inline constexpr uint32_t P_NO_REF = 0x0004;      // a node or map parameter that holds no reference
inline constexpr uint32_t P_VARIABLE_SIZE = 0x0008;  // a table whose size the user changes

// Flags of a block description.
inline constexpr uint32_t P_AUTO_CONSTRUCT = 0x0001;  // built with the object by the class descriptor
inline constexpr uint32_t P_AUTO_UI = 0x0002;         // shown in a rollup page by the class descriptor

// The rollup-page control that shows a parameter: a spinner with its edit field (float or integer
// values), a single check box, a pick button (a node parameter: the user picks a node in the
// viewports) or a list box showing a string table (with a button that deletes the selected entry).
enum class ParamControlKind { None, FloatSpinner, IntSpinner, CheckBox, PickButton, ListBox };

// A value being set into a parameter, in the member of the parameter's type.
struct PB2Value {
    float f = 0.0f;
    int i = 0;
    Point3 p;
    const char* s = nullptr;
    INode* node = nullptr;
    Mtl* mtl = nullptr;
    Texmap* tex = nullptr;
};

// How a table parameter changed.
enum class TabChangeCode { Append, Delete, SetCount };

// Plug-in code run when a parameter changes: Set after a value has been stored (owner: the block's
// owner), TabChanged after entries of a table were appended (tabIndex: the first new entry),
// deleted (tabIndex: where the deleted entries began) or the table was resized.
class PBAccessor {
public:
    virtual ~PBAccessor() = default;
    virtual void Set(PB2Value& v, ReferenceMaker* owner, ParamID id, int tabIndex, TimeValue t) {
        (void)v, (void)owner, (void)id, (void)tabIndex, (void)t;
    }
    virtual void TabChanged(TabChangeCode code, ReferenceMaker* owner, ParamID id, int tabIndex, int count) {
        (void)code, (void)owner, (void)id, (void)tabIndex, (void)count;
    }
};

// Plug-in code that decides whether a value may be set; a refused value leaves the parameter as it
// was and the write fails.
class PBValidator {
public:
    virtual ~PBValidator() = default;
    virtual bool Validate(PB2Value& v, ReferenceMaker* owner, ParamID id, int tabIndex) = 0;
};

// One parameter of a block description.
struct ParamDef {
    ParamID id = 0;
    const char* internalName = "";
    ParamType2 type = TYPE_FLOAT;
    uint32_t flags = 0;
    int localNameId = 0;       // string resource shown as its name (0: none)
    float defaultFloat = 0.0f; // TYPE_FLOAT and the other float kinds
    int defaultInt = 0;        // TYPE_INT, TYPE_BOOL
    Point3 defaultPoint;       // TYPE_POINT3, TYPE_RGBA
    const char* defaultString = nullptr;
    float rangeLow = 0.0f, rangeHigh = 0.0f;  // both 0: no range
    int tableSize = 0;         // initial size of a table parameter
    // Control on the block's rollup page (P_AUTO_UI): editId is the spinner's edit field or the
    // check box, spinnerId the spinner, spinnerStep its increment per click.
    ParamControlKind control = ParamControlKind::None;
    int editId = 0;
    int spinnerId = 0;
    float spinnerStep = 0.0f;
    // ListBox: the button that deletes the list's selected entry (0: none).
    int buttonId = 0;
    // Code run when the parameter is set or its table changes, and the check of new values; null
    // for none. Plug-ins keep them as static objects.
    PBAccessor* accessor = nullptr;
    PBValidator* validator = nullptr;
};

// Description of a parameter block, as a plug-in declares it.
struct ParamBlockDesc2 {
    BlockID id = 0;
    const char* internalName = "";
    int localNameId = 0;
    ClassDesc2* classDesc = nullptr;  // the class whose objects own such blocks
    uint32_t flags = 0;               // P_AUTO_CONSTRUCT, P_AUTO_UI
    int ref = 0;                      // reference index of the block in its owner
    int dialogTemplateId = 0;         // rollup page (P_AUTO_UI)
    int titleStringId = 0;            // rollup title (P_AUTO_UI)
    DialogProc dialogProc = nullptr;  // extra procedure of the rollup page (P_AUTO_UI), may be null
    std::vector<ParamDef> params;

    const ParamDef* FindParam(ParamID pid) const {
        for (const auto& p : params)
            if (p.id == pid) return &p;
        return nullptr;
    }
};

// A parameter block. Values are read and written by parameter id at a time; the headless host keeps
// one value per parameter (parameters are not animated). A read of a missing id, a wrong type or a
// table entry outside the table gives false (or the zero value); a write of them is refused.
class IParamBlock2 : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return PARAMETER_BLOCK2_CLASS_ID; }

    virtual BlockID ID() = 0;
    virtual const char* GetLocalName() = 0;
    virtual int NumParams() = 0;
    // Id of the parameter at a position; -1 outside the block.
    virtual ParamID IndextoID(int index) = 0;
    // Position of a parameter; -1 when the block has no such parameter.
    virtual int IDtoIndex(ParamID id) = 0;
    virtual ParamType2 GetParameterType(ParamID id) = 0;
    virtual const char* GetParamName(ParamID id) = 0;
    // Number of entries of a table parameter (0 for a plain parameter or a missing id).
    virtual int Count(ParamID id) = 0;
    // Table editing: SetCount resizes (new entries zero/null), Append adds entries at the end, Delete
    // removes num entries from start (clamped to the table). Each returns the new count, -1 when the
    // id is not a table.
    virtual int SetCount(ParamID id, int count) = 0;
    virtual int Delete(ParamID id, int start, int num) = 0;
    virtual int Append(ParamID id, int num, INode** nodes) = 0;
    virtual int Append(ParamID id, int num, const char** strings) = 0;
    virtual int Append(ParamID id, int num, const float* values) = 0;
    virtual int Append(ParamID id, int num, const int* values) = 0;

    // Writes; true on success. Bool parameters take int 0/1; colour parameters take Point3.
    virtual bool SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0) = 0;
    virtual bool SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0) = 0;
    virtual bool SetValue(ParamID id, TimeValue t, const Point3& v, int tabIndex = 0) = 0;
    virtual bool SetValue(ParamID id, TimeValue t, const char* v, int tabIndex = 0) = 0;
    virtual bool SetValue(ParamID id, TimeValue t, INode* v, int tabIndex = 0) = 0;
    virtual bool SetValue(ParamID id, TimeValue t, Mtl* v, int tabIndex = 0) = 0;
    virtual bool SetValue(ParamID id, TimeValue t, Texmap* v, int tabIndex = 0) = 0;

    // Reads; false when the parameter, its type or the entry does not exist. valid is narrowed to
    // the interval over which the value holds.
    virtual bool GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex = 0) = 0;
    virtual bool GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex = 0) = 0;
    virtual bool GetValue(ParamID id, TimeValue t, Point3& v, Interval& valid, int tabIndex = 0) = 0;
    virtual bool GetValue(ParamID id, TimeValue t, const char*& v, Interval& valid, int tabIndex = 0) = 0;
    virtual bool GetValue(ParamID id, TimeValue t, INode*& v, Interval& valid, int tabIndex = 0) = 0;
    virtual bool GetValue(ParamID id, TimeValue t, Mtl*& v, Interval& valid, int tabIndex = 0) = 0;
    virtual bool GetValue(ParamID id, TimeValue t, Texmap*& v, Interval& valid, int tabIndex = 0) = 0;

    // Convenience reads: the value, or 0 / null when it cannot be read.
    float GetFloat(ParamID id, TimeValue t = 0, int tabIndex = 0);
    int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0);
    Point3 GetPoint3(ParamID id, TimeValue t = 0, int tabIndex = 0);
    Color GetColor(ParamID id, TimeValue t = 0, int tabIndex = 0) { return Color(GetPoint3(id, t, tabIndex)); }
    const char* GetStr(ParamID id, TimeValue t = 0, int tabIndex = 0);
    INode* GetINode(ParamID id, TimeValue t = 0, int tabIndex = 0);
    Mtl* GetMtl(ParamID id, TimeValue t = 0, int tabIndex = 0);
    Texmap* GetTexmap(ParamID id, TimeValue t = 0, int tabIndex = 0);

    // The description the block was built from; null for blocks the host made without one.
    virtual const ParamBlockDesc2* GetDesc() = 0;
    // The object that holds the block (passed to accessors and validators); null when none.
    virtual ReferenceMaker* GetOwner() = 0;
    virtual void SetOwner(ReferenceMaker* owner) = 0;
};

// Builds a block from its description through the running host (every parameter at its default,
// tables at their initial size). The caller owns the block and frees it with DeleteThis.
// Throws std::logic_error when no host is running.
IParamBlock2* CreateParameterBlock2(const ParamBlockDesc2& desc, ReferenceMaker* owner);

// The SceneLoader string table and library state.
#include "import/resources.h"

namespace zeq {
namespace {

constexpr StringResource kStrings[] = {
    {IDS_LIBDESCRIPTION, "Zeq Import plugin v 1.17"},
    {IDS_CATEGORY, "Keldane"},
    {IDS_CLASS_NAME, "SceneLoader"},
    {IDS_PARAMS, "Parameters"},
    {IDS_SPIN, "Spin"},
};

// The importer has no dialogs.
PluginLibrary gLibrary{{"SceneLoader", kStrings, {}}};

}  // namespace

PluginLibrary& importLibrary() { return gLibrary; }

const char* GetString(int id) { return gLibrary.GetString(id); }

}  // namespace zeq

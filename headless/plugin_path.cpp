#include "headless/plugin_path.h"

#include "headless/plugin_loader.h"

#include <cstdlib>
#include <filesystem>

namespace headless {

// The plug-in loader resolves the folder the way the host does; zeq uses the same rule, with one
// addition for an installed zeq: when neither the option nor the environment names a folder and
// the installed plug-in folder exists beside the binary's (bin/../lib/zeq/plugins), that folder is used.
// In the build tree the plug-ins sit next to the binary and no such folder exists.
std::string pluginFolder(const std::string& option, const std::string& argv0) {
    const std::string folder = DefaultPluginFolder(option, argv0);
    const char* env = std::getenv("ZEQ_PLUGIN_PATH");
    if (!option.empty() || (env && *env)) return folder;
    std::error_code ec;
    const std::filesystem::path installed = std::filesystem::path(folder) / ZEQ_PLUGIN_DIR_FROM_BIN;
    if (std::filesystem::is_directory(installed, ec)) return installed.lexically_normal().string();
    return folder;
}

}  // namespace headless

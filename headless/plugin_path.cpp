#include "headless/plugin_path.h"

#include "headless/plugin_loader.h"

namespace headless {

// The plug-in loader already resolves the folder the way the host does; zeq uses the same rule.
std::string pluginFolder(const std::string& option, const std::string& argv0) {
    return DefaultPluginFolder(option, argv0);
}

}  // namespace headless

#pragma once
// The folder the zeq command loads plug-in libraries from.
#include <string>

namespace headless {

// option when it is not empty (the --plugins option); else $ZEQ_PLUGIN_PATH when set and not empty;
// else the installed plug-in folder relative to the running binary (bin/../lib/zeq/plugins) when it exists;
// else the folder of the running binary (/proc/self/exe, or argv0 when that cannot be read).
std::string pluginFolder(const std::string& option, const std::string& argv0);

}  // namespace headless

// The plug-in folder of zeq: the --plugins option, then $ZEQ_PLUGIN_PATH, then the folder of the
// running binary.
#include "headless/plugin_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

// Sets or clears ZEQ_PLUGIN_PATH for one test and restores it afterwards.
class PluginPathVariable {
public:
    explicit PluginPathVariable(const char* value) {
        if (const char* old = std::getenv("ZEQ_PLUGIN_PATH")) saved_ = old;
        if (value) setenv("ZEQ_PLUGIN_PATH", value, 1);
        else unsetenv("ZEQ_PLUGIN_PATH");
    }
    ~PluginPathVariable() {
        if (saved_) setenv("ZEQ_PLUGIN_PATH", saved_->c_str(), 1);
        else unsetenv("ZEQ_PLUGIN_PATH");
    }

private:
    std::optional<std::string> saved_;
};

std::string binaryFolder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().string(); }

TEST(PluginFolder, OptionComesFirstThenTheVariableThenTheBinaryFolder) {
    {
        PluginPathVariable variable("/from/variable");
        EXPECT_EQ(headless::pluginFolder("/from/option", "/somewhere/zeq"), "/from/option");
        EXPECT_EQ(headless::pluginFolder("", "/somewhere/zeq"), "/from/variable");
    }
    {
        PluginPathVariable variable(nullptr);
        EXPECT_EQ(headless::pluginFolder("", "/somewhere/zeq"), binaryFolder());
    }
    {
        // An empty variable counts as unset.
        PluginPathVariable variable("");
        EXPECT_EQ(headless::pluginFolder("", "zeq"), binaryFolder());
    }
}

}  // namespace

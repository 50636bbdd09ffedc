// `zeq formats`: the extensions of the model files zeq reads (for export) and writes, one line each.
#include "tools/zeq/command.h"

#include "headless/foreign_scene.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

void printList(const char* title, const std::vector<std::string>& extensions) {
    std::cout << title << ':';
    for (const std::string& extension : extensions) std::cout << " ." << extension;
    std::cout << '\n';
}

ZEQ_COMMAND(75, [](CLI::App& app) {
    app.add_subcommand("formats",
                       "List the model file extensions zeq reads and writes besides scene documents (.json) and "
                       "Zeq files (.zeq)");
    return [] {
        printList("read", headless::foreignReadExtensions());
        printList("write", headless::foreignWriteExtensions());
        return 0;
    };
});

}  // namespace

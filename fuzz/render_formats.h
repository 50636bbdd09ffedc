#pragma once
// The foreign-file writers' property, shared by the targets that render a scene: every writable
// format either renders the scene (the main file last, at the path asked for, and not empty) or
// refuses it with one ForeignWriteError; nothing else may escape.
#include "fuzz/fuzz_support.h"
#include "headless/foreign_write.h"
#include "headless/host.h"

#include <string>
#include <vector>

namespace zeq::fuzz {

inline void renderEveryFormat(headless::Host& host) {
    for (const headless::ForeignWriteFormat& format : headless::foreignWriteFormats()) {
        // Nothing is written to disk: the files come back in memory.
        const std::string path = "/nonexistent/out." + format.extension;
        try {
            const std::vector<headless::ForeignFile> files = headless::renderForeignScene(host, path);
            if (files.empty() || files.back().path != path || files.back().bytes.empty())
                violated(format.extension + ": the main file is missing or empty");
        } catch (const headless::ForeignWriteError&) {
        }
    }
}

}  // namespace zeq::fuzz

#pragma once
// Loading a scene file for the inspection verbs (dump, info, validate): the whole file is read and
// decoded, and every way it can fail becomes one CommandError naming the file and the problem.
#include "format/scene_file.h"

#include <string>

namespace zeq::inspect {

struct LoadedScene {
    SceneFile file;
    PacketInfo packet;
};

// Reads and decodes `path`. Throws zeq::cli::CommandError(path, problem) for a missing or
// unreadable file, a directory, a file that is not a Zeq file, and every decoding failure
// (truncation, damaged or oversized compressed data, trailing bytes, ...).
LoadedScene loadScene(const std::string& path);

// The same for bytes already in memory; `name` is the subject of the errors.
LoadedScene loadScene(const std::string& name, ByteBuffer& bytes);

}  // namespace zeq::inspect

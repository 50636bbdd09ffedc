#pragma once
// Loading a scene file for the inspection verbs (dump, info, validate): the whole file is read and
// decoded, and every way it can fail becomes one CommandError naming the file and the problem.
#include "format/scene_file.h"

#include <string>

namespace zeq::inspect {

struct LoadedScene {
    SceneFile file;
    PacketInfo packet;
    // A fault after the Zeq2 root (damaged extension roots, bytes or presence bits left over):
    // the importer, which reads only the root, still takes such a file. Empty when there is none.
    std::string leftover;
    AfterRootFault leftoverFault = AfterRootFault::None;
};

// What to do with a fault after the Zeq2 root: refuse the file like any other fault (dump, which
// shows every record), or keep it in LoadedScene::leftover (info and validate, which report it and
// say that the file still imports; validate counts damaged extension roots as an error, since the
// engine reads all three roots, and leftovers as a warning).
enum class Leftovers { Refuse, Report };

// Reads ("-": standard input) and decodes `path`. Throws zeq::cli::CommandError(path, problem) for
// a missing or unreadable file, a directory, a file that is not a Zeq file, and every decoding
// failure (truncation, damaged or oversized compressed data, trailing bytes, ...).
LoadedScene loadScene(const std::string& path, Leftovers leftovers = Leftovers::Refuse);

// The same for bytes already in memory; `name` is the subject of the errors.
LoadedScene loadScene(const std::string& name, ByteBuffer& bytes, Leftovers leftovers = Leftovers::Refuse);

// The warning info gives for LoadedScene::leftover, in the words of validate's finding.
std::string leftoverWarning(const LoadedScene& scene);
// The same without its "warning: file: " lead, as a validation finding's problem.
std::string leftoverProblem(const LoadedScene& scene);

}  // namespace zeq::inspect

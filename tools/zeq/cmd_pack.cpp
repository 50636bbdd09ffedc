// `zeq pack DUMP.json -o FILE.zeq`: encodes a `zeq dump --raw` document (edited or not) back into a
// scene file. A dump of a file packs to the same bytes. A document that does not describe valid
// records is refused with the JSON path of the first problem, and nothing is written.
#include "tools/zeq/command.h"
#include "tools/zeq/output.h"

#include "format/file_io.h"
#include "format/json.h"
#include "format/scene_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <string>

namespace {

struct PackArguments {
    std::string dump;
    std::string output;
};

// nlohmann's messages start with "[json.exception.parse_error.101] "; the rest says where and what.
std::string withoutExceptionTag(const std::string& text) {
    const std::size_t end = text.rfind("] ", text.find(' '));
    return text.rfind("[json.exception.", 0) == 0 && end != std::string::npos ? text.substr(end + 2) : text;
}

zeq::Json readDocument(const std::string& path) {
    const auto parse = [&](std::istream& in) {
        try {
            return zeq::Json::parse(in);
        } catch (const zeq::Json::parse_error& e) {
            throw zeq::cli::CommandError(path, "not a JSON document: " + withoutExceptionTag(e.what()));
        }
    };
    if (path == "-") return parse(std::cin);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw zeq::cli::CommandError(path, "is a directory");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw zeq::cli::CommandError(path, std::strerror(errno));
    return parse(in);
}

// The records the document describes; every way it can fail to describe them names its JSON path.
zeq::SceneFile sceneOf(const std::string& path, const zeq::Json& document) {
    zeq::SceneFile file;
    try {
        file = zeq::sceneFileFromJson(document);
    } catch (const std::invalid_argument& e) {
        std::string problem = e.what();
        // A dump without --raw shows vertex and index data decoded; only the raw form packs.
        if (problem.find(".byteBuffer: expected a hex string") != std::string::npos) {
            problem += " (decoded vertex and index data do not pack: dump with --raw)";
        }
        throw zeq::cli::CommandError(path, problem);
    }
    // Readers refuse every other major version, so such a file could never be read back.
    if (file.majorVersion != zeq::kMajorVersion) {
        throw zeq::cli::CommandError(path, "majorVersion: " + std::to_string(file.majorVersion) + " is not " +
                                               std::to_string(zeq::kMajorVersion) + ", the version of this format");
    }
    return file;
}

zeq::ByteBuffer encode(const std::string& path, const zeq::SceneFile& file) {
    const auto refuse = [&](const std::string& why) {
        return zeq::cli::CommandError(path, "the records cannot be encoded: " + why);
    };
    try {
        return zeq::encodeSceneFile(file);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        std::string why = e.what();
        while (!why.empty() && why.back() == '\n') why.pop_back();
        throw refuse(why);
    } catch (const char* text) {
        throw refuse(text ? text : "codec failure");
    } catch (const std::string& text) {
        throw refuse(text);
    }
}

int pack(const PackArguments& arguments) {
    zeq::cli::refuseInputAsOutput(arguments.dump, arguments.output);
    const zeq::Json document = readDocument(arguments.dump);
    const zeq::SceneFile file = sceneOf(arguments.dump, document);
    const zeq::ByteBuffer bytes = encode(arguments.dump, file);
    zeq::cli::writeOutput(arguments.output,
                          std::string_view(reinterpret_cast<const char*>(bytes.data()), static_cast<size_t>(bytes.length())));
    return 0;
}

ZEQ_COMMAND(45, [](CLI::App& app) {
    auto arguments = std::make_shared<PackArguments>();
    CLI::App* sub = app.add_subcommand(
        "pack", "Encode a 'zeq dump --raw' document back into a Zeq file, so that dump, edit, pack works; the dump of "
                "a file packs to the same bytes. A document that does not describe valid records is refused with the "
                "JSON path of the problem");
    sub->add_option("DUMP", arguments->dump, "The JSON document to encode ('-': standard input)")
        ->required()
        ->type_name("DUMP.json");
    sub->add_option("-o,--output", arguments->output, "The Zeq file to write")->required()->type_name("FILE.zeq");
    return [arguments] { return pack(*arguments); };
});

}  // namespace

// `zeq pack DUMP.json -o FILE.zeq`: encodes a `zeq dump --raw` document (edited or not) back into a
// scene file. A dump of a file packs to the same bytes. A document that does not describe valid
// records is refused with the JSON path of the first problem, and nothing is written.
#include "tools/zeq/command.h"
#include "tools/zeq/output.h"
#include "tools/zeq/scene_output.h"

#include "format/file_io.h"
#include "format/json.h"
#include "format/register.h"
#include "format/scene_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

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

// A stream as nlohmann's parser reads it, up to its first zero byte: the parser would take that for
// the end of the text (zeroes after a whole document, as a damaged file has them, were not refused),
// so the range ends there, noting that it met one and where. It also notes whether the number read
// last is "-0" (see DocumentBuilder).
class UpToZero {
public:
    struct Place {
        size_t line = 1, column = 1;
        bool zero = false;
        bool inString = false, escaped = false, inNumber = false;
        std::string number;  // the last number outside strings, its first three characters
    };
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = char;

    UpToZero() = default;
    UpToZero(std::istream& in, Place& place) : at_(in), place_(&place) {}
    char operator*() const { return *at_; }
    UpToZero& operator++() {
        const char c = *at_;
        Place& p = *place_;
        p.column = c == '\n' ? 1 : p.column + 1;
        p.line += c == '\n' ? 1 : 0;
        const bool numeric = !p.inString && c != '\0' && std::strchr("-+.0123456789eE", c);
        if (numeric && !p.inNumber) p.number.clear();
        if (numeric && p.number.size() < 3) p.number += c;
        p.inNumber = numeric;
        if (p.inString) {
            p.inString = p.escaped || c != '"';
            p.escaped = !p.escaped && c == '\\';
        } else {
            p.inString = c == '"';
        }
        ++at_;
        return *this;
    }
    bool operator==(const UpToZero& end) const {
        return at_ == end.at_ || (*at_ == '\0' && (place_->zero = true));
    }

private:
    std::istreambuf_iterator<char> at_;
    Place* place_ = nullptr;
};

// Builds the document as nlohmann's parser does, but for "-0" and for keys given twice. The parser
// reads "-0" as the integer 0, and tools such as jq write a float -0.0 that way, which the file holds
// apart from 0. A key given twice in one object would keep its last value and drop the first without
// a word, so the build stops there, noting the key's JSON path in `duplicate`.
struct DocumentBuilder : nlohmann::detail::json_sax_dom_parser<zeq::Json> {
    using Base = json_sax_dom_parser;
    DocumentBuilder(zeq::Json& root, const UpToZero::Place& place) : Base(root), place(place) {}

    bool null() { return element() && Base::null(); }
    bool boolean(bool value) { return element() && Base::boolean(value); }
    bool number_integer(number_integer_t value) {
        if (value == 0 && place.number == "-0") return number_float(-0.0, "-0");
        return element() && Base::number_integer(value);
    }
    bool number_unsigned(number_unsigned_t value) { return element() && Base::number_unsigned(value); }
    // Records hold floats: a decimal is rounded to a float from its text, once. (The parser rounds it
    // to a double first, and that double's float can be a step off, as for 1.00000005960464477539062500001.)
    // The double held is then that float; numbers beyond a float stay as read, for the range checks.
    bool number_float(number_float_t value, const string_t& text) {
        float rounded = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rounded);
        if (error == std::errc() && end == text.data() + text.size()) value = rounded;
        return element() && Base::number_float(value, text);
    }
    // A number beyond a double is refused at its JSON path, as the numbers beyond a float are.
    template <class Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& e) {
        if (e.id != 406) return Base::parse_error(position, token, e);
        element();
        overflow = pathHere();
        return false;
    }
    bool string(string_t& value) { return element() && Base::string(value); }
    bool binary(binary_t& value) { return element() && Base::binary(value); }
    bool start_object(std::size_t n) {
        element();
        if (!deepEnough()) return false;
        open.push_back({false, 0, {}, {}});
        return Base::start_object(n);
    }
    bool key(string_t& name) {
        Container& object = open.back();
        object.key = name;
        if (!object.keys.insert(name).second) {
            duplicate = pathHere();
            return false;
        }
        return Base::key(name);
    }
    bool end_object() {
        open.pop_back();
        return Base::end_object();
    }
    bool start_array(std::size_t n) {
        element();
        if (!deepEnough()) return false;
        open.push_back({true, 0, {}, {}});
        return Base::start_array(n);
    }
    bool end_array() {
        open.pop_back();
        return Base::end_array();
    }

    const UpToZero::Place& place;
    std::string duplicate;
    std::string overflow;  // the path of a number beyond a double
    // A dump nests a few levels; a document nested far deeper is no dump, and building it would
    // take a hundred times its size in memory. The path where it went too deep.
    static constexpr std::size_t kMaxDepth = 64;
    std::string tooDeep;

private:
    struct Container {
        bool array;
        std::size_t count;                      // elements of an array so far
        std::string key;                        // the key of an object read last
        std::unordered_set<std::string> keys;  // the keys of an object so far
    };

    bool element() {
        if (!open.empty() && open.back().array) ++open.back().count;
        return true;
    }
    bool deepEnough() {
        if (open.size() < kMaxDepth) return true;
        tooDeep = pathHere();
        return false;
    }
    // "Zeq2.objects[0].id": the path of the value read last.
    std::string pathHere() const {
        std::string path;
        for (const Container& c : open) {
            if (c.array) {
                path += "[" + std::to_string(c.count - 1) + "]";
            } else {
                path += (path.empty() ? "" : ".") + c.key;
            }
        }
        return path;
    }

    std::vector<Container> open;
};

zeq::Json readDocument(const std::string& file) {
    const std::string path = zeq::cli::inputName(file);
    const auto parse = [&](std::istream& in) {
        UpToZero::Place place;
        try {
            zeq::Json document;
            DocumentBuilder builder(document, place);
            zeq::Json::sax_parse(UpToZero(in, place), UpToZero(), &builder);
            if (!builder.duplicate.empty()) {
                throw zeq::cli::CommandError(path, builder.duplicate + ": a key given twice in one object");
            }
            if (!builder.overflow.empty()) throw zeq::cli::CommandError(path, builder.overflow + ": number out of range");
            if (!builder.tooDeep.empty()) {
                throw zeq::cli::CommandError(path, builder.tooDeep + ": nested more than " +
                                                       std::to_string(DocumentBuilder::kMaxDepth) + " levels deep");
            }
            if (!place.zero) return document;
        } catch (const zeq::Json::parse_error& e) {
            if (!place.zero) throw zeq::cli::CommandError(path, "not a JSON document: " + withoutExceptionTag(e.what()));
        }
        throw zeq::cli::CommandError(path, "not a JSON document: parse error at line " + std::to_string(place.line) +
                                               ", column " + std::to_string(place.column) +
                                               ": a zero byte (binary data, or a damaged file)");
    };
    if (file == "-") return parse(std::cin);
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) throw zeq::cli::CommandError(path, "is a directory, not a file");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw zeq::cli::CommandError(path, std::string("cannot open: ") + std::strerror(errno));
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
        zeq::Protocol protocol;
        zeq::registerFormatTypes(protocol);
        return zeq::encodeSceneFile(protocol, file);
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
    if (const int refused = zeq::cli::refuseSceneFormatOutput(arguments.output, "pack")) return refused;
    const zeq::Json document = readDocument(arguments.dump);
    const std::string name = zeq::cli::inputName(arguments.dump);
    const zeq::SceneFile file = sceneOf(name, document);
    const zeq::ByteBuffer bytes = encode(name, file);
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
    sub->add_option("-o,--output", arguments->output, "The Zeq file to write (-: standard output)")
        ->required()
        ->type_name("FILE.zeq");
    return [arguments] { return pack(*arguments); };
});

}  // namespace

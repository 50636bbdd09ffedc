// Loading and saving scene documents: files, JSON text and the checked build.
#include "headless/scene_document.h"

#include "headless/host.h"
#include "headless/scene_document_model.h"
#include "host/output_file.h"

#include <simdjson.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace headless {

namespace {

constexpr const char* kDirectoryText = "is a directory, not a file";

std::string cannot(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

// The largest document the JSON parser takes.
constexpr size_t kMaxDocumentSize = simdjson::SIMDJSON_MAXSIZE_BYTES;

// How the text read so far starts. NotJson when its first byte after white space and a UTF-8 byte
// order mark cannot start a JSON value: a binary file or a device such as /dev/zero given by
// mistake is then refused after its first chunk instead of being read whole, and the parser finds
// the same problem at the same byte as in the whole text. Unknown while fewer than four bytes have
// come (a byte order mark may come a byte at a time from a pipe); Json otherwise.
enum class Start { Unknown, Json, NotJson };
Start startOf(std::string_view text) {
    const size_t size = text.size();
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && std::string_view("{[\"-0123456789tfn").find(text[first]) != std::string_view::npos)
        return Start::Json;
    if (size < 4) return Start::Unknown;
    return first == std::string_view::npos ? Start::Json : Start::NotJson;
}

// The whole text of a file ("-": standard input), with the same wording for failures as the
// readers of scene files. The string keeps room for the JSON parser's padding after the text, so
// that the text is parsed where it lies.
std::string readDocumentText(const std::string& path) {
    int fd = path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw SceneDocumentError(errno == EISDIR ? kDirectoryText : cannot("cannot open", errno));
    std::string text;
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    const bool regular = error == 0 && S_ISREG(info.st_mode);
    if (regular && static_cast<uint64_t>(info.st_size) > kMaxDocumentSize) {
        ::close(fd);
        throw SceneDocumentError("file too large (" + std::to_string(info.st_size) + " bytes; the limit is " +
                                 std::to_string(kMaxDocumentSize) + ")");
    }
    if (regular) text.reserve(static_cast<size_t>(info.st_size) + simdjson::SIMDJSON_PADDING);
    char chunk[65536];
    Start start = Start::Unknown;
    bool tooLarge = false;
    while (error == 0 && !tooLarge) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got == 0) break;
        if (got < 0) {
            if (errno != EINTR) error = errno;
            continue;
        }
        text.append(chunk, static_cast<std::size_t>(got));
        tooLarge = text.size() > kMaxDocumentSize;
        if (start == Start::Unknown && (start = startOf(text)) == Start::NotJson) break;
        // No JSON text holds a zero byte: a stream of binary data (from /dev/zero or a device) is
        // refused at the first, not read to the size limit.
        if (std::memchr(chunk, 0, static_cast<std::size_t>(got))) break;
    }
    ::close(fd);
    if (error == EISDIR) throw SceneDocumentError(kDirectoryText);
    if (tooLarge) throw SceneDocumentError("file too large (more than " + std::to_string(kMaxDocumentSize) + " bytes)");
    if (error != 0) throw SceneDocumentError(cannot("cannot read", error));
    if (text.capacity() - text.size() < simdjson::SIMDJSON_PADDING) text.reserve(text.size() + simdjson::SIMDJSON_PADDING);
    return text;
}

}  // namespace

// A JSON value as text for the reader; text that is not UTF-8 is kept as far as it is.
std::string textOf(const nlohmann::json& doc) { return doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace); }

void checkSceneDocumentText(std::string_view text) { (void)document::readScene(text); }

void checkSceneDocument(const nlohmann::json& doc) { checkSceneDocumentText(textOf(doc)); }

void loadSceneDocumentText(Host& host, std::string_view text) {
    // The whole document is checked before the scene changes.
    document::buildScene(host, document::readScene(text));
}

void loadSceneDocument(Host& host, const nlohmann::json& doc) { loadSceneDocumentText(host, textOf(doc)); }

void loadSceneDocumentFile(Host& host, const std::string& path) {
    const std::string text = readDocumentText(path);
    document::buildScene(host, document::readScene(text, text.capacity() - text.size() >= simdjson::SIMDJSON_PADDING));
}

std::string saveSceneDocumentText(Host& host) {
    std::string text;
    document::writeScene(document::captureScene(host), [&](const char* data, size_t size) { text.append(data, size); });
    return text;
}

SceneDocumentCounts countSceneDocument(Host& host) {
    const document::SceneModel model = document::captureScene(host);
    return {model.nodes.size(), model.objects.size(), model.materials.size(), model.maps.size(), model.layers.size()};
}

nlohmann::json saveSceneDocument(Host& host) { return nlohmann::json::parse(saveSceneDocumentText(host)); }

void saveSceneDocumentFile(Host& host, const std::string& path, zeq::OutputSet* set) {
    // The scene is read whole before the output opens, so that nothing can fail half-way through.
    const document::SceneModel model = document::captureScene(host);
    const zeq::OutputProducer produce = [&](const zeq::OutputSink& sink) {
        document::writeScene(model, [&](const char* data, size_t size) { sink(data, size); });
    };
    if (set)
        set->add(path, produce);
    else
        zeq::writeOutputFile(path, produce);
}

}  // namespace headless

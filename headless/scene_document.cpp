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

// The whole text of a file ("-": standard input), with the same wording for failures as the
// readers of scene files. The string keeps room for the JSON parser's padding after the text, so
// that the text is parsed where it lies.
std::string readDocumentText(const std::string& path) {
    int fd = path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw SceneDocumentError(errno == EISDIR ? kDirectoryText : cannot("cannot open", errno));
    std::string text;
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (error == 0 && S_ISREG(info.st_mode)) text.reserve(static_cast<size_t>(info.st_size) + simdjson::SIMDJSON_PADDING);
    char chunk[65536];
    while (error == 0) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got == 0) break;
        if (got > 0) {
            text.append(chunk, static_cast<std::size_t>(got));
        } else if (errno != EINTR) {
            error = errno;
        }
    }
    ::close(fd);
    if (error == EISDIR) throw SceneDocumentError(kDirectoryText);
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

void saveSceneDocumentFile(Host& host, const std::string& path) {
    // The scene is read whole before the output opens, so that nothing can fail half-way through.
    const document::SceneModel model = document::captureScene(host);
    zeq::writeOutputFile(path, [&](const zeq::OutputSink& sink) {
        document::writeScene(model, [&](const char* data, size_t size) { sink(data, size); });
    });
}

}  // namespace headless

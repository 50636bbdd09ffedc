// Loading and saving scene documents: files, JSON text and the checked build.
#include "headless/scene_document.h"

#include "headless/host.h"
#include "headless/scene_document_model.h"
#include "host/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace headless {

namespace {

constexpr const char* kDirectoryText = "is a directory, not a file";

// nlohmann's messages start with "[json.exception.parse_error.101] "; the reader needs the rest.
std::string withoutExceptionTag(const std::string& message) {
    if (!message.empty() && message[0] == '[') {
        const size_t end = message.find("] ");
        if (end != std::string::npos) return message.substr(end + 2);
    }
    return message;
}

std::string cannot(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

// The whole text of a file ("-": standard input), with the same wording for failures as the
// readers of scene files.
std::string readDocumentText(const std::string& path) {
    int fd = path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw SceneDocumentError(errno == EISDIR ? kDirectoryText : cannot("cannot open", errno));
    std::string text;
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
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
    return text;
}

}  // namespace

void checkSceneDocument(const nlohmann::json& doc) { (void)document::parseScene(doc); }

void loadSceneDocument(Host& host, const nlohmann::json& doc) {
    // The whole document is checked before the scene changes.
    const document::SceneModel model = document::parseScene(doc);
    document::buildScene(host, model);
}

void loadSceneDocumentFile(Host& host, const std::string& path) {
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(readDocumentText(path));
    } catch (const nlohmann::json::exception& e) {
        throw SceneDocumentError("invalid JSON: " + withoutExceptionTag(e.what()));
    }
    loadSceneDocument(host, doc);
}

nlohmann::json saveSceneDocument(Host& host) { return document::saveScene(host); }

void saveSceneDocumentFile(Host& host, const std::string& path) {
    zeq::writeOutputFile(path, saveSceneDocument(host).dump(2) + "\n");
}

}  // namespace headless

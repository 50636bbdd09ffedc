// Loading and saving scene documents: files, JSON text and the checked build.
#include "headless/scene_document.h"

#include "headless/host.h"
#include "headless/scene_document_model.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace headless {

namespace {

// nlohmann's messages start with "[json.exception.parse_error.101] "; the reader needs the rest.
std::string withoutExceptionTag(const std::string& message) {
    if (!message.empty() && message[0] == '[') {
        const size_t end = message.find("] ");
        if (end != std::string::npos) return message.substr(end + 2);
    }
    return message;
}

}  // namespace

void checkSceneDocument(const nlohmann::json& doc) { (void)document::parseScene(doc); }

void loadSceneDocument(Host& host, const nlohmann::json& doc) {
    // The whole document is checked before the scene changes.
    const document::SceneModel model = document::parseScene(doc);
    document::buildScene(host, model);
}

void loadSceneDocumentFile(Host& host, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SceneDocumentError(std::string("cannot open the file (") + std::strerror(errno) + ")");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw SceneDocumentError("cannot read the file");
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text.str());
    } catch (const nlohmann::json::exception& e) {
        throw SceneDocumentError("invalid JSON: " + withoutExceptionTag(e.what()));
    }
    loadSceneDocument(host, doc);
}

nlohmann::json saveSceneDocument(Host& host) { return document::saveScene(host); }

void saveSceneDocumentFile(Host& host, const std::string& path) {
    const std::string text = saveSceneDocument(host).dump(2) + "\n";
    // Written beside the target and renamed over it, so that the target is either the old file or
    // the complete new one.
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error(std::string("cannot write the file (") + std::strerror(errno) + ")");
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            throw std::runtime_error("cannot write the file");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw std::runtime_error("cannot write the file (" + ec.message() + ")");
    }
}

}  // namespace headless

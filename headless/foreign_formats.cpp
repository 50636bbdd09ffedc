// Which files are scene documents and which foreign formats Assimp reads and writes.
#include "headless/foreign_scene.h"
#include "headless/foreign_write.h"

#include <assimp/Importer.hpp>

#include <algorithm>
#include <cctype>
#include <set>

namespace headless {

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool isSceneDocumentPath(const std::filesystem::path& path) { return lowerExtension(path) == "json"; }

std::vector<std::string> foreignReadExtensions() {
    Assimp::Importer importer;
    aiString list;  // "*.3ds;*.obj;..."
    importer.GetExtensionList(list);
    std::set<std::string> extensions;
    const std::string text = list.C_Str();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(';', start), text.size());
        std::string item = text.substr(start, end - start);
        if (item.rfind("*.", 0) == 0) item.erase(0, 2);
        // ".json" names a scene document, never a foreign file.
        if (!item.empty() && lowerCase(item) != "json") extensions.insert(lowerCase(item));
        start = end + 1;
    }
    return {extensions.begin(), extensions.end()};
}

bool isForeignReadPath(const std::filesystem::path& path) {
    const std::string extension = lowerExtension(path);
    if (extension.empty()) return false;
    const std::vector<std::string> known = foreignReadExtensions();
    return std::binary_search(known.begin(), known.end(), extension);
}

std::vector<std::string> foreignWriteExtensions() {
    // The formats the scene writer renders (foreign_write.h), so that the list zeq prints is what
    // `zeq import` and `zeq scene convert` accept.
    std::set<std::string> extensions;
    for (const ForeignWriteFormat& format : foreignWriteFormats()) extensions.insert(format.extension);
    return {extensions.begin(), extensions.end()};
}

}  // namespace headless

// Hex text of byte arrays and the JSON form of a whole scene file.
#include "format/json.h"

namespace zeq {

std::string toHex(const ByteBuffer& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.resize(static_cast<std::size_t>(bytes.length()) * 2);
    for (int32_t i = 0; i < bytes.length(); ++i) {
        text[static_cast<std::size_t>(i) * 2] = kDigits[bytes.data()[i] >> 4];
        text[static_cast<std::size_t>(i) * 2 + 1] = kDigits[bytes.data()[i] & 0xF];
    }
    return text;
}

namespace {
int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

ByteBuffer fromHex(const std::string& hex) {
    if (hex.size() % 2 != 0) throw std::invalid_argument("hex text of odd length");
    ByteBuffer bytes;
    bytes.reserve(static_cast<int32_t>(hex.size() / 2));
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]);
        const int low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) throw std::invalid_argument("not a hex digit at offset " + std::to_string(i));
        bytes.appendByte(static_cast<uint8_t>(high << 4 | low));
    }
    return bytes;
}

Json sceneFileToJson(const SceneFile& file, bool floatsAsNumbers) {
    Json json = Json::object();
    json["majorVersion"] = file.majorVersion;
    json["minorVersion"] = file.minorVersion;
    json["Zeq2"] = toJson(file.root, floatsAsNumbers);
    json["Zeq2Extra1"] = toJson(file.extra1, floatsAsNumbers);
    json["Zeq2Extra2"] = toJson(file.extra2, floatsAsNumbers);
    return json;
}

SceneFile sceneFileFromJson(const Json& json) {
    if (!json.is_object()) throw std::invalid_argument("scene file: expected an object");
    for (const auto& item : json.items()) {
        const std::string& key = item.key();
        if (key != "majorVersion" && key != "minorVersion" && key != "Zeq2" && key != "Zeq2Extra1" &&
            key != "Zeq2Extra2") {
            throw std::invalid_argument("scene file: unknown field \"" + key + "\"");
        }
    }
    SceneFile file;
    const auto required = [&](const char* key) -> const Json& {
        const auto it = json.find(key);
        if (it == json.end()) throw std::invalid_argument(std::string("scene file.") + key + ": missing required field");
        return *it;
    };
    json_detail::integerFromJson(required("majorVersion"), file.majorVersion, "majorVersion");
    json_detail::integerFromJson(required("minorVersion"), file.minorVersion, "minorVersion");
    json_detail::recordFromJson(required("Zeq2"), file.root, "Zeq2");
    json_detail::recordFromJson(required("Zeq2Extra1"), file.extra1, "Zeq2Extra1");
    json_detail::recordFromJson(required("Zeq2Extra2"), file.extra2, "Zeq2Extra2");
    return file;
}

}  // namespace zeq

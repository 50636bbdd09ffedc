#include "export/export_command.h"

#include "codec/protocol.h"
#include "export/context.h"
#include "export/geometry.h"
#include "export/options.h"
#include "format/file_io.h"
#include "format/register.h"
#include "format/scene_file.h"
#include "host/host.h"
#include "host/output_file.h"

#include <exception>
#include <new>
#include <stdexcept>
#include <string>

namespace zeq {
namespace {

// The progress display's work callback: the command does the work itself after the call.
uint32_t noProgressWork(void*) { return 0; }

void appendUint16BigEndian(ByteBuffer& buffer, uint16_t value) {
    buffer.appendByte(static_cast<uint8_t>(value >> 8));
    buffer.appendByte(static_cast<uint8_t>(value & 0xFF));
}

// What a codec's failure to write a value means for the user's scene. The codecs report in their own
// terms ("encode::object is NULL", "error wsize"); the box names what in the scene cannot be written.
std::string encodingFailureText(const std::string& codecText) {
    if (codecText.rfind("ByteBuffer", 0) == 0) return "The scene is too large for one file (more than 2 GiB of data)";
    if (codecText.rfind("encodeLength", 0) == 0) return "The scene holds a list or text longer than the file format allows";
    if (codecText == "NullMap overflow") return "The scene holds more values than one file can carry";
    if (codecText.rfind("error", 0) == 0 || codecText.rfind("ERROR_", 0) == 0)
        return "The scene holds a name or text that is not valid UTF-8, or has a character the file's code page cannot hold";
    return "The scene holds a record that lacks a value the file requires";
}

void encodeWith(Protocol& protocol, ProtocolBuffer& pb, const char* typeName, const void* record) {
    ICodec* codec = protocol.getCodec(std::string(typeName));
    if (!codec) throw ProtocolException(std::string("no codec registered for \"") + typeName + "\"");
    try {
        codec->encode(pb, record);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const ProtocolException&) {
        throw;
    } catch (const std::exception& e) {
        throw std::runtime_error(encodingFailureText(e.what()));
    } catch (const char* text) {
        throw std::runtime_error(encodingFailureText(text ? text : ""));
    } catch (const std::string& text) {
        throw std::runtime_error(encodingFailureText(text));
    }
}

}  // namespace

std::string describeCurrentException() {
    try {
        throw;
    } catch (const char* text) {
        return text ? text : kExportFailedText;
    } catch (const std::string& text) {
        return text;
    } catch (const VertexBufferException& e) {
        // The fixed message, completed with the mesh and its size when the node is known.
        if (e.meshName().empty()) return e.what();
        return std::string(e.what()) + "\"" + e.meshName() + "\" (" + std::to_string(e.count()) +
               " vertices, at most " + std::to_string(kMaxMeshVertices) + ")";
    } catch (const IndexBufferException& e) {
        if (e.meshName().empty()) return e.what();
        return std::string(e.what()) + "\"" + e.meshName() + "\" (" + std::to_string(e.triangles()) +
               " triangles, at most " + std::to_string(kMaxMeshIndices / 3) + ")";
    } catch (const std::exception& e) {
        // ProtocolException, VertexBufferException, IndexBufferException, OutputError and every other
        // standard exception carry their message.
        return e.what();
    } catch (...) {
        return kExportFailedText;
    }
}

int runExport(const std::string& path, Interface* ip, uint32_t optionBits) {
    ExportOptions& options = exportOptions();
    ip->ProgressStart(kProgressTitle, true, &noProgressWork, nullptr);
    options.selectedOnly = (optionBits & SCENE_EXPORT_SELECTED) != 0;
    ip->ProgressUpdate(25, true, kProgressExporting);
    try {
        Protocol protocol;
        registerFormatTypes(protocol);
        ProtocolBuffer pb;
        options.exportTime = ip->GetAnimRange().Start();
        Zeq2 root;
        Zeq2Extra1 extra1;
        Zeq2Extra2 extra2;
        bool missingGeometry = false;
        std::string missingGeometryNode;
        {
            ExportContext context(ip);
            context.convertScene(root, extra1, extra2);
            missingGeometry = context.walker().missingGeometry() && !options.animationOnly;
            missingGeometryNode = context.walker().missingGeometryNode();
        }

        ip->ProgressUpdate(25, true, kProgressEncoding);
        // The version pair comes first in the data, before any record.
        appendUint16BigEndian(pb.buffer, kMajorVersion);
        appendUint16BigEndian(pb.buffer, options.vertexBuffers16Bit ? kMinorVersionHalf : kMinorVersionFloat32);
        // A mesh or skin record without geometry lacks required fields: the root cannot be encoded.
        if (missingGeometry) {
            throw std::invalid_argument("The object of node \"" + missingGeometryNode +
                                        "\" cannot be converted to a triangle mesh");
        }
        encodeWith(protocol, pb, "Zeq2", &root);
        encodeWith(protocol, pb, "Zeq2Extra1", &extra1);
        encodeWith(protocol, pb, "Zeq2Extra2", &extra2);

        ip->ProgressUpdate(50, true, kProgressCompressing);
        ByteBuffer packet;
        protocol.encodePacket(packet, pb, true);

        ip->ProgressUpdate(75, true, kProgressWriting);
        // A failed write leaves no partial file and never damages an existing one.
        writeOutputFile(path, packet.data(), static_cast<std::size_t>(packet.length()));
    } catch (...) {
        const std::string text = describeCurrentException();
        // Boxes made by a failed export must not reach the next file.
        BoxFactory::instance().takeBoxes();
        MessageBox(GetActiveWindow(), text.c_str(), kErrorCaption, MB_OK);
    }
    ip->ProgressEnd();
    return IMPEXP_SUCCESS;
}

}  // namespace zeq

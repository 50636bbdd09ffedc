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
#include <stdexcept>

namespace zeq {
namespace {

// The progress display's work callback: the command does the work itself after the call.
uint32_t noProgressWork(void*) { return 0; }

void appendUint16BigEndian(ByteBuffer& buffer, uint16_t value) {
    buffer.appendByte(static_cast<uint8_t>(value >> 8));
    buffer.appendByte(static_cast<uint8_t>(value & 0xFF));
}

void encodeWith(Protocol& protocol, ProtocolBuffer& pb, const char* typeName, const void* record) {
    ICodec* codec = protocol.getCodec(std::string(typeName));
    if (!codec) throw ProtocolException(std::string("no codec registered for \"") + typeName + "\"");
    codec->encode(pb, record);
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
        {
            ExportContext context(ip);
            context.convertScene(root, extra1, extra2);
            missingGeometry = context.walker().missingGeometry() && !options.animationOnly;
        }

        ip->ProgressUpdate(25, true, kProgressEncoding);
        // The version pair comes first in the data, before any record.
        appendUint16BigEndian(pb.buffer, kMajorVersion);
        appendUint16BigEndian(pb.buffer, options.vertexBuffers16Bit ? kMinorVersionHalf : kMinorVersionFloat32);
        // A mesh or skin record without geometry lacks required fields: the root cannot be encoded.
        if (missingGeometry) throw std::invalid_argument("encode::object is NULL");
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

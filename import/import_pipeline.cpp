// The import pipeline from file name to built scene.
#include "import/import_pipeline.h"

#include "codec/protocol.h"
#include "format/file_io.h"
#include "format/register.h"
#include "format/scene_file.h"
#include "host/ui.h"
#include "import/scene_builder.h"

#include <new>

namespace zeq {
namespace {

// The progress display's work function: the import runs outside it and never asks to cancel.
uint32_t noProgressWork(void*) { return 0; }

std::string packetFailure(PacketError error) {
    switch (error) {
    case PacketError::TooShort: return "Not a Zeq file: the file is too short.";
    case PacketError::Truncated: return "The file is damaged: it ends before its data do.";
    case PacketError::Corrupted: return "The file is damaged: its compressed data cannot be inflated.";
    case PacketError::TooLarge: return "The file is damaged: its data would inflate to more than 1 GiB.";
    case PacketError::None: break;
    }
    return "The file cannot be unpacked.";
}

// Runs one decoding step and turns every failure of the codec layer into an ImportError.
template <class Step>
auto decoding(Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (const std::out_of_range& e) {
        throw ImportError(std::string("The file is damaged: its data end too early (") + e.what() + ").");
    } catch (const std::bad_alloc&) {
        throw ImportError("Not enough memory to read the file.");
    } catch (const std::exception& e) {
        throw ImportError(std::string("The file is damaged: ") + e.what());
    } catch (const char* text) {
        throw ImportError(std::string("The file is damaged: invalid data (") + (text ? text : "") + ").");
    } catch (const std::string& text) {
        throw ImportError("The file is damaged: invalid data (" + text + ").");
    }
}

void showError(const std::string& text) { MessageBox(GetActiveWindow(), text.c_str(), "Error", MB_OK | MB_ICONERROR); }

}  // namespace

ByteBuffer readSceneFile(const char* path) {
    if (!path || !*path) throw ImportError("Cannot open the file: no file name was given.");
    try {
        return readFileBytes(path);
    } catch (const FileError& e) {
        throw ImportError("Cannot open the file: " + e.reason + ".");
    } catch (const std::bad_alloc&) {
        throw ImportError("Not enough memory to read the file.");
    }
}

DecodedScene decodeScene(ByteBuffer& bytes, const std::function<void()>& unpacked) {
    if (bytes.length() == 0) throw ImportError("Not a Zeq file: the file is empty.");
    Protocol protocol;
    registerFormatTypes(protocol);
    ProtocolBuffer pb;
    if (!decoding([&] { return protocol.decodePacket(bytes, pb); })) {
        throw ImportError(packetFailure(protocol.lastPacketError()));
    }
    if (unpacked) unpacked();

    DecodedScene scene;
    decoding([&] {
        const uint8_t* version = pb.buffer.readView(4);
        scene.majorVersion = static_cast<uint16_t>((version[0] << 8) | version[1]);
        scene.minorVersion = static_cast<uint16_t>((version[2] << 8) | version[3]);
    });
    // Every record below is read in the layout of major version 2; another major version would be
    // decoded as garbage.
    if (scene.majorVersion != kMajorVersion) {
        throw ImportError("Unsupported Zeq file version " + std::to_string(scene.majorVersion) + "." +
                          std::to_string(scene.minorVersion) + ": this importer reads version 2 files.");
    }
    auto decodeRoot = [&](const char* type, void* record) {
        ICodec* codec = protocol.getCodec(TypeCodecInfo(type, false));
        if (!codec) throw ImportError(std::string("The ") + type + " record type is not registered.");
        decoding([&] { codec->decode(pb, record); });
    };
    decodeRoot("Zeq2", &scene.root);
    if (pb.buffer.remaining() > 0) {
        try {
            decodeRoot("Zeq2Extra1", &scene.extra1);
            decodeRoot("Zeq2Extra2", &scene.extra2);
        } catch (const ImportError& e) {
            scene.extra1 = {};
            scene.extra2 = {};
            scene.extrasProblem = std::string("the layers and LOD groups after the scene cannot be read (") + e.what() +
                                  "); skipped";
        }
    }
    return scene;
}

int runImport(const char* fileName, ImpInterface* ii, Interface* ip) {
    if (!ip) ip = GetCOREInterface();
    if (ip) ip->ProgressStart(kImportProgressTitle, true, &noProgressWork, nullptr);
    auto progress = [ip](int percent) {
        if (ip) ip->ProgressUpdate(percent, true, nullptr);
    };
    auto fail = [ip](const std::string& text) {
        showError(text);
        if (ip) ip->ProgressEnd();
        return IMPEXP_FAIL;
    };

    DecodedScene scene;
    try {
        ByteBuffer bytes = readSceneFile(fileName);
        progress(25);
        scene = decodeScene(bytes, [&] { progress(50); });
        progress(75);
    } catch (const ImportError& e) {
        return fail(e.what());
    }
    if (!ii) return fail("The host gave the importer no import interface.");

    SceneBuilder builder(ii, scene.minorVersion);
    if (!scene.extrasProblem.empty()) builder.note(scene.extrasProblem);
    try {
        builder.run(scene.root, scene.extra1, scene.extra2);
    } catch (const std::bad_alloc&) {
        return fail("Not enough memory to build the scene.");
    } catch (const std::exception& e) {
        return fail(std::string("The scene could not be built: ") + e.what());
    }
    if (ip) ip->ProgressEnd();
    if (!builder.report().empty()) {
        MessageBox(GetActiveWindow(), builder.report().message().c_str(), "Warning", MB_OK | MB_ICONWARNING);
    }
    return IMPEXP_SUCCESS;
}

}  // namespace zeq

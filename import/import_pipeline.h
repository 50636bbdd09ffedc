#pragma once
// The import command: read the file whole, unpack its packet, decode the version pair and the Zeq2
// root, then build the scene, with the host's progress display showing each step.
//
// Nothing is created in the scene until the file has been decoded completely. A file that cannot
// be opened, is too short, fails to inflate or to decode, or has a major version other than 2 ends
// the import with one "Error" box saying what is wrong. Files of minor version 6 carry 16-bit vertex
// data, which are read as such.
#include "codec/byte_buffer.h"
#include "format/records_roots.h"
#include "host/import_export.h"
#include "host/interface.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace zeq {

// Title of the progress display while importing.
inline constexpr const char* kImportProgressTitle = "Importing Zeq...";

// A file that cannot be imported; what() is the text of the "Error" box.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct DecodedScene {
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    Zeq2 root;
    // Layers and level-of-detail groups; empty when the file ends after the root.
    Zeq2Extra1 extra1;
    Zeq2Extra2 extra2;
    // Why the records after the root could not be read (they are then left empty); empty when
    // they could.
    std::string extrasProblem;
};

// The whole file in one buffer (read position 0). ImportError when it cannot be opened or read.
ByteBuffer readSceneFile(const char* path);

// Unpacks the packet at the start of `bytes` and decodes the version pair, the Zeq2 root and the
// two extension roots that follow it (a file that ends after the root has empty extensions; damage
// after the root empties them and is noted in extrasProblem, so that the scene itself still comes). `unpacked` runs once the packet is unpacked (the
// progress step). ImportError for anything that is not a well-formed scene of major version 2.
DecodedScene decodeScene(ByteBuffer& bytes, const std::function<void()>& unpacked = {});

// Runs the import of one file into the scene: progress display, reading, decoding, building, and
// the warning box listing what was skipped. Returns IMPEXP_SUCCESS, or IMPEXP_FAIL after the
// "Error" box. With suppressPrompts neither box is shown.
int runImport(const char* fileName, ImpInterface* ii, Interface* ip, bool suppressPrompts = false);

}  // namespace zeq

#pragma once
// `zeq dump`: a decoded scene file as JSON, written as it is produced so that large files need no
// second copy of their content in memory.
//
// The document is {"majorVersion", "minorVersion", "Zeq2", "Zeq2Extra1", "Zeq2Extra2"} with every
// record an object of all its fields in stored order: an absent optional field is null, a vertex
// attribute kind its name, a non-finite float "NaN", "Infinity" or "-Infinity". Byte arrays are
// lower-case hex, except the data of vertex and index buffers, which (unless `raw`) are shown
// decoded:
//   vertex buffer byteBuffer  {"positions": [[x, y, z], ...], "normals": [...], "tangents":
//                              [[x, y, z, w], ...], "joints": [[[j, w], ...], ...] (every JOINTS
//                              entry's two influences, j being the stored joint value),
//                              "texcoords": [[[u, v], ...] per channel]}, keys in the order the
//                              kinds first occur; a repeated POSITION, NORMAL or TANGENT4 entry
//                              gets its own key with a number ("normals2")
//   index buffer byteBuffer   [i0, i1, i2, ...]
// Data whose layout cannot be read (unknown attribute kind, a length that is no whole number of
// vertices, an odd number of index bytes) stay hex. With `raw` the output is exactly the JSON form
// that format/json.h reads back (sceneFileFromJson).
#include "format/scene_file.h"

#include <ostream>

namespace zeq::inspect {

struct DumpOptions {
    bool raw = false;  // vertex and index data as hex
};

// Writes the document followed by a line feed. The caller checks the stream's state afterwards.
void dumpScene(std::ostream& out, const SceneFile& file, const DumpOptions& options);

}  // namespace zeq::inspect

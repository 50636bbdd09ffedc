#include "export/options.h"

namespace zeq {

ExportOptions& exportOptions() {
    // Zero-filled when the library is loaded; lives until it is unloaded.
    static ExportOptions options;
    return options;
}

}  // namespace zeq

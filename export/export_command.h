#pragma once
// The export command after the options dialog: progress display, conversion, encoding into one
// compressed packet, the file write, and the one place where every failure is caught and shown in
// an "Error" box.
#include <cstdint>
#include <string>

class Interface;

namespace zeq {

// Progress texts and the caption of the failure box.
inline constexpr const char* kProgressTitle = "Exporting scene to Zeq";
inline constexpr const char* kProgressExporting = "Exporting scene to Zeq...";
inline constexpr const char* kProgressEncoding = "Encoding...";
inline constexpr const char* kProgressCompressing = "Compressing...";
inline constexpr const char* kProgressWriting = "Writing to file...";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kExportFailedText = "EXPORT FAILED";

// Runs steps 2 onwards of the export command: the conversion of the scene of `ip` into the file
// `path` with selectedOnly from bit 0 of `optionBits`. Always returns 1 (IMPEXP_SUCCESS); a
// failure is reported to the user in an "Error" box, and then no file is written and an existing
// file stays as it was.
int runExport(const std::string& path, Interface* ip, uint32_t optionBits);

// The text the "Error" box shows for the exception currently being handled.
std::string describeCurrentException();

}  // namespace zeq

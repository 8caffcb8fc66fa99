// Files in and out. Every command reads its input once, whole, and no more
// than --max-size bytes of it. An editing command changes FILE in place under
// the library's lock and saves it only over the version it read; when another
// writer changed the file meanwhile, the edit starts again from the new bytes.
// With --output, or FILE "-", nothing is locked.
#ifndef VASK_TOOLS_INI_FILE_H
#define VASK_TOOLS_INI_FILE_H

#include <initialization_document.h>
#include <initialization_lookup.hpp>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vask_ini {

using Document =
    vask::detail::Owner<VaskInitializationDocumentHandle_t, VaskInitializationDocument_close>;

// How messages name a path: "(standard input)" for "-", any other escaped so
// that it cannot split or forge a line.
std::string displayName(const std::string& path);

// The bytes of an input, read whole: "-" is standard input; a regular file is
// read in one version through the support library, anything else (a pipe,
// /dev/stdin) through its descriptor to its end.
vask::Buffer readInput(const std::string& path, size_t maxSize);

// A document of FILE to read from.
Document loadDocument(const std::string& path, size_t maxSize);

// The document's current bytes, valid until its next edit.
std::string_view documentText(VaskInitializationDocumentHandle_t handle);

struct EditTarget {
  std::string path;                   // FILE; "-" is standard input
  std::optional<std::string> output;  // --output: the result goes there ("-": stdout)
  size_t maxSize = 0;
  bool mayCreate = false;  // set: a missing FILE is created
  bool isVerbose = false;  // say on stderr whether FILE changed
};

// An edit changes the document (with warnings to print once it is written), or
// gives new bytes for it (fmt); either throws a ToolError to refuse.
using Warnings = std::vector<std::string>;
using DocumentEdit = std::function<void(VaskInitializationDocumentHandle_t, Warnings*)>;
using TextEdit = std::function<std::string(VaskInitializationDocumentHandle_t)>;

// Runs the edit on FILE and writes the result: over FILE when it changed
// (through the document's own save, or the file module's for new bytes), to
// --output, or to stdout for FILE "-".
void editDocument(const EditTarget& target, const DocumentEdit& edit);
void editText(const EditTarget& target, const TextEdit& edit);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_FILE_H

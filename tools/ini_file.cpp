#include "ini_file.h"

#include "ini_check.h"
#include "ini_error.h"
#include "ini_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vask_common_c/common_file.h>

#include <cerrno>

namespace vask_ini {

namespace {

using FileOwner = vask::detail::Owner<VaskCommonFileHandle_t, VaskCommonFile_close>;

// An edit starts again when another writer changed FILE before its save; this
// many times at most.
constexpr int kAttempts = 20;

[[noreturn]] void read_fail(const std::string& name, int code, size_t maxSize,
                            const VaskInitializationDiagnostic_t* pDiagnostic = nullptr) {
  if (code == VaskCommonError_NoMemory) {
    outOfMemory();
  }
  if (code == VaskCommonError_MalformedLine && pDiagnostic != nullptr) {
    throw ToolError(kExitFile, name + ":" + std::to_string(pDiagnostic->line) + ": " +
                                   malformedMessage(pDiagnostic->aText));
  }
  std::string message = name + ": cannot read the file: " + codeText(code);
  if (code == VaskCommonError_TooLarge) {
    message += " (more than " + std::to_string(maxSize) + " bytes; see --max-size)";
  }
  throw ToolError(kExitFile, message);
}

[[noreturn]] void save_fail(const std::string& name, int code, bool isMissing) {
  if (code == VaskCommonError_NoMemory) {
    outOfMemory();
  }
  throw ToolError(kExitFile,
                  name + (isMissing ? ": cannot create the file: " : ": cannot save the file: ") +
                      codeText(code));
}

// A document of the bytes read from `name`; a line that does not load gives exit 4.
Document parseDocument(const std::string& name, std::string_view text) {
  Document document;
  VaskInitializationDiagnostic_t diagnostic{};
  const int code =
      VaskInitializationDocument_parse(text.data(), text.size(), document.out(), &diagnostic);
  if (code != VaskCommonError_Success) {
    read_fail(name, code, 0, &diagnostic);
  }
  return document;
}

// Opens a regular (or missing) file through the support library and reads it.
vask::Buffer file_read(const std::string& path, const VaskCommonFileOpenParam_t& param,
                       FileOwner* pFile) {
  vask::Buffer bytes;
  int code = bytes.create();
  if (code == VaskCommonError_Success) {
    code = VaskCommonFile_open(path.c_str(), &param, pFile->out(), bytes.get());
  }
  if (code != VaskCommonError_Success) {
    read_fail(displayName(path), code, param.maxSize);
  }
  return bytes;
}

// 1 for a regular file, 0 for a missing one, -1 for anything else.
int path_kind(const std::string& path, mode_t* pMode = nullptr) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return errno == ENOENT ? 0 : 1;  // the open that follows names the failure
  }
  if (pMode != nullptr) {
    *pMode = status.st_mode;
  }
  return S_ISREG(status.st_mode) ? 1 : -1;
}

const char* kind_name(mode_t mode) {
  if (S_ISDIR(mode)) {
    return "a folder";
  }
  if (S_ISFIFO(mode)) {
    return "a FIFO";
  }
  if (S_ISCHR(mode)) {
    return "a character device";
  }
  return S_ISBLK(mode) ? "a block device" : "a socket";
}

// The first line where what was read and what another writer left differ.
std::string change_describe(std::string_view read, std::string_view left) {
  for (size_t number = 1; !read.empty() || !left.empty(); ++number) {
    const std::string_view was = read.substr(0, read.find('\n'));
    const std::string_view is = left.substr(0, left.find('\n'));
    if (was != is || read.empty() != left.empty()) {
      return "line " + std::to_string(number) + " was " +
             (read.empty() ? "not there" : quoted(was)) + " when read, and that writer left " +
             (left.empty() ? "no such line" : quoted(is));
    }
    read.remove_prefix(std::min(read.size(), was.size() + 1));
    left.remove_prefix(std::min(left.size(), is.size() + 1));
  }
  return "that writer left the bytes as they were read";
}

// What a save over FILE means: false when it is done, true when the edit must
// start again; a ToolError otherwise. `pLost`: what another writer left in the
// old file during the rename, when it did.
bool save_isRedo(const std::string& name, int code, std::string_view original,
                 std::optional<std::string_view> lost, bool isMissing, bool isLast) {
  if (code == VaskCommonError_Success) {
    return false;
  }
  if (code == VaskCommonError_FileChanged && lost) {
    throw ToolError(kExitFile, name +
                                   ": the edit is saved, but another writer changed the file "
                                   "while it was replaced, and that change is in no file now: " +
                                   change_describe(original, *lost));
  }
  if (code == VaskCommonError_FileChanged && !isLast) {
    return true;
  }
  save_fail(name, code, isMissing);
}

void output_write(const EditTarget& target, std::string_view result,
                  VaskInitializationDocumentHandle_t handle) {
  if (!target.output || *target.output == "-") {  // FILE "-" without --output, or --output -
    print(result);
    return;
  }
  const bool isMissing = path_kind(*target.output) == 0;
  int code = 0;
  if (handle != 0) {
    code = VaskInitializationDocument_save(handle, target.output->c_str());
  } else {
    VaskCommonBuffer_t buffer{const_cast<char*>(result.data()), 0, result.size(), nullptr, false};
    code = VaskCommonBuffer_save2(&buffer, target.output->c_str(), 0);
  }
  if (code != VaskCommonError_Success) {
    save_fail(displayName(*target.output), code, isMissing);
  }
}

void edit_finish(const EditTarget& target, const Warnings& warnings, bool isChanged) {
  for (const std::string& warning : warnings) {
    warn(warning);
  }
  if (target.isVerbose) {
    warn(displayName(target.path) + (isChanged ? ": changed" : ": unchanged"));
  }
}

// A document of FILE to edit: locked when it is edited in place.
Document document_open(const EditTarget& target, bool isLocked) {
  const std::string name = displayName(target.path);
  if (target.path == "-" || path_kind(target.path) < 0) {
    return parseDocument(name, readInput(target.path, target.maxSize).view());
  }
  const VaskInitializationDocumentOpenParam_t param{target.maxSize, isLocked, target.mayCreate};
  Document document;
  VaskInitializationDiagnostic_t diagnostic{};
  const int code =
      VaskInitializationDocument_open(target.path.c_str(), &param, document.out(), &diagnostic);
  if (code != VaskCommonError_Success && target.mayCreate && path_kind(target.path) == 0) {
    save_fail(name, code, true);  // a missing file that could not be created there
  }
  if (code != VaskCommonError_Success) {
    read_fail(name, code, target.maxSize, &diagnostic);
  }
  return document;
}

// One edit of FILE in place; true when it must start again.
bool document_try(const EditTarget& target, const DocumentEdit& edit, bool isMissing, bool isLast) {
  Document document = document_open(target, true);
  const std::string original(documentText(document.get()));
  Warnings warnings;
  edit(document.get(), &warnings);
  const bool isChanged = documentText(document.get()) != original;
  if (isChanged) {
    const int code = VaskInitializationDocument_save(document.get(), nullptr);
    const char* pLost = nullptr;
    size_t lostSize = 0;
    std::optional<std::string_view> lost;
    if (VaskInitializationDocument_lost(document.get(), &pLost, &lostSize) == 0) {
      lost = std::string_view(pLost, lostSize);
    }
    if (save_isRedo(displayName(target.path), code, original, lost, isMissing, isLast)) {
      return true;
    }
  }
  edit_finish(target, warnings, isChanged);
  return false;
}

// One rewrite of FILE in place; true when it must start again.
bool text_try(const EditTarget& target, const TextEdit& edit, bool isLast) {
  const std::string name = displayName(target.path);
  FileOwner file;
  const vask::Buffer bytes = file_read(target.path, {target.maxSize, true, false}, &file);
  const Document document = parseDocument(name, bytes.view());
  const std::string result = edit(document.get());
  const bool isChanged = result != bytes.view();
  if (isChanged) {
    vask::Buffer lost;
    int code = lost.create();
    if (code == VaskCommonError_Success) {
      code = VaskCommonFile_save(file.get(), result.data(), result.size(), lost.get());
    }
    const bool isLost = lost.get() != nullptr && lost.get()->pBegin != nullptr;
    if (save_isRedo(name, code, bytes.view(), isLost ? std::optional(lost.view()) : std::nullopt,
                    false, isLast)) {
      return true;
    }
  }
  edit_finish(target, {}, isChanged);
  return false;
}

// In place, FILE must be a regular file (or missing): an edit replaces it whole.
bool isInPlace(const EditTarget& target) {
  if (target.output || target.path == "-") {
    return false;
  }
  mode_t mode = 0;
  if (path_kind(target.path, &mode) < 0) {
    refuse(displayName(target.path),
           std::string("it is ") + kind_name(mode) +
               ", not a regular file, and an edit replaces the file whole (pipe it through "
               "'-', or use --output)");
  }
  return true;
}

}  // namespace

std::string displayName(const std::string& path) {
  return path == "-" ? "(standard input)" : escaped(path, std::string::npos);
}

vask::Buffer readInput(const std::string& path, size_t maxSize) {
  if (path != "-" && path_kind(path) >= 0) {
    FileOwner file;
    return file_read(path, {maxSize, false, false}, &file);
  }
  vask::Buffer bytes;
  const int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int code = fd < 0 ? VaskCommonError_fromErrno(errno) : bytes.create();
  if (code == VaskCommonError_Success) {
    code = VaskCommonFile_read(fd, maxSize, bytes.get());
  }
  if (fd > STDIN_FILENO) {
    (void)::close(fd);
  }
  if (code != VaskCommonError_Success) {
    read_fail(displayName(path), code, maxSize);
  }
  return bytes;
}

Document loadDocument(const std::string& path, size_t maxSize) {
  return document_open({path, std::nullopt, maxSize, false, false}, false);
}

std::string_view documentText(VaskInitializationDocumentHandle_t handle) {
  const char* pText = nullptr;
  size_t size = 0;
  if (VaskInitializationDocument_text(handle, &pText, &size) != VaskCommonError_Success) {
    outOfMemory();
  }
  return {pText, size};
}

void editDocument(const EditTarget& target, const DocumentEdit& edit) {
  if (isInPlace(target)) {
    const bool isMissing = path_kind(target.path) == 0;
    for (int attempt = 1; document_try(target, edit, isMissing, attempt == kAttempts); ++attempt) {
    }
    return;
  }
  Document document = document_open(target, false);
  const std::string original(documentText(document.get()));
  Warnings warnings;
  edit(document.get(), &warnings);
  const std::string_view result = documentText(document.get());
  output_write(target, result, document.get());
  edit_finish(target, warnings, result != original);
}

void editText(const EditTarget& target, const TextEdit& edit) {
  if (isInPlace(target)) {
    for (int attempt = 1; text_try(target, edit, attempt == kAttempts); ++attempt) {
    }
    return;
  }
  const Document document = document_open(target, false);
  const std::string result = edit(document.get());
  output_write(target, result, 0);
  edit_finish(target, {}, result != documentText(document.get()));
}

}  // namespace vask_ini

#include "ini_document.h"

#include "ini_check.h"
#include "ini_error.h"
#include "ini_text.h"

#include <vask_common_c/common_error.h>
#include <vask_common_c/common_tracer.h>

#include <cstdio>

namespace vask_ini {

namespace {

// Keeps the library quiet while the tool reads lines again only to place a
// failure that has already been traced.
class TraceMute {
 public:
  TraceMute() : saved_(hTracer) { hTracer = 0; }
  ~TraceMute() { hTracer = saved_; }
  TraceMute(const TraceMute&) = delete;
  TraceMute& operator=(const TraceMute&) = delete;

 private:
  VaskCommonTracerHandle_t saved_;
};

ToolError loadError(const std::string& path, const std::string& text, int result) {
  if (result == VaskCommonError_InvalidArgument) {
    const TraceMute mute;
    if (std::optional<Finding> finding = firstError(text)) {
      return ToolError(kExitFailure,
                       path + ":" + std::to_string(finding->line) + ": " + finding->message);
    }
  }
  return ToolError(kExitFailure, path + ": cannot load the file: " + codeText(result));
}

void queue_save(const std::string& path, VaskCommonDQueueHandle_t hQueueSection) {
  Writer writer;
  const int result = VaskInitializationWriter_save(writer.handle(), path.c_str(), hQueueSection);
  if (result != VaskCommonError_Success) {
    throw ToolError(kExitFailure, path + ": cannot save the file: " + codeText(result));
  }
}

}  // namespace

Document::Document(std::string path) : path_(std::move(path)), text_(file_read(path_)) {
  Reader reader;
  const int result = VaskInitializationReader_load(reader.handle(), path_.c_str(), queue_.handle());
  if (result != VaskCommonError_Success) {
    throw loadError(path_, text_, result);
  }
}

void Document::warnLossyLines() const {
  for (const Finding& finding : checkText(text_)) {
    if (!finding.isError && finding.isDropping) {
      (void)std::fprintf(stderr, "vask-ini: %s:%zu: warning: %s\n", path_.c_str(), finding.line,
                         finding.message.c_str());
    }
  }
}

void Document::commit() {
  const std::string written = serialize();
  // Saved is what the text reads back as, so that a section left without
  // members merges into the next one as reading would merge it, and the file
  // ends in the writer's layout.
  Reader reader;
  SectionQueue reread;
  const int result = text_parse(reader.handle(), written, reread.handle());
  const std::string again =
      result == VaskCommonError_Success ? queue_serialize(reread.handle()) : "";
  requireSameLines(written, again);
  if (again != text_) {
    queue_save(path_, reread.handle());
  }
}

void Document::save() const {
  queue_save(path_, queue_.handle());
}

// Blank lines aside, the text must read back line for line: a section without
// members that stands before another one, for one, loses its header.
void Document::requireSameLines(const std::string& written, const std::string& again) const {
  const std::vector<std::string_view> wanted = nonEmptyLines(written);
  const std::vector<std::string_view> got = nonEmptyLines(again);
  if (wanted == got) {
    return;
  }
  size_t index = 0;
  while (index < got.size() && index < wanted.size() && got[index] == wanted[index]) {
    ++index;
  }
  const std::string_view lost = index < wanted.size() ? wanted[index] : std::string_view();
  const std::string reason =
      lost.starts_with('[') ? " (a section without members cannot stand before another section)"
                            : "";
  throw ToolError(kExitRefused, path_ + ": refused: the line " + quoted(lost) +
                                    " would not read back from the saved file" + reason +
                                    "; the file is unchanged");
}

}  // namespace vask_ini

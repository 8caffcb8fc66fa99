// One initialization file loaded through the library, changed in memory and
// saved back through the library.
#ifndef VASK_TOOLS_INI_DOCUMENT_H
#define VASK_TOOLS_INI_DOCUMENT_H

#include "ini_library.h"

#include <string>

namespace vask_ini {

class Document {
 public:
  // Reads and loads the file. A file that cannot be read, or a line that makes
  // loading fail, gives a ToolError naming the file (and the line).
  explicit Document(std::string path);

  const std::string& path() const { return path_; }
  // The file's bytes as they were read.
  const std::string& text() const { return text_; }
  VaskCommonDQueueHandle_t queue() const { return queue_.handle(); }
  // The writer's text for the sections as they are now.
  std::string serialize() const { return queue_serialize(queue_.handle()); }

  // Writes a warning to stderr for each line whose text reading drops: what
  // reading loses is not written back either.
  void warnLossyLines() const;
  // Saves the sections atomically through the writer, as their text reads back,
  // unless the file already holds that text. Refuses (ToolError, nothing
  // written) when the text would not read back line for line.
  void commit();
  // Saves the sections atomically through the writer.
  void save() const;

 private:
  void requireSameLines(const std::string& written, const std::string& again) const;

  std::string path_;
  std::string text_;
  SectionQueue queue_;
};

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_DOCUMENT_H

// The tool's line scanner: walks a text line by line and reads each line as
// the reader does (blanks skipped, the first other character deciding the kind,
// a key up to the first '=', a value up to a blank or marker, the trailing
// comment, the zero-byte rules), so that edits can find the bytes of a line.
// Members get the name of the section they answer to, grouped by header as the
// lookup library groups them. What the scanner reads is checked against the
// library before any edit is saved.
#ifndef VASK_TOOLS_INI_SCAN_H
#define VASK_TOOLS_INI_SCAN_H

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vask_ini {

enum class LineKind {
  Blank,    // nothing but blanks
  Comment,  // starts with '#' or ';'
  Header,   // starts with '['
  Member,   // key=value
  Invalid,  // neither, and without '=': loading fails here
  End,      // starts with a zero byte: reading ends here, whatever follows
};

struct ScanLine {
  LineKind kind = LineKind::Blank;
  size_t number = 0;      // counted from 1
  size_t begin = 0;       // offset of the line's first byte
  size_t body = 0;        // offset of its first byte that is not a blank
  size_t contentEnd = 0;  // offset of the LF that ends it, or the end of the text
  size_t end = 0;         // offset just past that LF
  size_t member = 0;      // members before this line
  // Header: the name; Member: the name of the section the member answers to.
  std::string_view section;
  // Member only: the parts as reading gives them, and where they stand.
  std::string_view key;
  std::string_view value;
  std::string_view comment;  // from the marker on; null data() when there is none
  size_t equals = 0;         // offset of the first '='
  size_t valueEnd = 0;       // offset where reading ends the value
  size_t marker = 0;         // offset of the comment marker, or contentEnd

  bool hasComment() const { return comment.data() != nullptr; }
  // The line's end: "\r\n", "\n", or "" for a last line without LF.
  std::string_view ending(std::string_view text) const;
};

class LineScanner {
 public:
  explicit LineScanner(std::string_view text) : text_(text) {}

  // Reads the next line into *pLine; false when no line is left. After a line
  // of kind Invalid or End nothing more is read, as reading stops there.
  bool next(ScanLine* pLine);
  // The number of members read so far.
  size_t members() const { return members_; }

 private:
  std::string_view text_;
  size_t offset_ = 0;
  size_t number_ = 0;
  size_t members_ = 0;
  std::string_view section_;  // the name members answer to at this point
  bool isStopped_ = false;
};

// One member as the tool's view holds it: the hash of its section's name
// (sectionHash), its key, value and trailing comment, reduced to a hash (a
// missing comment differs from an empty one).
uint64_t sectionHash(std::string_view section);
uint64_t memberHash(uint64_t section, std::string_view key, std::string_view value, bool hasComment,
                    std::string_view comment);
uint64_t memberHash(const ScanLine& line);

// Reads one line (without its LF) on its own, its members answering to `section`.
ScanLine scanOneLine(std::string_view line, std::string_view section);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_SCAN_H

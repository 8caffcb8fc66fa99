#include "ini_check.h"

#include "ini_error.h"
#include "ini_text.h"

#include <initialization_utility.h>
#include <initialization_lookup.hpp>

#include <algorithm>

namespace vask_ini {

namespace {

enum class LineKind { Blank, End, Comment, Header, Member, Invalid };

// What the library makes of one line read on its own.
struct LineReading {
  LineKind kind = LineKind::Blank;
  std::string_view body;  // the line from its first non-blank character on
  std::string header;
  std::string key;
  std::string value;
  std::optional<std::string> comment;
};

// One thing reading does to a line, and whether it loses text doing it.
struct Note {
  std::string text;
  bool isDropping;
};

// A header seen with no member after it yet: the next header replaces it.
struct OpenHeader {
  size_t line;
  std::string name;
};

std::string_view line_body(std::string_view line) {
  const char* pCurrent = line.data();
  (void)VaskInitializationUtility_ignoreSpaces(&pCurrent, line.data() + line.size());
  return line.substr(static_cast<size_t>(pCurrent - line.data()));
}

// Reading sees a line only up to its first zero byte.
std::string_view line_visible(std::string_view body) {
  return body.substr(0, body.find('\0'));
}

void reading_fill(const VaskInitializationSection_t& section, LineReading* pReading) {
  if (section.pHeader != nullptr) {
    pReading->kind = LineKind::Header;
    pReading->header = section.pHeader;
    return;
  }
  void* pItem = nullptr;
  if (VaskCommonDQueue_at(section.hMember, 0, &pItem) != VaskCommonError_Success) {
    pReading->kind = LineKind::Comment;
    return;
  }
  const auto& member = *static_cast<const VaskInitializationMember_t*>(pItem);
  pReading->kind = LineKind::Member;
  pReading->key = member.pKey != nullptr ? member.pKey : "";
  pReading->value = member.pValue != nullptr ? member.pValue : "";
  if (member.pComment != nullptr) {
    pReading->comment = member.pComment;
  }
}

// What the library reads from the line on its own.
LineReading line_read(std::string_view line) {
  LineReading reading;
  reading.body = line_body(line);
  vask::Sections sections;
  const int result = sections.parse(std::string(line));
  if (result == VaskCommonError_InvalidArgument) {
    reading.kind = LineKind::Invalid;
    return reading;
  }
  if (result != VaskCommonError_Success) {
    throw ToolError(kExitFailure, "cannot read a line: " + codeText(result));
  }
  void* pItem = nullptr;
  if (VaskCommonDQueue_at(sections.handle(), 0, &pItem) != VaskCommonError_Success) {
    const bool isZero = !reading.body.empty() && reading.body.front() == '\0';
    reading.kind = isZero ? LineKind::End : LineKind::Blank;
    return reading;
  }
  reading_fill(*static_cast<const VaskInitializationSection_t*>(pItem), &reading);
  return reading;
}

void note_zeroByte(std::string_view body, std::vector<Note>* pNotes) {
  const size_t zero = body.find('\0');
  if (zero == std::string_view::npos) {
    return;
  }
  const std::string_view rest = body.substr(zero + 1);
  pNotes->push_back({hasNonBlank(rest) ? "a zero byte cuts the line short: " +
                                             quoted(trimBlanks(rest)) + " is dropped"
                                       : "a zero byte cuts the line short",
                     true});
}

// What reading does to the text between the '=' and the trailing comment.
void note_value(const LineReading& reading, std::string_view tail, std::vector<Note>* pNotes) {
  if (hasNonBlank(tail)) {
    const std::string dropped = quoted(trimBlanks(tail)) + " is dropped";
    pNotes->push_back({reading.key.empty()
                           ? "the key is empty, so the value is not read: " + dropped
                           : "the value is read as " + quoted(reading.value) + " and " + dropped,
                       true});
  } else if (reading.comment && tail.empty()) {
    pNotes->push_back({"the value is read as " + quoted(reading.value) + " and " +
                           quoted(*reading.comment) + " as a comment",
                       false});
  }
}

std::vector<Note> member_notes(const LineReading& reading) {
  std::vector<Note> notes;
  if (!reading.key.empty() && isBlank(reading.key.back())) {
    notes.push_back(
        {"the key is read as " + quoted(reading.key) + ", with the blank before '='", false});
  }
  std::string_view stem = line_visible(reading.body);
  if (reading.comment) {
    if (!stem.ends_with(*reading.comment)) {
      return notes;
    }
    stem.remove_suffix(reading.comment->size());
  }
  const std::string prefix = reading.key + "=" + reading.value;
  if (stem.starts_with(prefix)) {
    note_value(reading, stem.substr(prefix.size()), &notes);
  }
  note_zeroByte(reading.body, &notes);
  return notes;
}

// A CR LF line end leaves its CR in the value: nothing is lost, but the value
// is not what the eye sees.
void note_carriageReturn(const LineReading& reading, std::vector<Note>* pNotes) {
  if (reading.value.ends_with('\r')) {
    pNotes->push_back(
        {"the value is read as " + quoted(reading.value) + ", with the CR of the CR LF line end",
         false});
  }
}

std::vector<Note> header_notes(const LineReading& reading) {
  std::vector<Note> notes;
  const std::string_view visible = line_visible(reading.body);
  const size_t close = visible.find(']');
  if (close == std::string_view::npos) {
    notes.push_back(
        {"the header has no ']': the name is read as " + quoted(reading.header), false});
  } else if (hasNonBlank(visible.substr(close + 1))) {
    notes.push_back(
        {"the text after ']' is dropped: " + quoted(trimBlanks(visible.substr(close + 1))), true});
  }
  note_zeroByte(reading.body, &notes);
  return notes;
}

// Walks the lines in order and collects findings; see checkText.
class LineChecker {
 public:
  explicit LineChecker(std::string_view text) : text_(text) {}

  std::vector<Finding> run() {
    size_t number = 0;
    if (text_.starts_with("\xef\xbb\xbf")) {
      return {{1, true, true, std::string(kByteOrderMarkMessage)}};
    }
    for (std::string_view line : splitLines(text_)) {
      if (!take(++number, line_read(line))) {
        break;
      }
    }
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return findings_;
  }

 private:
  // Takes one line; false when reading stops at it.
  bool take(size_t number, const LineReading& reading) {
    switch (reading.kind) {
      case LineKind::End:
        takeEnd(number, reading.body);
        return false;
      case LineKind::Invalid:
        findings_.push_back({number, true, true, missingEqualsMessage(reading.body)});
        return false;
      case LineKind::Header:
        takeHeader(number, reading);
        break;
      case LineKind::Member:
        openHeader_.reset();
        warn(number, [&] {
          std::vector<Note> notes = member_notes(reading);
          note_carriageReturn(reading, &notes);
          return notes;
        }());
        break;
      case LineKind::Comment:
        warn(number, [&] {
          std::vector<Note> notes;
          note_zeroByte(reading.body, &notes);
          return notes;
        }());
        break;
      case LineKind::Blank:
        break;
    }
    return true;
  }

  void takeHeader(size_t number, const LineReading& reading) {
    if (openHeader_) {
      findings_.push_back({openHeader_->line, false, true,
                           "the header " + bracketed(openHeader_->name) + " is replaced by " +
                               bracketed(reading.header) + " on line " + std::to_string(number) +
                               " before any member"});
    }
    openHeader_ = OpenHeader{number, reading.header};
    warn(number, header_notes(reading));
  }

  // A zero byte where a line starts ends the text: the rest is never read.
  void takeEnd(size_t number, std::string_view body) {
    const size_t offset = static_cast<size_t>(body.data() - text_.data()) + 1;
    if (hasNonBlank(text_.substr(offset))) {
      findings_.push_back(
          {number, false, true, "a zero byte ends the text here: nothing after it is read"});
    }
  }

  // All that reading does to one line, as one finding.
  void warn(size_t number, const std::vector<Note>& notes) {
    if (notes.empty()) {
      return;
    }
    Finding finding{number, false, false, ""};
    for (const Note& note : notes) {
      finding.message += (finding.message.empty() ? "" : "; ") + note.text;
      finding.isDropping = finding.isDropping || note.isDropping;
    }
    findings_.push_back(std::move(finding));
  }

  std::string_view text_;
  std::optional<OpenHeader> openHeader_;
  std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> checkText(std::string_view text) {
  return LineChecker(text).run();
}

std::string missingEqualsMessage(std::string_view body) {
  return quoted(line_visible(body)) +
         " has no '=': a line that is not a comment or a [header] must be key=value";
}

std::optional<std::string> memberLoss(std::string_view line) {
  const LineReading reading = line_read(line);
  if (reading.kind != LineKind::Member) {
    return std::nullopt;
  }
  std::vector<Note> notes = member_notes(reading);
  std::erase_if(notes, [](const Note& note) { return !note.isDropping; });
  note_carriageReturn(reading, &notes);
  std::string message;
  for (const Note& note : notes) {
    message += (message.empty() ? "" : "; ") + note.text;
  }
  return message.empty() ? std::nullopt : std::optional(message);
}

}  // namespace vask_ini

#include "ini_scan.h"

#include <cctype>
#include <cstring>
#include <functional>

namespace vask_ini {

namespace {

bool byte_isBlank(char character) {
  return std::isspace(static_cast<unsigned char>(character)) != 0;
}

// The first `wanted` in [from, end) of the text, or end; a zero byte ends the
// search, as it ends what reading sees of a line.
size_t text_find(std::string_view text, size_t from, size_t end, char wanted) {
  const char* pBegin = text.data() + from;
  const auto* pFound = static_cast<const char*>(std::memchr(pBegin, wanted, end - from));
  if (pFound == nullptr) {
    return end;
  }
  const auto limit = static_cast<size_t>(pFound - pBegin);
  return std::memchr(pBegin, '\0', limit) == nullptr ? from + limit : end;
}

size_t text_zeroOrEnd(std::string_view text, size_t from, size_t end) {
  const auto* pZero = static_cast<const char*>(std::memchr(text.data() + from, '\0', end - from));
  return pZero != nullptr ? static_cast<size_t>(pZero - text.data()) : end;
}

// Where a header's name ends: at ']', a zero byte or the line's end.
size_t bracket_end(std::string_view text, size_t from, size_t end) {
  const size_t bracket = text_find(text, from, end, ']');
  return bracket < end ? bracket : text_zeroOrEnd(text, from, end);
}

// Where reading ends a value: the first space, marker or zero byte.
size_t value_end(std::string_view text, size_t from, size_t end) {
  while (from < end) {
    const char character = text[from];
    if (character == ' ' || character == '#' || character == ';' || character == '\0') {
      break;
    }
    ++from;
  }
  return from;
}

// A '#' after the value's end, or else a ';', as reading picks the marker.
size_t member_marker(std::string_view text, size_t valueEnd, size_t end) {
  if (valueEnd == end || text[valueEnd] == '\0') {
    return end;
  }
  const size_t hash = text_find(text, valueEnd, end, '#');
  return hash < end ? hash : text_find(text, valueEnd, end, ';');
}

// Fills the parts of a member line; the kind becomes Invalid without '='.
void member_read(std::string_view text, ScanLine* pLine) {
  const size_t equals = text_find(text, pLine->body, pLine->contentEnd, '=');
  if (equals == pLine->contentEnd) {
    pLine->kind = LineKind::Invalid;
    return;
  }
  pLine->equals = equals;
  pLine->key = text.substr(pLine->body, equals - pLine->body);
  pLine->valueEnd = value_end(text, equals + 1, pLine->contentEnd);
  // An empty key ends the reading of the line: the value stays empty.
  const size_t valueBegin = pLine->key.empty() ? pLine->valueEnd : equals + 1;
  pLine->value = text.substr(valueBegin, pLine->valueEnd - valueBegin);
  pLine->marker = member_marker(text, pLine->valueEnd, pLine->contentEnd);
  pLine->comment = {};
  if (pLine->marker < pLine->contentEnd) {
    pLine->comment = text.substr(
        pLine->marker, text_zeroOrEnd(text, pLine->marker, pLine->contentEnd) - pLine->marker);
  }
}

}  // namespace

std::string_view ScanLine::ending(std::string_view text) const {
  if (end == contentEnd) {
    return {};
  }
  return contentEnd > begin && text[contentEnd - 1] == '\r' ? "\r\n" : "\n";
}

bool LineScanner::next(ScanLine* pLine) {
  if (isStopped_ || offset_ >= text_.size()) {
    return false;
  }
  ScanLine& line = *pLine;
  line = ScanLine{};
  line.number = ++number_;
  line.begin = offset_;
  const void* pLineFeed = std::memchr(text_.data() + offset_, '\n', text_.size() - offset_);
  line.contentEnd = pLineFeed != nullptr
                        ? static_cast<size_t>(static_cast<const char*>(pLineFeed) - text_.data())
                        : text_.size();
  line.end = pLineFeed != nullptr ? line.contentEnd + 1 : line.contentEnd;
  offset_ = line.end;
  line.body = line.begin;
  while (line.body < line.contentEnd && byte_isBlank(text_[line.body])) {
    ++line.body;
  }
  line.member = members_;
  if (line.body == line.contentEnd) {
    return true;  // Blank
  }
  switch (text_[line.body]) {
    case '\0':
      line.kind = LineKind::End;
      break;
    case '#':
    case ';':
      line.kind = LineKind::Comment;
      break;
    case '[':
      line.kind = LineKind::Header;
      line.section = text_.substr(
          line.body + 1, bracket_end(text_, line.body + 1, line.contentEnd) - line.body - 1);
      section_ = line.section;
      break;
    default:
      line.kind = LineKind::Member;
      member_read(text_, &line);
      line.section = section_;
      members_ += line.kind == LineKind::Member ? 1 : 0;
      break;
  }
  isStopped_ = line.kind == LineKind::Invalid || line.kind == LineKind::End;
  return true;
}

uint64_t memberHash(std::string_view section, std::string_view key, std::string_view value,
                    bool hasComment, std::string_view comment) {
  uint64_t hash = hasComment ? 0x6a09e667f3bcc909 : 0x243f6a8885a308d3;
  for (std::string_view part : {section, key, value, comment}) {
    hash ^= std::hash<std::string_view>{}(part) + 0x9e3779b97f4a7c15 + (hash << 6) + (hash >> 2);
  }
  return hash;
}

uint64_t memberHash(const ScanLine& line) {
  return memberHash(line.section, line.key, line.value, line.hasComment(), line.comment);
}

ScanLine scanOneLine(std::string_view line, std::string_view section) {
  ScanLine read;
  LineScanner scanner(line);
  (void)scanner.next(&read);
  if (read.kind == LineKind::Member) {
    read.section = section;
  }
  return read;
}

}  // namespace vask_ini

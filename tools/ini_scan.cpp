#include "ini_scan.h"

#include <array>
#include <cctype>
#include <cstring>

namespace vask_ini {

namespace {

// isspace() in the current locale, looked up once per byte value.
bool byte_isBlank(char character) {
  static const std::array<bool, 256> kBlank = [] {
    std::array<bool, 256> blank{};
    for (size_t byte = 0; byte < blank.size(); ++byte) {
      blank[byte] = std::isspace(static_cast<int>(byte)) != 0;
    }
    return blank;
  }();
  return kBlank[static_cast<unsigned char>(character)];
}

constexpr uint64_t kOnes = 0x0101010101010101;

// 0x80 in the lowest byte of the word that is zero (higher bytes may be marked
// wrongly, but never a lower one).
constexpr uint64_t word_zeroBytes(uint64_t word) {
  return (word - kOnes) & ~word & (kOnes << 7);
}

// The first byte in [from, end) of the text that is a zero byte (which ends
// what reading sees of a line) or one of kStops; end when there is none.
// Eight bytes at a time where the words are little-endian.
template <char... kStops>
size_t text_find(std::string_view text, size_t from, size_t end) {
  const char* pText = text.data();
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (; from + sizeof(uint64_t) <= end; from += sizeof(uint64_t)) {
    uint64_t word = 0;
    std::memcpy(&word, pText + from, sizeof word);
    const uint64_t hits = (word_zeroBytes(word) | ... |
                           word_zeroBytes(word ^ (kOnes * static_cast<unsigned char>(kStops))));
    if (hits != 0) {
      return from + static_cast<size_t>(__builtin_ctzll(hits)) / 8;
    }
  }
#endif
  while (from < end && pText[from] != '\0' && ((pText[from] != kStops) && ...)) {
    ++from;
  }
  return from;
}

// The first `wanted` in [from, end) before any zero byte, or end.
template <char wanted>
size_t text_findBeforeZero(std::string_view text, size_t from, size_t end) {
  const size_t found = text_find<wanted>(text, from, end);
  return found < end && text[found] == wanted ? found : end;
}

// A '#' after the value's end, or else a ';', as reading picks the marker.
size_t member_marker(std::string_view text, size_t valueEnd, size_t end) {
  if (valueEnd == end || text[valueEnd] == '\0') {
    return end;
  }
  const size_t hash = text_findBeforeZero<'#'>(text, valueEnd, end);
  return hash < end ? hash : text_findBeforeZero<';'>(text, valueEnd, end);
}

// Fills the parts of a member line; the kind becomes Invalid without '='.
void member_read(std::string_view text, ScanLine* pLine) {
  const size_t equals = text_findBeforeZero<'='>(text, pLine->body, pLine->contentEnd);
  if (equals == pLine->contentEnd) {
    pLine->kind = LineKind::Invalid;
    return;
  }
  pLine->equals = equals;
  pLine->key = text.substr(pLine->body, equals - pLine->body);
  pLine->valueEnd = text_find<' ', '#', ';'>(text, equals + 1, pLine->contentEnd);
  // An empty key ends the reading of the line: the value stays empty.
  const size_t valueBegin = pLine->key.empty() ? pLine->valueEnd : equals + 1;
  pLine->value = text.substr(valueBegin, pLine->valueEnd - valueBegin);
  pLine->marker = member_marker(text, pLine->valueEnd, pLine->contentEnd);
  pLine->comment = {};
  if (pLine->marker < pLine->contentEnd) {
    pLine->comment = text.substr(
        pLine->marker, text_find<>(text, pLine->marker, pLine->contentEnd) - pLine->marker);
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
          line.body + 1, text_find<']'>(text_, line.body + 1, line.contentEnd) - line.body - 1);
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

namespace {

uint64_t word_mix(uint64_t hash, uint64_t word) {
  hash = (hash ^ word) * 0xbf58476d1ce4e5b9;
  return hash ^ (hash >> 31);
}

// Eight bytes at a time, the length first.
uint64_t bytes_hash(std::string_view bytes, uint64_t seed) {
  uint64_t hash = word_mix(seed, bytes.size());
  size_t at = 0;
  for (; at + sizeof(uint64_t) <= bytes.size(); at += sizeof(uint64_t)) {
    uint64_t word = 0;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    hash = word_mix(hash, word);
  }
  uint64_t tail = 0;
  if (at < bytes.size()) {
    std::memcpy(&tail, bytes.data() + at, bytes.size() - at);
  }
  return word_mix(hash, tail);
}

}  // namespace

uint64_t sectionHash(std::string_view section) {
  return bytes_hash(section, 0x243f6a8885a308d3);
}

uint64_t memberHash(uint64_t section, std::string_view key, std::string_view value, bool hasComment,
                    std::string_view comment) {
  // Separate chains that the processor can run side by side.
  const uint64_t keyHash = bytes_hash(key, 0x13198a2e03707344);
  const uint64_t valueHash = bytes_hash(value, 0xa4093822299f31d0);
  const uint64_t commentHash = hasComment ? bytes_hash(comment, 0x082efa98ec4e6c89) : 0;
  return word_mix(word_mix(word_mix(section, keyHash), valueHash), commentHash);
}

uint64_t memberHash(const ScanLine& line) {
  return memberHash(sectionHash(line.section), line.key, line.value, line.hasComment(),
                    line.comment);
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

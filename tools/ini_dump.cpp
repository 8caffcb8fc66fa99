#include "ini_dump.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace vask_ini {

namespace {

bool byte_isContinuation(unsigned char byte) {
  return (byte & 0xc0) == 0x80;
}

// The length of the valid UTF-8 sequence starting at `index`, or 0. Overlong
// forms, surrogates and code points beyond U+10FFFF are not valid.
size_t utf8_sequenceLength(std::string_view bytes, size_t index) {
  const auto lead = static_cast<unsigned char>(bytes[index]);
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xbf;  // the bounds of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    low = lead == 0xe0 ? 0xa0 : 0x80;
    high = lead == 0xed ? 0x9f : 0xbf;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    low = lead == 0xf0 ? 0x90 : 0x80;
    high = lead == 0xf4 ? 0x8f : 0xbf;
  } else {
    return 0;
  }
  if (index + length > bytes.size()) {
    return 0;
  }
  const auto second = static_cast<unsigned char>(bytes[index + 1]);
  if (second < low || second > high) {
    return 0;
  }
  for (size_t next = 2; next < length; ++next) {
    if (!byte_isContinuation(static_cast<unsigned char>(bytes[index + next]))) {
      return 0;
    }
  }
  return length;
}

void json_appendAscii(char character, std::string* pJson) {
  switch (character) {
    case '"':
      *pJson += "\\\"";
      return;
    case '\\':
      *pJson += "\\\\";
      return;
    case '\n':
      *pJson += "\\n";
      return;
    case '\r':
      *pJson += "\\r";
      return;
    case '\t':
      *pJson += "\\t";
      return;
    default:
      break;
  }
  if (static_cast<unsigned char>(character) < 0x20) {
    char escape[8];
    (void)std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(character));
    *pJson += escape;
    return;
  }
  *pJson += character;
}

std::string jsonOrNull(const char* pText) {
  return pText != nullptr ? jsonString(pText) : "null";
}

// The queue's items, read in place with the support library's _at.
template <typename Item_t>
std::vector<Item_t*> queue_items(VaskCommonDQueueHandle_t hQueue) {
  std::vector<Item_t*> items;
  void* pItem = nullptr;
  for (size_t index = 0; VaskCommonDQueue_at(hQueue, index, &pItem) == 0; ++index) {
    items.push_back(static_cast<Item_t*>(pItem));
  }
  return items;
}

std::string member_json(const VaskInitializationMember_t& member) {
  return "{\"key\": " + jsonOrNull(member.pKey) + ", \"value\": " + jsonOrNull(member.pValue) +
         ", \"comment\": " + jsonOrNull(member.pComment) + "}";
}

std::string comments_json(const VaskInitializationSection_t& section) {
  std::string json = "[";
  for (const char* pComment : queue_items<const char>(section.hComment)) {
    json += (json.size() > 1 ? ", " : "") + jsonString(pComment);
  }
  return json + "]";
}

std::string members_json(const VaskInitializationSection_t& section) {
  const auto members = queue_items<const VaskInitializationMember_t>(section.hMember);
  if (members.empty()) {
    return "[]";
  }
  std::string json = "[";
  for (size_t index = 0; index < members.size(); ++index) {
    json += (index > 0 ? ",\n      " : "\n      ") + member_json(*members[index]);
  }
  return json + "\n    ]";
}

std::string section_json(const VaskInitializationSection_t& section) {
  return "  {\n    \"comments\": " + comments_json(section) +
         ",\n    \"header\": " + jsonOrNull(section.pHeader) +
         ",\n    \"members\": " + members_json(section) + "\n  }";
}

bool isShellName(std::string_view key) {
  const auto isWordByte = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  };
  return !key.empty() && !(key.front() >= '0' && key.front() <= '9') &&
         std::all_of(key.begin(), key.end(), isWordByte);
}

// Between single quotes the shell takes every byte as it is; a quote itself
// closes, is escaped and reopens.
std::string shellQuoted(std::string_view value) {
  std::string quoted = "'";
  for (char character : value) {
    quoted += character == '\'' ? std::string("'\\''") : std::string(1, character);
  }
  return quoted + "'";
}

}  // namespace

std::string jsonString(std::string_view bytes) {
  std::string json = "\"";
  size_t index = 0;
  while (index < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[index]);
    if (byte < 0x80) {
      json_appendAscii(bytes[index++], &json);
      continue;
    }
    const size_t length = utf8_sequenceLength(bytes, index);
    if (length > 0) {
      json.append(bytes.substr(index, length));
      index += length;
      continue;
    }
    char escape[8];
    (void)std::snprintf(escape, sizeof escape, "\\udc%02x", byte);
    json += escape;
    ++index;
  }
  return json + "\"";
}

std::string dumpJson(const vask::Sections& queue) {
  const auto sections = queue_items<const VaskInitializationSection_t>(queue.handle());
  if (sections.empty()) {
    return "[]\n";
  }
  std::string json = "[\n";
  for (size_t index = 0; index < sections.size(); ++index) {
    json += (index > 0 ? ",\n" : "") + section_json(*sections[index]);
  }
  return json + "\n]\n";
}

std::string dumpText(const vask::Sections& sections, const char* pSection) {
  std::string text;
  for (const vask::Entry entry : vask::MemberRange(sections.handle(), pSection)) {
    text.append(entry.section).append(".").append(entry.key()).append("=");
    text.append(entry.value()).append("\n");
  }
  return text;
}

std::string dumpShell(const vask::Sections& sections, const char* pSection,
                      std::vector<std::string>* pSkipped) {
  std::vector<std::pair<std::string_view, std::string_view>> values;
  std::unordered_map<std::string_view, size_t> positions;
  for (const vask::Entry entry : vask::MemberRange(sections.handle(), pSection)) {
    const auto [found, isNew] = positions.try_emplace(entry.key(), values.size());
    if (isNew) {
      values.emplace_back(entry.key(), entry.value());
    } else {
      values[found->second].second = entry.value();
    }
  }
  std::string text;
  for (const auto& [key, value] : values) {
    if (isShellName(key)) {
      text.append(key).append("=").append(shellQuoted(value)).append("\n");
    } else {
      pSkipped->emplace_back(key);
    }
  }
  return text;
}

}  // namespace vask_ini

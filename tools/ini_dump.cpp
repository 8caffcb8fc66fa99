#include "ini_dump.h"

#include "ini_error.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace vask_ini {

namespace {

// The length of the valid UTF-8 sequence starting at `index`, or 0.
size_t utf8_sequenceLength(std::string_view bytes, size_t index) {
  const auto lead = static_cast<unsigned char>(bytes[index]);
  const size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
  // The second byte's bounds shut out the overlong forms, surrogates and more.
  const unsigned low = lead == 0xe0 ? 0xa0 : lead == 0xf0 ? 0x90 : 0x80;
  const unsigned high = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
  if (lead < 0xc2 || lead > 0xf4 || index + length > bytes.size()) {
    return 0;
  }
  for (size_t next = 1; next < length; ++next) {
    const auto byte = static_cast<unsigned char>(bytes[index + next]);
    if (byte < (next == 1 ? low : 0x80) || byte > (next == 1 ? high : 0xbf)) {
      return 0;
    }
  }
  return length;
}

void json_appendAscii(char character, std::string* pJson) {
  constexpr std::string_view kEscaped = "\"\\\n\r\t";
  const size_t at = kEscaped.find(character);
  if (at != std::string_view::npos) {
    *pJson += '\\';
    *pJson += "\"\\nrt"[at];
  } else if (static_cast<unsigned char>(character) < 0x20) {
    char escape[8];
    (void)std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(character));
    *pJson += escape;
  } else {
    *pJson += character;
  }
}

// A JSON string for the bytes. Valid UTF-8 stands as it is; every byte that is
// not part of valid UTF-8 becomes \udcXX (XX its value), the form Python's
// "surrogateescape" reads back into the same bytes.
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

std::string jsonOrNull(const char* pText) {
  return pText != nullptr ? jsonString(pText) : "null";
}

// A walk's step: true for an item, false past the last; a failure ends the run.
bool walk_step(int code) {
  if (code == VaskCommonError_NoMemory) {
    outOfMemory();
  }
  if (code != VaskCommonError_Success && code != VaskCommonError_NoEntry) {
    throw ToolError(kExitFile, "cannot walk the file: " + codeText(code));
  }
  return code == VaskCommonError_Success;
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

// Each key of the section once, in the order of first appearance, with its last value.
std::vector<std::pair<std::string_view, std::string_view>> lastValues(
    VaskInitializationDocumentHandle_t handle, const char* pSection) {
  std::vector<std::pair<std::string_view, std::string_view>> values;
  std::unordered_map<std::string_view, size_t> positions;
  forEachMember(handle, pSection,
                [&](std::string_view, const VaskInitializationMember_t& member, size_t) {
                  const std::string_view key = member.pKey != nullptr ? member.pKey : "";
                  const auto [found, isNew] = positions.try_emplace(key, values.size());
                  if (isNew) {
                    values.emplace_back(key, valueOf(member));
                  } else {
                    values[found->second].second = valueOf(member);
                  }
                });
  return values;
}

std::string keys_json(VaskInitializationDocumentHandle_t handle, const char* pSection) {
  std::string json;
  for (const auto& [key, value] : lastValues(handle, pSection)) {
    json += (json.empty() ? "{\n    " : ",\n    ") + jsonString(key) + ": " + jsonString(value);
  }
  return json.empty() ? "{}" : json + "\n  }";
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

void forEachMember(VaskInitializationDocumentHandle_t handle, const char* pSection,
                   const MemberVisit& visit) {
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  VaskInitializationMember_t* pMember = nullptr;
  size_t line = 0;
  while (walk_step(
      VaskInitializationDocument_memberNext(handle, pSection, &cursor, &pMember, &line))) {
    visit(cursor.pName, *pMember, line);
  }
}

void forEachSection(VaskInitializationDocumentHandle_t handle,
                    const std::function<void(std::string_view)>& visit) {
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  const char* pName = nullptr;
  while (walk_step(VaskInitializationDocument_sectionNext(handle, &cursor, &pName))) {
    visit(pName);
  }
}

std::string dumpJson(VaskInitializationDocumentHandle_t handle) {
  std::string json;
  forEachSection(handle, [&](std::string_view name) {
    json += (json.empty() ? "{\n  " : ",\n  ") + jsonString(name) + ": " +
            keys_json(handle, std::string(name).c_str());
  });
  return json.empty() ? "{}\n" : json + "\n}\n";
}

std::string dumpJsonQueue(VaskInitializationDocumentHandle_t handle) {
  VaskCommonDQueueHandle_t hQueue = 0;
  (void)VaskInitializationDocument_sections(handle, &hQueue);
  const auto sections = queue_items<const VaskInitializationSection_t>(hQueue);
  if (sections.empty()) {
    return "[]\n";
  }
  std::string json = "[\n";
  for (size_t index = 0; index < sections.size(); ++index) {
    json += (index > 0 ? ",\n" : "") + section_json(*sections[index]);
  }
  return json + "\n]\n";
}

std::string dumpText(VaskInitializationDocumentHandle_t handle, const char* pSection) {
  std::string text;
  forEachMember(
      handle, pSection,
      [&](std::string_view section, const VaskInitializationMember_t& member, size_t) {
        text.append(section).append(".").append(member.pKey != nullptr ? member.pKey : "");
        text.append("=").append(valueOf(member)).append("\n");
      });
  return text;
}

std::string dumpShell(VaskInitializationDocumentHandle_t handle, const char* pSection,
                      std::vector<std::string>* pSkipped) {
  std::string text;
  for (const auto& [key, value] : lastValues(handle, pSection)) {
    if (isShellName(key)) {
      text.append(key).append("=").append(shellQuoted(value)).append("\n");
    } else {
      pSkipped->emplace_back(key);
    }
  }
  return text;
}

}  // namespace vask_ini

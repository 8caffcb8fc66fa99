#include "ini_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace vask_ini {

namespace {

void escape_append(char character, std::string* pText) {
  constexpr std::string_view kEscaped("\t\r\n\0\\", 5);
  const size_t at = kEscaped.find(character);
  const auto byte = static_cast<unsigned char>(character);
  if (at != std::string_view::npos) {
    *pText += '\\';
    *pText += "trn0\\"[at];
  } else if (byte < 0x20 || byte == 0x7f) {
    char hex[8];
    (void)std::snprintf(hex, sizeof hex, "\\x%02x", byte);
    *pText += hex;
  } else {
    *pText += character;
  }
}

// Built by appending: "x" + std::string&& trips a false -Wrestrict in GCC 12 at -O3.
std::string enclosed(char open, std::string_view text, char close) {
  std::string result(1, open);
  result += escaped(text);
  result += close;
  return result;
}

}  // namespace

bool isBlank(char character) {
  return std::isspace(static_cast<unsigned char>(character)) != 0;
}

bool hasNonBlank(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return !isBlank(c); });
}

std::string_view skipBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) {
    text.remove_prefix(1);
  }
  return text;
}

std::string_view trimBlanks(std::string_view text) {
  text = skipBlanks(text);
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::string escaped(std::string_view text, size_t shown) {
  const bool isLong = text.size() > shown;
  std::string result;
  for (char character : text.substr(0, isLong ? shown - 3 : text.size())) {
    escape_append(character, &result);
  }
  if (isLong) {
    result += "...";
  }
  return result;
}

std::string quoted(std::string_view text) {
  return enclosed('\'', text, '\'');
}

std::string bracketed(std::string_view name) {
  return enclosed('[', name, ']');
}

void print(std::string_view text) {
  (void)std::fwrite(text.data(), 1, text.size(), stdout);
}

void warn(std::string_view message) {
  const std::string line = "vask-ini: " + std::string(message) + "\n";
  (void)std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace vask_ini

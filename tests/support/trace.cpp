#include "trace.h"

#include <vask_common_c/common_error.h>

#include <cstdlib>

namespace vask::test {
namespace {

// Replaces the source line number of a trace prefix ("file.cpp:57 ") by '#'.
std::string lineNumberHidden(const std::string& line) {
  const size_t colon = line.find(':');
  size_t end = colon + 1;
  while (colon != std::string::npos && end < line.size() && line[end] >= '0' && line[end] <= '9') {
    ++end;
  }
  if (colon == std::string::npos || end == colon + 1 || end >= line.size() || line[end] != ' ') {
    return line;
  }
  return line.substr(0, colon + 1) + "#" + line.substr(end);
}

}  // namespace

TraceCapture::TraceCapture(VaskCommonTracerLevel_t level)
    : pFile_(std::tmpfile()), previous_(hTracer) {
  if (pFile_ == nullptr || std::setvbuf(pFile_, buffer_, _IOFBF, sizeof(buffer_)) != 0) {
    std::abort();
  }
  const VaskCommonTracerOpenParam_t param{pFile_, level};
  if (VaskCommonTracer_open(&param, &handle_) != 0) {
    std::abort();
  }
  hTracer = handle_;
}

TraceCapture::~TraceCapture() {
  hTracer = previous_;
  (void)VaskCommonTracer_close(&handle_);
  (void)std::fclose(pFile_);
}

std::vector<std::string> TraceCapture::lines() {
  std::fflush(pFile_);
  std::fseek(pFile_, start_, SEEK_SET);
  std::vector<std::string> result;
  std::string line;
  for (int c = std::fgetc(pFile_); c != EOF; c = std::fgetc(pFile_)) {
    if (c == '\n') {
      result.push_back(lineNumberHidden(line));
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty()) {
    result.push_back(line);
  }
  std::fseek(pFile_, 0, SEEK_END);
  return result;
}

void TraceCapture::clear() {
  std::fflush(pFile_);
  std::fseek(pFile_, 0, SEEK_END);
  start_ = std::ftell(pFile_);
}

std::string traceLine(char level, const char* pFile, const char* pFunction, int code) {
  return std::string(1, level) + " " + pFile + ":# " + pFunction + ": " +
         VaskCommonError_text(code) + "(" + std::to_string(code) + ")";
}

}  // namespace vask::test

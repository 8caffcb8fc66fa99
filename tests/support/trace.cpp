#include "trace.h"

#include <vask_common_c/common_error.h>

#include <cstdlib>
#include <regex>
#include <sstream>

vask::test::TraceCapture::TraceCapture(VaskCommonTracerLevel_t level)
    : pFile_(fmemopen(buffer_, sizeof(buffer_), "w")) {
  const VaskCommonTracerOpenParam_t param{pFile_, level};
  if (pFile_ == nullptr || std::setvbuf(pFile_, nullptr, _IONBF, 0) != 0 ||
      VaskCommonTracer_open(&param, &handle_) != 0) {
    std::abort();
  }
  hTracer = handle_;
}

vask::test::TraceCapture::~TraceCapture() {
  hTracer = previous_;
  (void)VaskCommonTracer_close(&handle_);
  (void)std::fclose(pFile_);
}

std::vector<std::string> vask::test::TraceCapture::lines() const {
  std::istringstream in(std::string(buffer_, std::ftell(pFile_)));
  std::vector<std::string> result;
  for (std::string line; std::getline(in, line);) {
    result.push_back(std::regex_replace(line, std::regex("^([^:]*):[0-9]+ "), "$1:# "));
  }
  return result;
}

std::string vask::test::traceLine(char level, const char* pFile, const char* pFunction, int code) {
  return std::string(1, level) + " " + pFile + ":# " + pFunction + ": " +
         VaskCommonError_text(code) + "(" + std::to_string(code) + ")";
}

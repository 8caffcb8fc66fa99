// set_port FILE PORT, in C++: sets server.port in FILE, saving over FILE (only
// that line changes; the file stays locked from the read to the save), then
// loads the file again and prints the port it now holds.
#include <initialization_lookup.hpp>

#include <cstring>
#include <iostream>

namespace {

// Says why FILE failed: a malformed line as FILE:LINE: text.
int failed(const char* pFilename, const vask::Document& document, int result) {
  if (result == VaskCommonError_MalformedLine) {
    std::cerr << pFilename << ':' << document.diagnostic().line << ": "
              << document.diagnostic().aText << '\n';
  } else {
    std::cerr << pFilename << ": " << VaskCommonError_text(result) << " (" << result << ")\n";
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::int64_t port = 0;
  if (argc != 3 ||
      VaskInitializationLookup_parseInteger(argv[2], argv[2] + std::strlen(argv[2]), &port) != 0) {
    std::cerr << "usage: " << argv[0] << " FILE PORT (a number)\n";
    return 2;
  }
  vask::Document document;
  VaskInitializationDocumentOpenParam_t param{};
  param.isLocked = true;
  int result = document.open(argv[1], param);
  result = result != 0 ? result : document.set("server", "port", argv[2]);
  result = result != 0 ? result : document.save();  // over the file it read
  if (result == 0) {
    result = document.load(argv[1]);  // reload; the old document and its lock go first
  }
  if (result == 0) {
    port = document.get("server", "port", port, &result);
  }
  if (result != 0) {
    return failed(argv[1], document, result);
  }
  std::cout << "server.port=" << port << '\n';
  return 0;
}

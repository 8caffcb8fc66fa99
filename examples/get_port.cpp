#include <initialization_lookup.hpp>
#include <iostream>
int main(int, char** argv) {  // prints server.port of the file argv[1], or why it cannot
  const vask::Sections ini(argv[1]);
  std::int64_t port = 0;
  const int code = ini.loadResult() != 0 ? ini.loadResult() : ini.get("server", "port", port);
  (code != 0 ? std::cerr << "port: " << VaskCommonError_text(code) : std::cout << port) << "\n";
  return code != 0;
}

// A daemon reading its settings: prints server.port of the file argv[1], 8080
// when the file has none, or why it cannot.
#include <initialization_lookup.hpp>

#include <iostream>

int main(int argc, char** argv) {
  const vask::Document settings(argc > 1 ? argv[1] : "");
  int code = 0;  // the load's code when the load failed
  const std::int64_t port = settings.get("server", "port", std::int64_t{8080}, &code);
  if (code != 0 && code != VaskCommonError_NoEntry) {  // a missing port is no error
    std::cerr << "server.port: " << VaskCommonError_text(code) << " (" << code << ")\n";
    return 1;
  }
  std::cout << port << '\n';
  return 0;
}

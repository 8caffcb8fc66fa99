// A host program in C++17, built against an installed copy through
// find_package(VaskInitializationLookup): the header-only wrapper over the three
// libraries loads a file and saves it elsewhere; the bytes are checked. Prints
// "ok" on success.
#include <initialization_lookup.hpp>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer_cxx FOLDER\n";
    return 2;
  }
  const std::string input = std::string(argv[1]) + "/in.ini";
  const std::string output = std::string(argv[1]) + "/out.ini";
  const std::string text = "[net]\n\nhosts=a,b,c ; three\n";
  std::ofstream(input, std::ios::binary) << text;
  vask::Sections sections;
  int result = sections.load(input.c_str());
  if (result == 0) {
    result = sections.save(output.c_str());
  }
  std::ostringstream written;
  written << std::ifstream(output, std::ios::binary).rdbuf();
  if (result != 0 || written.str() != text) {
    std::cerr << VaskCommonError_text(result) << '(' << result << "), written '" << written.str()
              << "'\n";
    return 1;
  }
  std::cout << "ok\n";
  return 0;
}

// Lists the settings of the file argv[1], section by section as lookups group
// them (a name that repeats is one section), each with its line.
#include <initialization_lookup.hpp>

#include <iostream>

int main(int argc, char** argv) {
  const vask::Document settings(argc > 1 ? argv[1] : "");
  if (settings.loadResult() != 0) {
    std::cerr << VaskCommonError_text(settings.loadResult()) << " (" << settings.loadResult()
              << ")\n";
    return 1;
  }
  for (const vask::DocumentSection section : settings.sections()) {
    std::cout << '[' << section.name() << "]\n";
    for (const vask::Entry entry : section.members()) {
      std::cout << entry.line << ": " << entry.key() << '=' << entry.value() << '\n';
    }
  }
  return 0;
}

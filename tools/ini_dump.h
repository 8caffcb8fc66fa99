// The whole section queue as text for people and scripts.
#ifndef VASK_TOOLS_INI_DUMP_H
#define VASK_TOOLS_INI_DUMP_H

#include <initialization_lookup.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace vask_ini {

// A JSON string for the bytes. Valid UTF-8 stands as it is; every byte that is
// not part of valid UTF-8 becomes \udcXX (XX its value), the form Python's
// "surrogateescape" reads back into the same bytes.
std::string jsonString(std::string_view bytes);

// An array of sections, each {"comments": [...], "header": "..." or null,
// "members": [{"key": ..., "value": ..., "comment": ... or null}, ...]}.
std::string dumpJson(const vask::Sections& sections);

// One "section.key=value" line per member, in file order; the section is the
// name the member answers to ("" before the first header). With pSection, only
// that section's members.
std::string dumpText(const vask::Sections& sections, const char* pSection);

// "key='value'" lines of the section for a shell's eval, each key once with
// its last value, quoted so that no value can run a command. Keys that are not
// shell names go into *pSkipped instead.
std::string dumpShell(const vask::Sections& sections, const char* pSection,
                      std::vector<std::string>* pSkipped);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_DUMP_H

// Walks of a document, and its members as text for people and scripts.
#ifndef VASK_TOOLS_INI_DUMP_H
#define VASK_TOOLS_INI_DUMP_H

#include <initialization_document.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vask_ini {

// Each member of the logical section pSection (of every section when null), in
// file order, with the name of its logical section and its line.
using MemberVisit =
    std::function<void(std::string_view section, const VaskInitializationMember_t&, size_t line)>;
void forEachMember(VaskInitializationDocumentHandle_t handle, const char* pSection,
                   const MemberVisit& visit);
// Each logical section's name, once, in the order of first appearance.
void forEachSection(VaskInitializationDocumentHandle_t handle,
                    const std::function<void(std::string_view)>& visit);

// A member's value, "" for none.
inline std::string_view valueOf(const VaskInitializationMember_t& member) {
  return member.pValue != nullptr ? member.pValue : "";
}

// An object of the logical sections, each an object of its keys with their
// last value: what get finds.
std::string dumpJson(VaskInitializationDocumentHandle_t handle);

// The reader's queue: an array of sections, each {"comments": [...], "header":
// "..." or null, "members": [{"key": ..., "value": ..., "comment": ... or null}]}.
std::string dumpJsonQueue(VaskInitializationDocumentHandle_t handle);

// One "section.key=value" line per member, in file order, or those of pSection.
std::string dumpText(VaskInitializationDocumentHandle_t handle, const char* pSection);

// "key='value'" lines of the section for a shell's eval, each key once with
// its last value, quoted so that no value can run a command. Keys that are not
// shell names go into *pSkipped instead.
std::string dumpShell(VaskInitializationDocumentHandle_t handle, const char* pSection,
                      std::vector<std::string>* pSkipped);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_DUMP_H

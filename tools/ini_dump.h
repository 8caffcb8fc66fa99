// The whole section queue as text for people and scripts.
#ifndef VASK_TOOLS_INI_DUMP_H
#define VASK_TOOLS_INI_DUMP_H

#include <vask_common_c/common_dqueue.h>

#include <string>
#include <string_view>

namespace vask_ini {

// A JSON string for the bytes. Valid UTF-8 stands as it is; every byte that is
// not part of valid UTF-8 becomes \udcXX (XX its value), the form Python's
// "surrogateescape" reads back into the same bytes.
std::string jsonString(std::string_view bytes);

// An array of sections, each {"comments": [...], "header": "..." or null,
// "members": [{"key": ..., "value": ..., "comment": ... or null}, ...]}.
std::string dumpJson(VaskCommonDQueueHandle_t hQueueSection);

// One "section.key=value" line per member, in file order; the section is the
// name the member answers to ("" before the first header).
std::string dumpText(VaskCommonDQueueHandle_t hQueueSection);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_DUMP_H

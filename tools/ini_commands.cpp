#include "ini_commands.h"

#include "ini_check.h"
#include "ini_dump.h"
#include "ini_error.h"
#include "ini_file.h"
#include "ini_text.h"

#include <algorithm>
#include <unordered_set>

namespace vask_ini {

namespace {

using Diagnostic = VaskInitializationDiagnostic_t;
using Member = VaskInitializationMember_t;

struct Assignment {
  std::string section;
  std::string key;
  std::string value;
};

std::string nearMissAdvice(const std::string& key, std::string_view read) {
  return "the format reads the key " + quoted(read) + " there, with the blank before '=', not " +
         quoted(key) + ": to mean that line, pass the key exactly as \"" + escaped(read) + "\"";
}

// Whether the document has a section of that name (a header line or a member).
bool hasSection(VaskInitializationDocumentHandle_t handle, const std::string& section) {
  VaskCommonDQueueHandle_t hQueue = 0;
  (void)VaskInitializationDocument_sections(handle, &hQueue);
  return VaskInitializationLookup_hasSection(hQueue, section.c_str()) == 0;
}

// "NAME: no section [S]" or "NAME: no key 'K' in section [S]", with advice
// when the section holds the key only with blanks before its '=' (nearMiss:
// the key as read).
std::string notFoundMessage(const std::string& name, const std::string& section,
                            const std::string& key, bool isSectionThere,
                            std::string_view nearMiss = {}) {
  if (!isSectionThere) {
    return name + ": no section " + bracketed(section);
  }
  std::string message = name + ": no key " + quoted(key) + " in section " + bracketed(section);
  return nearMiss.empty() ? message : message + "; " + nearMissAdvice(key, nearMiss);
}

EditTarget target_of(const Invocation& call, bool mayCreate) {
  return {call.arguments[0], call.output, call.maxSize, mayCreate, call.has("--verbose")};
}

// Why get finds nothing: no section, no key, or the key only with blanks before its '='.
std::string missing_describe(VaskInitializationDocumentHandle_t handle, const std::string& name,
                             const std::string& section, const std::string& key) {
  Member* pMember = nullptr;
  const int found =
      VaskInitializationDocument_find(handle, section.c_str(), key.c_str(), &pMember, nullptr);
  return notFoundMessage(name, section, key, hasSection(handle, section),
                         found == VaskCommonError_NearMiss ? pMember->pKey : "");
}

std::string sectionName_why(const std::string& section) {
  if (section.find_first_of("]\n") != std::string::npos) {
    return "the section name " + quoted(section) + " holds ']', a line feed or a zero byte";
  }
  return {};
}

std::string value_why(const std::string& value) {
  if (value.find('\n') != std::string::npos) {
    return "the value " + quoted(value) + " holds a line feed or zero byte";
  }
  for (char character : value) {
    if (isBlank(character)) {
      return "the value " + quoted(value) + " holds a blank, where reading ends a value";
    }
    if (character == '#' || character == ';') {
      return "the value " + quoted(value) + " holds '" + character + "', which starts a comment";
    }
  }
  return {};
}

std::string key_why(const std::string& key) {
  if (key.empty()) {
    return "a key cannot be empty: a line that starts with '=' has no value";
  }
  if (key.find_first_of("=\n") != std::string::npos) {
    return "the key " + quoted(key) + " holds '=', a line feed or a zero byte";
  }
  if (isBlank(key.front())) {
    return "the key " + quoted(key) + " starts with a blank, which reading skips";
  }
  if (key.front() == '#' || key.front() == ';' || key.front() == '[') {
    return "the key " + quoted(key) + " starts with '" + key.front() +
           "', which makes the line a comment or a header";
  }
  return {};
}

// Why the library refused (13) an edit of these inputs, in the tool's words.
[[noreturn]] void refusal_explain(const std::string& name, const Assignment& assignment,
                                  bool isSet) {
  std::string why = isSet ? value_why(assignment.value) : "";
  why = why.empty() ? key_why(assignment.key) : why;
  why = why.empty() ? sectionName_why(assignment.section) : why;
  if (why.empty()) {
    why = "the result would not read as the key " + quoted(assignment.key) + " with the value " +
          quoted(assignment.value);
  }
  refuse(name, why);
}

// A code of an edit that is no answer about the file: exit 4.
void edit_require(const std::string& name, int code) {
  if (code == VaskCommonError_NoMemory) {
    outOfMemory();
  }
  if (code != VaskCommonError_Success) {
    throw ToolError(kExitFile, name + ": cannot edit the file: " + codeText(code));
  }
}

// The headers that the next header replaces before any member.
std::vector<Diagnostic> replaced_find(VaskInitializationDocumentHandle_t handle) {
  std::vector<Diagnostic> found;
  Diagnostic finding{};
  int code = 0;
  for (size_t index = 0; (code = VaskInitializationDocument_check(handle, index, &finding)) == 0;
       ++index) {
    if (finding.code == VaskInitializationCheck_HeaderReplaced) {
      found.push_back(finding);
    }
  }
  if (code == VaskCommonError_NoMemory) {
    outOfMemory();
  }
  return found;
}

// Warns about each header that the edit left to be replaced by the next one.
void replaced_warn(const std::string& name, VaskInitializationDocumentHandle_t handle,
                   std::vector<Diagnostic> before, bool isDelete, Warnings* pWarnings) {
  const std::string_view text = documentText(handle);
  for (const Diagnostic& finding : replaced_find(handle)) {
    const auto old = std::find_if(before.begin(), before.end(), [&](const Diagnostic& each) {
      return std::string_view(each.aText) == finding.aText;
    });
    if (old != before.end()) {
      before.erase(old);
      continue;
    }
    std::string warning = name + ":" + std::to_string(finding.line) +
                          ": warning: " + bracketed(headerName(finding.aText)) +
                          (isDelete ? " is left without keys" : " has no keys") +
                          ", and a header without keys reads as replaced by the next one, " +
                          bracketed(headerName(lineOf(text, finding.otherLine)));
    if (isDelete) {
      warning += " on line " + std::to_string(finding.otherLine);
    }
    pWarnings->push_back(std::move(warning));
  }
}

// Sets one key: refusals and misses as applySets says; a CR that the line's
// end adds to the value is warned about.
void set_one(const std::string& name, VaskInitializationDocumentHandle_t handle,
             const Assignment& assignment, bool isExistingOnly, Warnings* pWarnings) {
  const char* pSection = assignment.section.c_str();
  const char* pKey = assignment.key.c_str();
  VaskInitializationMember_t* pMember = nullptr;
  if (isExistingOnly && VaskInitializationDocument_find(handle, pSection, pKey, &pMember,
                                                        nullptr) == VaskCommonError_NoEntry) {
    throw ToolError(kExitFailure,
                    missing_describe(handle, name, assignment.section, assignment.key));
  }
  const int code = VaskInitializationDocument_set(handle, pSection, pKey, assignment.value.c_str());
  if (code == VaskCommonError_InvalidArgument) {
    refusal_explain(name, assignment, true);
  }
  if (code == VaskCommonError_NearMiss) {
    (void)VaskInitializationDocument_find(handle, pSection, pKey, &pMember, nullptr);
    refuse(name, "there is no key " + quoted(assignment.key) + " in section " +
                     bracketed(assignment.section) + ", and " +
                     nearMissAdvice(assignment.key, pMember->pKey));
  }
  edit_require(name, code);
  edit_require(name, VaskInitializationDocument_find(handle, pSection, pKey, &pMember, nullptr));
  if (pMember->pValue != nullptr && pMember->pValue == assignment.value + "\r") {
    pWarnings->push_back(name + ": warning: " + bracketed(assignment.section) + " " +
                         escaped(assignment.key) + " reads as " + quoted(pMember->pValue) +
                         ": in a line that ends in CR LF the format keeps the CR in the value");
  }
}

// Sets each assignment in order (a later one of the same key wins). A refusal
// gives exit 2 with the reason, as does a key that the section holds only
// with blanks before its '='; with isExistingOnly a missing key gives exit 1.
void applySets(const std::string& name, VaskInitializationDocumentHandle_t handle,
               const std::vector<Assignment>& assignments, bool isExistingOnly,
               Warnings* pWarnings) {
  // Only a new section can leave a header without keys before it.
  std::unordered_set<std::string> sections;
  forEachSection(handle, [&](std::string_view name) { sections.emplace(name); });
  bool isNewSection = false;
  for (const Assignment& assignment : assignments) {
    isNewSection = isNewSection || !sections.contains(assignment.section);
  }
  std::vector<Diagnostic> before = isNewSection ? replaced_find(handle) : std::vector<Diagnostic>();
  for (const Assignment& assignment : assignments) {
    set_one(name, handle, assignment, isExistingOnly, pWarnings);
  }
  if (isNewSection) {
    replaced_warn(name, handle, std::move(before), false, pWarnings);
  }
}

// Removes every line of the key in the section (exit 1 when there is none).
void applyDeleteKey(const std::string& name, VaskInitializationDocumentHandle_t handle,
                    const std::string& section, const std::string& key, Warnings* pWarnings) {
  std::vector<Diagnostic> before = replaced_find(handle);
  const int code = VaskInitializationDocument_remove(handle, section.c_str(), key.c_str(), nullptr);
  if (code == VaskCommonError_InvalidArgument) {
    refusal_explain(name, {section, key, ""}, false);
  }
  if (code == VaskCommonError_NoEntry || code == VaskCommonError_NearMiss) {
    throw ToolError(kExitFailure, missing_describe(handle, name, section, key));
  }
  edit_require(name, code);
  replaced_warn(name, handle, std::move(before), true, pWarnings);
}

// Removes every section of the name (exit 1 when there is none).
void applyDeleteSection(const std::string& name, VaskInitializationDocumentHandle_t handle,
                        const std::string& section) {
  const int code = VaskInitializationDocument_removeSection(handle, section.c_str());
  if (code == VaskCommonError_InvalidArgument) {
    refuse(name, sectionName_why(section));
  }
  if (code == VaskCommonError_NoEntry) {
    throw ToolError(kExitFailure, name + ": no section " + bracketed(section));
  }
  edit_require(name, code);
}

// The document's text in the writer's layout; a byte order mark stays in front.
std::string formatted(VaskInitializationDocumentHandle_t handle) {
  std::string_view text = documentText(handle);
  const std::string_view mark = text.starts_with("\xef\xbb\xbf") ? text.substr(0, 3) : "";
  text.remove_prefix(mark.size());
  vask::Sections sections;
  vask::Buffer layout;
  int code = sections.parse(text.data(), text.size());  // a zero byte follows the text
  if (code == VaskCommonError_Success) {
    code = sections.serialize(&layout);
  }
  if (code == VaskCommonError_NoMemory || code == VaskCommonError_InvalidArgument) {
    outOfMemory();  // the text loaded as a document: only an allocation can fail
  }
  if (code != VaskCommonError_Success) {
    throw ToolError(kExitFile, "cannot write the sections out: " + codeText(code));
  }
  return std::string(mark).append(layout.view());
}

// fmt's rewrite: refused while lines lose text, unless --force.
std::string fmt_rewrite(const std::string& name, VaskInitializationDocumentHandle_t handle,
                        bool isForced) {
  size_t losing = 0;
  for (const LineReport& report :
       isForced ? std::vector<LineReport>() : checkReports(documentText(handle))) {
    if (report.isLosing) {
      warn(name + ":" + std::to_string(report.line) + ": warning: " + report.text);
      ++losing;
    }
  }
  if (losing > 0) {
    refuse(name, std::to_string(losing) + (losing == 1 ? " line loses" : " lines lose") +
                     " text in the writer's layout (listed above; --force rewrites anyway)");
  }
  return formatted(handle);
}

}  // namespace

int command_get(const Invocation& call) {
  const std::string& section = call.arguments[1];
  const std::string& key = call.arguments[2];
  const std::string name = displayName(call.arguments[0]);
  const Document document = loadDocument(call.arguments[0], call.maxSize);
  const bool isAll = call.has("--all");
  std::string values;
  std::vector<MemberLine> lines;
  forEachMember(document.get(), section.c_str(),
                [&](std::string_view, const Member& member, size_t line) {
                  if (key == member.pKey) {
                    values.erase(isAll ? values.size() : 0).append(valueOf(member)).append("\n");
                    lines.resize(isAll ? lines.size() : 0);
                    lines.emplace_back(line, &member);
                  }
                });
  if (values.empty()) {
    throw ToolError(kExitFailure, missing_describe(document.get(), name, section, key));
  }
  print(values);
  const std::vector<LineReport> reports = valueReports(document.get(), lines);
  for (const LineReport& report : reports) {
    warn(name + ":" + std::to_string(report.line) + ": warning: " + report.text);
  }
  return !reports.empty() && call.has("--strict") ? kExitWarnings : kExitSuccess;
}

int command_set(const Invocation& call) {
  const bool isExistingOnly = call.has("--existing");
  const std::vector<Assignment> assignments = {
      {call.arguments[1], call.arguments[2], call.arguments[3]}};
  const std::string name = displayName(call.arguments[0]);
  editDocument(target_of(call, !isExistingOnly),
               [&](VaskInitializationDocumentHandle_t handle, Warnings* pWarnings) {
                 applySets(name, handle, assignments, isExistingOnly, pWarnings);
               });
  return kExitSuccess;
}

int command_del(const Invocation& call) {
  const std::string name = displayName(call.arguments[0]);
  const std::string& section = call.arguments[1];
  editDocument(target_of(call, false),
               [&](VaskInitializationDocumentHandle_t handle, Warnings* pWarnings) {
                 if (call.arguments.size() > 2) {
                   applyDeleteKey(name, handle, section, call.arguments[2], pWarnings);
                 } else {
                   applyDeleteSection(name, handle, section);
                 }
               });
  return kExitSuccess;
}

int command_merge(const Invocation& call) {
  std::vector<Assignment> assignments;
  {
    const Document other = loadDocument(call.arguments[1], call.maxSize);
    forEachMember(other.get(), nullptr,
                  [&](std::string_view section, const Member& member, size_t) {
                    std::string_view value = valueOf(member);
                    if (value.ends_with('\r')) {
                      value.remove_suffix(1);  // left by a CR LF line end, not part of the value
                    }
                    assignments.push_back({std::string(section), member.pKey, std::string(value)});
                  });
  }
  const std::string name = displayName(call.arguments[0]);
  editDocument(target_of(call, false),
               [&](VaskInitializationDocumentHandle_t handle, Warnings* pWarnings) {
                 applySets(name, handle, assignments, false, pWarnings);
               });
  return kExitSuccess;
}

int command_list(const Invocation& call) {
  const Document document = loadDocument(call.arguments[0], call.maxSize);
  std::string text;
  if (call.arguments.size() == 1) {
    forEachSection(document.get(), [&](std::string_view name) { text.append(name).append("\n"); });
    print(text);
    return kExitSuccess;
  }
  const std::string& section = call.arguments[1];
  if (!hasSection(document.get(), section)) {
    throw ToolError(kExitFailure,
                    displayName(call.arguments[0]) + ": no section " + bracketed(section));
  }
  std::unordered_set<std::string_view> seen;
  forEachMember(document.get(), section.c_str(),
                [&](std::string_view, const Member& member, size_t) {
                  if (seen.insert(member.pKey).second) {
                    text.append(member.pKey).append("\n");
                  }
                });
  print(text);
  return kExitSuccess;
}

int command_dump(const Invocation& call) {
  const bool isShell = call.has("--format=sh");
  const bool isJson = call.has("--json") || call.has("--json-queue");
  if (isJson &&
      (isShell || call.arguments.size() > 1 || (call.has("--json") && call.has("--json-queue")))) {
    throw ToolError(kExitRefused,
                    "--json and --json-queue dump the whole file: they take no SECTION, no "
                    "--format and not each other (see vask-ini dump --help)");
  }
  if (isShell && call.arguments.size() < 2) {
    throw ToolError(kExitRefused, "--format=sh needs a SECTION (see vask-ini dump --help)");
  }
  const std::string name = displayName(call.arguments[0]);
  const Document document = loadDocument(call.arguments[0], call.maxSize);
  if (isJson) {
    print(call.has("--json") ? dumpJson(document.get()) : dumpJsonQueue(document.get()));
    return kExitSuccess;
  }
  const char* pSection = call.arguments.size() > 1 ? call.arguments[1].c_str() : nullptr;
  if (pSection != nullptr && !hasSection(document.get(), pSection)) {
    throw ToolError(kExitFailure, name + ": no section " + bracketed(pSection));
  }
  if (!isShell) {
    print(dumpText(document.get(), pSection));
    return kExitSuccess;
  }
  std::vector<std::string> skipped;
  print(dumpShell(document.get(), pSection, &skipped));
  if (!skipped.empty()) {
    std::string names;
    for (const std::string& key : skipped) {
      names += (names.empty() ? "" : ", ") + quoted(key);
    }
    warn(name + ": warning: left out, as they are not shell names: " + names);
  }
  return kExitSuccess;
}

int command_fmt(const Invocation& call) {
  const std::string name = displayName(call.arguments[0]);
  if (call.has("--check")) {
    const Document document = loadDocument(call.arguments[0], call.maxSize);
    const bool isFormatted = formatted(document.get()) == documentText(document.get());
    print(name + (isFormatted ? ": already formatted\n" : ": would be reformatted\n"));
    return isFormatted ? kExitSuccess : kExitFailure;
  }
  const bool isForced = call.has("--force");
  editText(target_of(call, false), [&](VaskInitializationDocumentHandle_t handle) {
    return fmt_rewrite(name, handle, isForced);
  });
  return kExitSuccess;
}

int command_check(const Invocation& call) {
  const std::string name = displayName(call.arguments[0]);
  const vask::Buffer bytes = readInput(call.arguments[0], call.maxSize);
  bool hasError = false;
  bool hasWarning = false;
  std::string text;
  for (const LineReport& report : checkReports(bytes.view())) {
    text += name + ":" + std::to_string(report.line) +
            (report.isError ? ": error: " : ": warning: ") + report.text + "\n";
    hasError = hasError || report.isError;
    hasWarning = hasWarning || !report.isError;
  }
  print(text);
  if (hasError) {
    return kExitFailure;
  }
  return hasWarning && call.has("--strict") ? kExitWarnings : kExitSuccess;
}

}  // namespace vask_ini

#include "ini_commands.h"

#include "ini_check.h"
#include "ini_dump.h"
#include "ini_edit.h"
#include "ini_error.h"
#include "ini_file.h"
#include "ini_scan.h"
#include "ini_text.h"
#include "ini_view.h"

#include <initialization_lookup.hpp>

#include <unordered_set>

namespace vask_ini {

namespace {

// Reads FILE (locked, when it is changed in place), applies the edit, reads
// the result back through the library and writes it.
int edit_run(const Invocation& call, const EditRequest& request, bool mayCreate,
             const ResultCheck& check) {
  EditFile file(call.arguments[0], {mayCreate, call.output});
  EditResult result = applyEdit(file.name(), file.text(), request);
  file.releaseText();
  if (result.isChanged) {
    requireView(file.name(), result.text, std::move(result.expected), check);
  }
  file.write(result.text, result.isChanged);
  for (const std::string& warning : result.warnings) {
    warn(warning);
  }
  if (call.has("--verbose")) {
    warn(file.name() + (result.isChanged ? ": changed" : ": unchanged"));
  }
  return kExitSuccess;
}

// Why get finds nothing: no section, no key, or the key only with blanks before its '='.
std::string missing_describe(const vask::Sections& sections, const std::string& name,
                             const std::string& section, const std::string& key) {
  VaskInitializationMember_t* pMember = nullptr;
  const int found =
      VaskInitializationLookup_find(sections.handle(), section.c_str(), key.c_str(), &pMember);
  const bool isThere = VaskInitializationLookup_hasSection(sections.handle(), section.c_str()) == 0;
  return notFoundMessage(name, section, key, isThere,
                         found == VaskCommonError_NearMiss ? pMember->pKey : "");
}

// Warns about the line each printed value comes from when it reads differently
// from its text; true when one does.
bool lossyLines_warn(const Input& input, const std::string& section, const std::string& key,
                     bool isAll) {
  std::vector<ScanLine> lines;
  LineScanner scanner(input.text);
  ScanLine line;
  while (scanner.next(&line)) {
    if (line.kind == LineKind::Member && line.section == section && line.key == key) {
      if (!isAll) {
        lines.clear();
      }
      lines.push_back(line);
    }
  }
  bool isLossy = false;
  for (const ScanLine& each : lines) {
    const std::string_view text(input.text);
    if (const auto loss = memberLoss(text.substr(each.begin, each.contentEnd - each.begin))) {
      warn(input.name + ":" + std::to_string(each.number) + ": warning: " + *loss);
      isLossy = true;
    }
  }
  return isLossy;
}

std::string_view valueOf(const VaskInitializationMember_t* pMember) {
  return pMember->pValue != nullptr ? pMember->pValue : "";
}

}  // namespace

int command_get(const Invocation& call) {
  const std::string& section = call.arguments[1];
  const std::string& key = call.arguments[2];
  const Input input = readInput(call.arguments[0]);
  const vask::Sections sections = loadText(input.name, input.text);
  std::string values;
  if (call.has("--all")) {
    for (const vask::Entry entry : vask::MemberRange(sections.handle(), section.c_str())) {
      if (entry.key() == key) {
        values.append(entry.value()).append("\n");
      }
    }
  } else {
    VaskInitializationMember_t* pMember = nullptr;
    if (VaskInitializationLookup_find(sections.handle(), section.c_str(), key.c_str(), &pMember) ==
        VaskCommonError_Success) {
      values.append(valueOf(pMember)).append("\n");
    }
  }
  if (values.empty()) {
    throw ToolError(kExitFailure, missing_describe(sections, input.name, section, key));
  }
  print(values);
  const bool isLossy = lossyLines_warn(input, section, key, call.has("--all"));
  return isLossy && call.has("--strict") ? kExitWarnings : kExitSuccess;
}

int command_set(const Invocation& call) {
  EditRequest request;
  request.assignments.push_back({call.arguments[1], call.arguments[2], call.arguments[3]});
  request.isExistingOnly = call.has("--existing");
  const Assignment& wanted = request.assignments.front();
  requireWritable(displayName(call.arguments[0]), wanted);
  // The library's lookup must find the value just where the edit put it.
  const ResultCheck check = [&wanted](const vask::Sections& sections) -> std::string {
    const std::optional<std::string_view> value =
        sections.find(wanted.section.c_str(), wanted.key.c_str());
    return value && (*value == wanted.value || *value == wanted.value + "\r")
               ? ""
               : "the library's lookup would not find the value set";
  };
  return edit_run(call, request, !request.isExistingOnly, check);
}

int command_del(const Invocation& call) {
  EditRequest request;
  request.section = call.arguments[1];
  const std::string name = displayName(call.arguments[0]);
  requireSectionName(name, request.section);
  if (call.arguments.size() > 2) {
    request.kind = EditKind::DeleteKey;
    request.key = call.arguments[2];
    requireWritable(name, {request.section, request.key, ""});
  } else {
    request.kind = EditKind::DeleteSection;
  }
  const ResultCheck check = [&request](const vask::Sections& sections) -> std::string {
    const bool isGone =
        request.kind == EditKind::DeleteKey
            ? !sections.find(request.section.c_str(), request.key.c_str())
            : VaskInitializationLookup_hasSection(sections.handle(), request.section.c_str()) != 0;
    return isGone ? "" : "the library's lookup would still find what was removed";
  };
  return edit_run(call, request, false, check);
}

int command_merge(const Invocation& call) {
  const Input other = readInput(call.arguments[1]);
  EditRequest request;
  {
    const vask::Sections sections = loadText(other.name, other.text);
    for (const vask::Entry entry : sections.members()) {
      std::string_view value = entry.value();
      if (value.ends_with('\r')) {
        value.remove_suffix(1);  // left by a CR LF line end, not part of the value
      }
      request.assignments.push_back(
          {std::string(entry.section), std::string(entry.key()), std::string(value)});
    }
  }
  for (const Assignment& assignment : request.assignments) {
    requireWritable(displayName(call.arguments[0]), assignment);
  }
  return edit_run(call, request, false, {});
}

int command_list(const Invocation& call) {
  const Input input = readInput(call.arguments[0]);
  const vask::Sections sections = loadText(input.name, input.text);
  std::string text;
  if (call.arguments.size() == 1) {
    for (const vask::LogicalSection section : sections.sections()) {
      text.append(section.name()).append("\n");
    }
    print(text);
    return kExitSuccess;
  }
  const std::string& section = call.arguments[1];
  if (VaskInitializationLookup_hasSection(sections.handle(), section.c_str()) != 0) {
    throw ToolError(kExitFailure, input.name + ": no section " + bracketed(section));
  }
  std::unordered_set<std::string_view> seen;
  for (const vask::Entry entry : vask::MemberRange(sections.handle(), section.c_str())) {
    if (seen.insert(entry.key()).second) {
      text.append(entry.key()).append("\n");
    }
  }
  print(text);
  return kExitSuccess;
}

int command_dump(const Invocation& call) {
  const Input input = readInput(call.arguments[0]);
  const vask::Sections sections = loadText(input.name, input.text);
  const bool isShell = call.has("--format=sh");
  if (call.has("--json") && (isShell || call.arguments.size() > 1)) {
    throw ToolError(kExitRefused,
                    "--json dumps the whole file: it takes no SECTION and no "
                    "--format (see vask-ini dump --help)");
  }
  if (isShell && call.arguments.size() < 2) {
    throw ToolError(kExitRefused, "--format=sh needs a SECTION (see vask-ini dump --help)");
  }
  if (call.has("--json")) {
    print(dumpJson(sections));
    return kExitSuccess;
  }
  const char* pSection = call.arguments.size() > 1 ? call.arguments[1].c_str() : nullptr;
  if (pSection != nullptr &&
      VaskInitializationLookup_hasSection(sections.handle(), pSection) != 0) {
    throw ToolError(kExitFailure, input.name + ": no section " + bracketed(pSection));
  }
  if (!isShell) {
    print(dumpText(sections, pSection));
    return kExitSuccess;
  }
  std::vector<std::string> skipped;
  print(dumpShell(sections, pSection, &skipped));
  if (!skipped.empty()) {
    std::string names;
    for (const std::string& key : skipped) {
      names += (names.empty() ? "" : ", ") + quoted(key);
    }
    warn(input.name + ": warning: left out, as they are not shell names: " + names);
  }
  return kExitSuccess;
}

int command_fmt(const Invocation& call) {
  if (call.has("--check")) {
    const Input input = readInput(call.arguments[0]);
    vask::Buffer formatted;
    const int result = loadText(input.name, input.text).serialize(&formatted);
    if (result != VaskCommonError_Success) {
      throw ToolError(kExitFailure,
                      input.name + ": cannot write the sections out: " + codeText(result));
    }
    const bool isFormatted = formatted.view() == input.text;
    print(input.name + (isFormatted ? ": already formatted\n" : ": would be reformatted\n"));
    return isFormatted ? kExitSuccess : kExitFailure;
  }
  EditFile file(call.arguments[0], {false, call.output});
  vask::Buffer formatted;
  MemberView view;
  {
    const vask::Sections sections = loadText(file.name(), file.text());
    if (!call.has("--force")) {
      size_t lossy = 0;
      for (const Finding& finding : checkText(file.text())) {
        if (finding.isDropping) {
          warn(file.name() + ":" + std::to_string(finding.line) + ": warning: " + finding.message);
          ++lossy;
        }
      }
      if (lossy > 0) {
        refuse(file.name(), std::to_string(lossy) + (lossy == 1 ? " line loses" : " lines lose") +
                                " text in the writer's layout (listed above; --force rewrites "
                                "anyway)");
      }
    }
    const int result = sections.serialize(&formatted);
    if (result != VaskCommonError_Success) {
      throw ToolError(kExitFailure,
                      file.name() + ": cannot write the sections out: " + codeText(result));
    }
    view = scanView(file.text());
  }
  const std::string text(formatted.view());
  const bool isChanged = text != file.text();
  file.releaseText();
  if (isChanged) {
    requireView(file.name(), text, ExpectedView(std::move(view), {}));
  }
  file.write(text, isChanged);
  if (call.has("--verbose")) {
    warn(file.name() + (isChanged ? ": changed" : ": unchanged"));
  }
  return kExitSuccess;
}

int command_check(const Invocation& call) {
  const Input input = readInput(call.arguments[0]);
  bool hasError = false;
  bool hasWarning = false;
  for (const Finding& finding : checkText(input.text)) {
    print(input.name + ":" + std::to_string(finding.line) +
          (finding.isError ? ": error: " : ": warning: ") + finding.message + "\n");
    hasError = hasError || finding.isError;
    hasWarning = hasWarning || !finding.isError;
  }
  if (!hasError) {
    // The load must agree: a failure that no single line explains is still one.
    vask::Sections sections;
    const int result = sections.parse(input.text);
    if (result != VaskCommonError_Success) {
      print(input.name + ": error: the file does not load: " + codeText(result) + "\n");
      hasError = true;
    }
  }
  if (hasError) {
    return kExitFailure;
  }
  return hasWarning && call.has("--strict") ? kExitWarnings : kExitSuccess;
}

}  // namespace vask_ini

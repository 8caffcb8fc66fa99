#include "ini_edit.h"

#include "ini_error.h"
#include "ini_scan.h"
#include "ini_text.h"
#include "ini_view.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <unordered_map>

namespace vask_ini {

namespace {

// Bytes [begin, end) of the old text give way to `bytes`; begin == end inserts.
struct Splice {
  size_t begin;
  size_t end;
  std::string bytes;
};

// Where new lines go: at byte `offset`, after `position` members.
struct Spot {
  size_t offset;
  size_t position;
};

struct Plan {
  MemberView view;  // the old text's, from the scan
  std::vector<Splice> splices;
  std::vector<ViewChange> changes;
  std::vector<std::string> warnings;
};

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
template <typename Value_t>
using TextMap = std::unordered_map<std::string, Value_t, TextHash, std::equal_to<>>;

std::string_view trimTrailingBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// The key with blanks after it, as in "port = 80", is a near miss of the key.
bool key_isBlankVariant(std::string_view read, std::string_view key) {
  return read.size() > key.size() && isBlank(read.back()) && trimTrailingBlanks(read) == key;
}

std::string nearMissAdvice(const std::string& key, std::string_view read) {
  return "the format reads the key " + quoted(read) + " there, with the blank before '=', not " +
         quoted(key) + ": to mean that line, pass the key exactly as \"" + escaped(read) + "\"";
}

// The end that a line inserted at `offset` (where a line starts, or the end
// of the text) takes: that of the line before it; at the very start, that of
// the first line; after a last line without LF, a LF (which that line gets too).
std::string_view ending_before(std::string_view text, size_t offset) {
  if (offset == 0) {
    const size_t lineFeed = text.find('\n');
    return lineFeed != std::string_view::npos && lineFeed > 0 && text[lineFeed - 1] == '\r' ? "\r\n"
                                                                                            : "\n";
  }
  return text[offset - 1] == '\n' && offset >= 2 && text[offset - 2] == '\r' ? "\r\n" : "\n";
}

// Scans the old text once: every member's hash goes into the plan's view, and
// every line to the planner; the text must load.
template <typename Planner_t>
void plan_scan(const std::string& name, std::string_view text, Planner_t* pPlanner, Plan* pPlan) {
  // Sized once: a view grown step by step would leave large freed blocks in
  // the heap, and the release of the parse that follows, freeing next to
  // them, would spend a fifth of the edit merging free blocks.
  pPlan->view.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  LineScanner scanner(text);
  ScanLine line;
  std::string_view section;  // the members of a section share the hash of its name
  uint64_t sectionName = sectionHash(section);
  while (scanner.next(&line)) {
    if (line.kind == LineKind::Invalid) {
      throw ToolError(kExitFailure, loadFailure(name, text, VaskCommonError_InvalidArgument));
    }
    if (line.kind == LineKind::Member) {
      if (line.section.data() != section.data() || line.section.size() != section.size()) {
        section = line.section;
        sectionName = sectionHash(section);
      }
      pPlan->view.push_back(
          memberHash(sectionName, line.key, line.value, line.hasComment(), line.comment));
    }
    pPlanner->take(line);
  }
  pPlanner->finish(scanner.members());
}

std::string splices_apply(std::string_view text, std::vector<Splice>* pSplices) {
  std::stable_sort(pSplices->begin(), pSplices->end(),
                   [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
  size_t size = text.size() + 1;
  for (const Splice& splice : *pSplices) {
    size += splice.bytes.size() - (splice.end - splice.begin);
  }
  std::string result;
  result.reserve(size);
  size_t at = 0;
  bool isTerminated = text.empty() || text.back() == '\n';
  for (const Splice& splice : *pSplices) {
    result.append(text.substr(at, splice.begin - at));
    if (splice.begin == text.size() && !isTerminated) {
      result += '\n';  // the last line gets its LF before lines go after it
      isTerminated = true;
    }
    result += splice.bytes;
    at = splice.end;
  }
  result.append(text.substr(at));
  return result;
}

// --- set --------------------------------------------------------------------

struct Target {
  Assignment assignment;
  std::optional<ScanLine> match;  // the last line of the key
  std::string nearMiss;           // the key read with blanks after it, if any
};

struct SectionState {
  bool isThere = false;
  Spot spot{};  // after its last member, or after its header when it has none
};

class SetPlanner {
 public:
  SetPlanner(std::string name, std::string_view text, const EditRequest& request, Plan* pPlan)
      : name_(std::move(name)), text_(text), request_(request), plan_(*pPlan) {
    for (const Assignment& assignment : request.assignments) {
      auto [found, isNew] =
          targetOf_.try_emplace(assignment.section + '\n' + assignment.key, targets_.size());
      if (isNew) {
        targets_.push_back({assignment, std::nullopt, {}});
        byKey_[assignment.key].push_back(found->second);
        (void)sections_.try_emplace(assignment.section);
      } else {
        targets_[found->second].assignment.value = assignment.value;
      }
    }
  }

  void take(const ScanLine& line) {
    if (line.kind == LineKind::Header) {
      pendingHeader_ = line;
      if (!firstHeader_) {
        firstHeader_ = Spot{line.begin, line.member};
      }
      return;
    }
    if (line.kind != LineKind::Member) {
      return;
    }
    pendingHeader_.reset();
    // Members of one header share the view of its name: look the name up once.
    if (!isCached_ || line.section.data() != cachedName_.data() ||
        line.section.size() != cachedName_.size()) {
      isCached_ = true;
      cachedName_ = line.section;
      const auto found = sections_.find(line.section);
      pCached_ = found != sections_.end() ? &found->second : nullptr;
    }
    if (pCached_ != nullptr) {
      *pCached_ = {true, {line.end, line.member + 1}};
      match(line);
    }
  }

  void finish(size_t members) {
    members_ = members;
    if (pendingHeader_) {  // a header without members ends the text: its section is there
      if (const auto found = sections_.find(pendingHeader_->section); found != sections_.end()) {
        found->second = {true, {pendingHeader_->end, pendingHeader_->member}};
      }
    }
    for (Target& target : targets_) {
      place(target);
    }
    if (pendingHeader_ && !newSections_.empty() &&
        sections_.find(pendingHeader_->section) == sections_.end()) {
      plan_.warnings.push_back(name_ + ":" + std::to_string(pendingHeader_->number) +
                               ": warning: " + bracketed(pendingHeader_->section) +
                               " has no keys, and a header without keys reads as replaced by "
                               "the next one, " +
                               bracketed(newSections_.front().first));
    }
    for (const auto& [section, lines] : newSections_) {
      const std::string_view ending = ending_before(text_, text_.size());
      std::string bytes = "[" + section + "]" + std::string(ending);
      for (const Assignment& assignment : lines) {
        bytes += memberLine(assignment, {text_.size(), members_}, ending);
      }
      plan_.splices.push_back({text_.size(), text_.size(), std::move(bytes)});
    }
  }

 private:
  void match(const ScanLine& line) {
    if (const auto found = byKey_.find(line.key); found != byKey_.end()) {
      for (size_t index : found->second) {
        if (targets_[index].assignment.section == line.section) {
          targets_[index].match = line;
        }
      }
    }
    if (!line.key.empty() && isBlank(line.key.back())) {
      if (const auto found = byKey_.find(trimTrailingBlanks(line.key)); found != byKey_.end()) {
        for (size_t index : found->second) {
          if (targets_[index].assignment.section == line.section) {
            targets_[index].nearMiss = line.key;
          }
        }
      }
    }
  }

  void place(Target& target) {
    const Assignment& assignment = target.assignment;
    if (target.match) {
      replace(*target.match, assignment);
      return;
    }
    const SectionState& state = sections_.at(assignment.section);
    if (!target.nearMiss.empty()) {
      refuse(name_, "there is no key " + quoted(assignment.key) + " in section " +
                        bracketed(assignment.section) + ", and " +
                        nearMissAdvice(assignment.key, target.nearMiss));
    }
    if (request_.isExistingOnly) {
      throw ToolError(kExitFailure,
                      notFoundMessage(name_, assignment.section, assignment.key, state.isThere));
    }
    Spot spot{text_.size(), members_};
    if (state.isThere) {
      spot = state.spot;
    } else if (assignment.section.empty() && firstHeader_) {
      spot = *firstHeader_;  // the members before the first header
    } else if (!assignment.section.empty()) {
      newSection(assignment);
      return;
    }
    plan_.splices.push_back({spot.offset, spot.offset,
                             memberLine(assignment, spot, ending_before(text_, spot.offset))});
  }

  void newSection(const Assignment& assignment) {
    for (auto& [section, lines] : newSections_) {
      if (section == assignment.section) {
        lines.push_back(assignment);
        return;
      }
    }
    newSections_.push_back({assignment.section, {assignment}});
  }

  // The line "key=value" with its end, and the member it adds to the view.
  std::string memberLine(const Assignment& assignment, Spot spot, std::string_view ending) {
    const std::string line = assignment.key + "=" + assignment.value;
    plan_.changes.push_back(
        {spot.position, ChangeKind::Insert, readBack(line, ending, assignment, {})});
    return line + std::string(ending);
  }

  // On the line of the key, what stood between the '=' and the trailing
  // comment (with the blanks before it from the first space on) or the line's
  // end becomes the value; the key, the comment and the line's end stay.
  void replace(const ScanLine& line, const Assignment& assignment) {
    const size_t contentEnd = line.ending(text_) == "\r\n" ? line.contentEnd - 1 : line.contentEnd;
    size_t tail = line.hasComment() ? line.marker : contentEnd;
    size_t blanks = tail;
    while (blanks > line.equals + 1 && isBlank(text_[blanks - 1])) {
      --blanks;
    }
    const size_t space = text_.substr(blanks, tail - blanks).find(' ');
    tail = space != std::string_view::npos ? blanks + space : tail;
    const std::string edited = std::string(text_.substr(line.begin, line.equals + 1 - line.begin)) +
                               assignment.value +
                               std::string(text_.substr(tail, contentEnd - tail));
    const uint64_t hash = readBack(edited, line.ending(text_), assignment, line.comment);
    if (text_.substr(line.equals + 1, tail - line.equals - 1) != assignment.value) {
      plan_.splices.push_back({line.equals + 1, tail, assignment.value});
      plan_.changes.push_back({line.member, ChangeKind::Replace, hash});
    }
  }

  // Reads the new line as the format will, and gives the member it adds to
  // the view: it must read as the key, the value (with the CR of a CR LF end,
  // which is warned about) and the comment it had.
  uint64_t readBack(const std::string& line, std::string_view ending, const Assignment& assignment,
                    std::string_view comment) {
    const std::string bytes = line + (ending == "\r\n" ? "\r" : "");
    const ScanLine read = scanOneLine(bytes, assignment.section);
    const bool isCarriageReturn = read.value == assignment.value + "\r";
    if (read.kind != LineKind::Member || read.key != assignment.key ||
        (read.value != assignment.value && !isCarriageReturn) ||
        read.hasComment() != (comment.data() != nullptr) || read.comment != comment) {
      refuse(name_, "the line " + quoted(line) + " would not read as the key " +
                        quoted(assignment.key) + " with the value " + quoted(assignment.value));
    }
    if (isCarriageReturn) {
      plan_.warnings.push_back(
          name_ + ": warning: " + bracketed(assignment.section) + " " + escaped(assignment.key) +
          " reads as " + quoted(read.value) +
          ": in a line that ends in CR LF the format keeps the CR in the value");
    }
    return memberHash(read);
  }

  std::string name_;
  std::string_view text_;
  const EditRequest& request_;
  Plan& plan_;
  std::vector<Target> targets_;
  TextMap<size_t> targetOf_;               // "section\nkey" -> target
  TextMap<std::vector<size_t>> byKey_;     // key -> targets
  TextMap<SectionState> sections_;         // the targets' sections
  std::optional<ScanLine> pendingHeader_;  // the header since the last member
  std::optional<Spot> firstHeader_;
  std::vector<std::pair<std::string, std::vector<Assignment>>> newSections_;
  std::string_view cachedName_;  // the section of the last member line, and its state
  SectionState* pCached_ = nullptr;
  bool isCached_ = false;
  size_t members_ = 0;
};

// --- del SECTION KEY --------------------------------------------------------

class DeleteKeyPlanner {
 public:
  DeleteKeyPlanner(std::string name, const EditRequest& request, Plan* pPlan)
      : name_(std::move(name)), request_(request), plan_(*pPlan) {}

  void take(const ScanLine& line) {
    if (line.kind == LineKind::Header) {
      if (run_ && run_->members > 0 && run_->members == run_->removed) {
        plan_.warnings.push_back(name_ + ":" + std::to_string(run_->number) +
                                 ": warning: " + bracketed(request_.section) +
                                 " is left without keys, and a header without keys " +
                                 "reads as replaced by the next one, " + bracketed(line.section) +
                                 " on line " + std::to_string(line.number - removedLines_));
      }
      run_.reset();
      if (line.section == request_.section) {
        run_ = Run{line.number - removedLines_, 0, 0};
      }
      pendingSection_ = line.section;
      return;
    }
    if (line.kind != LineKind::Member) {
      return;
    }
    pendingSection_.reset();
    if (line.section != request_.section) {
      return;
    }
    isMember_ = true;
    if (run_) {
      ++run_->members;
    }
    if (line.key == request_.key) {
      plan_.splices.push_back({line.begin, line.end, {}});
      plan_.changes.push_back({line.member, ChangeKind::Remove, 0});
      ++removedLines_;
      if (run_) {
        ++run_->removed;
      }
    } else if (key_isBlankVariant(line.key, request_.key)) {
      nearMiss_ = line.key;
    }
  }

  void finish(size_t /*members*/) {
    if (!plan_.splices.empty()) {
      return;
    }
    const bool isThere = isMember_ || pendingSection_ == request_.section;
    throw ToolError(kExitFailure,
                    notFoundMessage(name_, request_.section, request_.key, isThere, nearMiss_));
  }

 private:
  // A header and the members that answer to it.
  struct Run {
    size_t number;  // the header's line in the new text
    size_t members;
    size_t removed;
  };

  std::string name_;
  const EditRequest& request_;
  Plan& plan_;
  std::optional<Run> run_;
  std::optional<std::string_view> pendingSection_;  // of a header with no member yet
  bool isMember_ = false;
  std::string nearMiss_;
  size_t removedLines_ = 0;
};

// --- del SECTION ------------------------------------------------------------

// Removes each header of the name with its members and the lines between them;
// the lines above the header and those after its last member stay. Headers of
// the name that the removed one replaces go too: they would read again.
class DeleteSectionPlanner {
 public:
  DeleteSectionPlanner(std::string name, const EditRequest& request, Plan* pPlan)
      : name_(std::move(name)), request_(request), plan_(*pPlan) {}

  void take(const ScanLine& line) {
    if (line.kind == LineKind::Header) {
      close();
      if (pendingHeader_ && pendingHeader_->section == request_.section) {
        replaced_.push_back({pendingHeader_->begin, pendingHeader_->end, {}});
      }
      pendingHeader_ = line;
      return;
    }
    if (line.kind != LineKind::Member) {
      return;
    }
    if (line.section == request_.section) {
      if (!range_) {
        range_ = Splice{pendingHeader_ ? pendingHeader_->begin : line.begin, line.end, {}};
        removeReplaced();
      }
      range_->end = line.end;
      plan_.changes.push_back({line.member, ChangeKind::Remove, 0});
    }
    pendingHeader_.reset();
    replaced_.clear();
  }

  void finish(size_t /*members*/) {
    close();
    if (pendingHeader_ && pendingHeader_->section == request_.section) {
      plan_.splices.push_back({pendingHeader_->begin, pendingHeader_->end, {}});
      removeReplaced();
    }
    if (plan_.splices.empty()) {
      throw ToolError(kExitFailure, name_ + ": no section " + bracketed(request_.section));
    }
  }

 private:
  void close() {
    if (range_) {
      plan_.splices.push_back(std::move(*range_));
      range_.reset();
    }
  }

  void removeReplaced() {
    plan_.splices.insert(plan_.splices.end(), replaced_.begin(), replaced_.end());
    replaced_.clear();
  }

  std::string name_;
  const EditRequest& request_;
  Plan& plan_;
  std::optional<ScanLine> pendingHeader_;  // the header since the last member
  std::vector<Splice> replaced_;           // headers of the name it replaced
  std::optional<Splice> range_;
};

}  // namespace

std::string notFoundMessage(const std::string& name, const std::string& section,
                            const std::string& key, bool isSectionThere,
                            std::string_view nearMiss) {
  if (!isSectionThere) {
    return name + ": no section " + bracketed(section);
  }
  std::string message = name + ": no key " + quoted(key) + " in section " + bracketed(section);
  return nearMiss.empty() ? message : message + "; " + nearMissAdvice(key, nearMiss);
}

void requireSectionName(const std::string& name, const std::string& section) {
  if (section.find_first_of(std::string_view("]\n\0", 3)) != std::string::npos) {
    refuse(name, "the section name " + quoted(section) + " holds ']', a line feed or a zero byte");
  }
}

void requireWritable(const std::string& name, const Assignment& assignment) {
  const std::string& value = assignment.value;
  const std::string& key = assignment.key;
  const std::string_view lineBreaks("\n\0", 2);
  if (value.find_first_of(lineBreaks) != std::string::npos) {
    refuse(name, "the value " + quoted(value) + " holds a line feed or zero byte");
  }
  for (char character : value) {
    if (isBlank(character)) {
      refuse(name, "the value " + quoted(value) + " holds a blank, where reading ends a value");
    }
    if (character == '#' || character == ';') {
      refuse(name,
             "the value " + quoted(value) + " holds '" + character + "', which starts a comment");
    }
  }
  if (key.empty()) {
    refuse(name, "a key cannot be empty: a line that starts with '=' has no value");
  }
  if (key.find_first_of(std::string_view("=\n\0", 3)) != std::string::npos) {
    refuse(name, "the key " + quoted(key) + " holds '=', a line feed or a zero byte");
  }
  if (isBlank(key.front())) {
    refuse(name, "the key " + quoted(key) + " starts with a blank, which reading skips");
  }
  if (key.front() == '#' || key.front() == ';' || key.front() == '[') {
    refuse(name, "the key " + quoted(key) + " starts with '" + key.front() +
                     "', which makes the line a comment or a header");
  }
  requireSectionName(name, assignment.section);
}

EditResult applyEdit(const std::string& name, std::string_view text, const EditRequest& request) {
  requireNoByteOrderMark(name, text);
  Plan plan;
  if (request.kind == EditKind::Set) {
    SetPlanner planner(name, text, request, &plan);
    plan_scan(name, text, &planner, &plan);
  } else if (request.kind == EditKind::DeleteKey) {
    DeleteKeyPlanner planner(name, request, &plan);
    plan_scan(name, text, &planner, &plan);
  } else {
    DeleteSectionPlanner planner(name, request, &plan);
    plan_scan(name, text, &planner, &plan);
  }
  EditResult result;
  result.isChanged = !plan.splices.empty();
  result.expected = ExpectedView(std::move(plan.view), std::move(plan.changes));
  result.text = splices_apply(text, &plan.splices);
  result.warnings = std::move(plan.warnings);
  return result;
}

}  // namespace vask_ini

// Fault sweep: each operation runs once for every N, with the N-th call of any allocation
// or support function failing (under a sanitizer: of any support function), until a run
// meets no failure. Whatever failed where, each run keeps the invariants: a code that the
// failing call may produce; well-formed trace lines, one chain that ends with that code;
// the sections before the failure intact; nothing leaked. An operation is one table row.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "fault.h"
#include "folder.h"
#include "heap.h"
#include "sections.h"
#include "trace.h"

namespace {

using vask::test::FaultPoint;
using Items = std::vector<void*>;
constexpr int kCode = 42;  // what a failing support call returns; passed through unchanged
const std::string kText =  // every kind of line and grouping, LF and CRLF
    "# settings\n; by hand\n[general]\n# the name\nname=demo # title\npath=/tmp/x;y\nempty=\n"
    "list=[1,2],3\n\n[network]\r\nport=8080 ; default\r\nhost=localhost\r\n# timeouts\n"
    "timeout=30\n[]\n=\nk=v\n# the end\n";

const vask::test::Views& cleanViews() {
  static const vask::test::Views kViews = [] {
    const vask::Sections queue = vask::test::queueOf();
    vask::test::parseInto(kText, queue.handle());
    return vask::test::viewOf(queue.handle());
  }();
  return kViews;
}

// What a run starts from, made before the failure is armed, and what it gave.
struct Trial {
  explicit Trial(bool isRead)
      : queue(vask::test::queueOf(isRead ? vask::test::Views{} : cleanViews())),
        loose(vask::test::queueOf(cleanViews())),
        path(folder.write("a.ini", isRead ? kText : "old")),
        before(vask::test::queuesOf(queue.handle())) {
    EXPECT_EQ(reader.open() | writer.open() | buffer.create(), 0);
    for (void* pItem = nullptr; VaskCommonDQueue_remove(loose.handle(), 0, &pItem) == 0;) {
      sections.push_back(static_cast<VaskInitializationSection_t*>(pItem));
    }
  }
  ~Trial() {
    for (VaskInitializationSection_t*& pSection : sections) {
      EXPECT_EQ(VaskInitializationSection_delete(&pSection), 0);  // again after a failure
    }
  }
  vask::Sections queue, loose;
  std::vector<VaskInitializationSection_t*> sections;  // out of any queue: for delete
  vask::Reader reader;
  vask::Writer writer;
  vask::Buffer buffer;
  vask::test::TempFolder folder;
  std::string path;
  std::vector<Items> before;  // the items of every queue
  int result = 0;
  FaultPoint point = FaultPoint::Count;  // where it failed; Count: nowhere
  std::vector<std::string> lines;
};

// A reader keeps the sections read before the failure: a prefix of the clean ones, or all
// of them with at most one member comment missing (a comment's copy may fail silently).
void checkRead(const Trial& run) {
  const vask::test::Views views = vask::test::viewOf(run.queue.handle());
  vask::test::Views expected = cleanViews();
  expected.resize(run.result != 0 ? std::min(views.size(), expected.size() - 1) : expected.size());
  int missing = 0;
  for (size_t i = 0; i < std::min(views.size(), expected.size()); ++i) {
    for (size_t j = 0; j < std::min(views[i].members.size(), expected[i].members.size()); ++j) {
      if (!views[i].members[j].comment && expected[i].members[j].comment) {
        expected[i].members[j].comment.reset();
        ++missing;
      }
    }
  }
  EXPECT_EQ(views, expected);
  EXPECT_LE(missing, run.result == 0 && run.point <= FaultPoint::Realloc);
}

// Whether `after` is `before` turned round, less at most one item (counted in *pLost).
bool isRotationLess(Items before, const Items& after, int* pLost) {
  const auto lost = std::find_if(before.begin(), before.end(), [&](void* pItem) {
    return std::find(after.begin(), after.end(), pItem) == after.end();
  });
  if (lost != before.end()) {
    before.erase(lost);
    ++*pLost;
  }
  for (size_t turn = 0; turn < before.size() && before != after; ++turn) {
    std::rotate(before.begin(), before.begin() + 1, before.end());
  }
  return before == after;
}

// A writer's walk that a failure stops leaves the queue turned round, and a failed
// put-back loses that item. Without such a failure the queues and the text are whole.
void checkWalked(const Trial& run, const std::string& text, const char* pTextOnFailure) {
  const std::vector<Items> after = vask::test::queuesOf(run.queue.handle());
  int lost = 0;
  EXPECT_TRUE(isRotationLess(run.before[0], after[0], &lost));
  for (size_t i = 0; i < after[0].size(); ++i) {
    const auto& b = run.before[0];
    const size_t was = std::find(b.begin(), b.end(), after[0][i]) - b.begin();
    EXPECT_TRUE(isRotationLess(run.before.at(1 + 2 * was), after[1 + 2 * i], &lost));
    EXPECT_TRUE(isRotationLess(run.before.at(2 + 2 * was), after[2 + 2 * i], &lost));
  }
  EXPECT_LE(lost, run.point == FaultPoint::DQueuePushBack);
  if (run.lines.empty() || run.lines.back()[0] != 'W') {  // nothing was passed over
    EXPECT_EQ(after, run.before);
    EXPECT_EQ(text, run.result != 0 ? pTextOnFailure : vask::test::written(run.queue.handle()));
  }
}

struct Operation {
  const char* pName;
  const char* pFunction;  // the entry point, where the chain of a returned failure ends
  bool isRead;            // starts from an empty queue (else the clean sections); may give 13
  int (*operation)(Trial&);
  void (*check)(const Trial&);
};

const Operation kOperations[] = {
    {"Parse", "VaskInitializationReader_parse", true,
     [](Trial& r) {
       VaskCommonBuffer_t text{const_cast<char*>(kText.c_str()), 0, kText.size(), nullptr, false};
       return VaskInitializationReader_parse(r.reader.handle(), &text, r.queue.handle());
     },
     checkRead},
    {"Load", "VaskInitializationReader_load", true,
     [](Trial& r) {
       return VaskInitializationReader_load(r.reader.handle(), r.path.c_str(), r.queue.handle());
     },
     checkRead},
    {"Serialize", "VaskInitializationWriter_serialize", false,
     [](Trial& r) {
       return VaskInitializationWriter_serialize(r.writer.handle(), r.queue.handle(),
                                                 r.buffer.get());
     },
     [](const Trial& r) { checkWalked(r, std::string(r.buffer.view()), ""); }},
    {"Save", "VaskInitializationWriter_save", false,
     [](Trial& r) {
       return VaskInitializationWriter_save(r.writer.handle(), r.path.c_str(), r.queue.handle());
     },
     [](const Trial& r) {
       EXPECT_EQ(r.folder.names(), std::vector<std::string>{"a.ini"});  // no temporary file
       checkWalked(r, r.folder.read("a.ini"), "old");
     }},
    {"SectionCreate", "VaskInitializationSection_create", false,
     [](Trial& r) { return VaskInitializationSection_create(&r.sections.emplace_back()); },
     [](const Trial& r) { EXPECT_EQ(r.sections.back() != nullptr, r.result == 0); }},
    {"SectionDelete", "VaskInitializationSection_delete", false,
     [](Trial& r) {
       int result = 0;
       for (VaskInitializationSection_t*& pSection : r.sections) {
         const int code = VaskInitializationSection_delete(&pSection);
         result = result != 0 ? result : code;
       }
       return result;
     },
     [](const Trial& r) {  // a section whose delete failed stays, to be deleted again
       EXPECT_EQ(std::count(r.sections.begin(), r.sections.end(), nullptr) + (r.result != 0),
                 static_cast<long>(r.sections.size()));
     }},
};

const std::regex kLine(R"(([EW]) initialization_\w+\.cpp:# (\w+): (.+)\((\d+)\))");

// The code and the trace lines of a run, whatever the operation.
void checkCodeAndChain(const Operation& operation, const Trial& run) {
  const bool isAllocation = run.point <= FaultPoint::Realloc;
  const int failure = isAllocation ? 5 : kCode;
  if (run.result != 13 || !isAllocation || !operation.isRead) {  // 13: a member value
    EXPECT_TRUE(run.result == 0 || run.result == failure) << static_cast<int>(run.point);
  }
  EXPECT_TRUE(run.point != FaultPoint::Count || run.result == 0);
  std::smatch match;
  for (size_t i = 0; i < run.lines.size(); ++i) {
    ASSERT_TRUE(std::regex_match(run.lines[i], match, kLine)) << run.lines[i];
    EXPECT_EQ(match[3], VaskCommonError_text(std::stoi(match[4])));
    EXPECT_EQ(std::stoi(match[4]), run.result != 0 ? run.result : failure);
    // Error, but for the end of a chain that the writer passed over.
    const bool isLast = i + 1 == run.lines.size();
    EXPECT_EQ(match[1], isLast && run.result == 0 ? "W" : "E");
    EXPECT_TRUE(!isLast || run.result == 0 || match[2] == operation.pFunction) << run.lines[i];
  }
  // 13 is a member value's, traced where the line is read. Only a create's record
  // allocation fails without a trace.
  EXPECT_TRUE(run.result != 13 ||
              run.lines.at(0).find(" section_readMember: ") != std::string::npos);
  EXPECT_TRUE(!run.lines.empty() || run.result == 0 || run.result == 5);
}

class FaultSweep : public testing::TestWithParam<Operation> {};

TEST_P(FaultSweep, KeepsTheInvariantsWhicheverCallFails) {
  (void)cleanViews();  // made before any heap check
  bool isFired = true;
  for (unsigned n = 1; isFired && n < 10000 && !HasFailure(); ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    vask::test::HeapCheck heap;
    {
      Trial run(GetParam().isRead);
      {
        const vask::test::TraceCapture trace;
        vask::test::faultArmAny(n, kCode);
        run.result = GetParam().operation(run);
        vask::test::faultDisarm();
        isFired = vask::test::faultFired();
        run.point = vask::test::faultFiredPoint();
        run.lines = trace.lines();
      }
      checkCodeAndChain(GetParam(), run);
      GetParam().check(run);
    }
    EXPECT_EQ(heap.leaked(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultSweep, testing::ValuesIn(kOperations),
                         [](const testing::TestParamInfo<Operation>& info) {
                           return info.param.pName;
                         });

}  // namespace

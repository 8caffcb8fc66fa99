// Fault sweep: each operation runs once for every N, with the N-th call of any allocation
// or support function failing (under a sanitizer: of any support function), until a run
// meets no failure. Whatever failed where, each run keeps the invariants: a code that the
// failing call may produce; well-formed trace lines, one chain that ends with that code;
// the sections before the failure intact; nothing leaked. An operation is one table row.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>

#include "fault.h"
#include "folder.h"
#include "heap.h"
#include "sections.h"
#include "trace.h"

namespace {

using vask::test::FaultPoint;
using Items = std::vector<void*>;
constexpr int kCode = 42;  // what a failing support call returns; passed through unchanged
// A realistic file: comments before and after headers and between members, but no trailing
// comment (its copy may fail silently: the reader's tests see to that).
const std::string kPath = VASK_TEST_DATA_DIR "/app-settings.ini";
std::ifstream gFile(kPath);
const std::string kText{std::istreambuf_iterator<char>(gFile), std::istreambuf_iterator<char>()};

// What a run starts from, made before the failure is armed, and what it gave. A reader
// starts from an empty queue; anything else from the text's sections and a long value
// (the memory stream grows twice), and one more section taken out of the queue.
struct Trial {
  explicit Trial(bool isRead) {
    void* pTaken = nullptr;
    const std::string text = kText + "long=" + std::string(20000, 'v') + "\n[taken]\n# c\nk=v\n";
    EXPECT_EQ(reader.open() | writer.open() | buffer.create(), 0);
    EXPECT_EQ(isRead ? 0 : vask::test::parseInto(text, hQ), 0);
    EXPECT_EQ(isRead ? 0 : VaskCommonDQueue_remove(hQ, VaskCommonDQueue_length(hQ) - 1, &pTaken),
              0);
    pSection = static_cast<VaskInitializationSection_t*>(pTaken);
    before = vask::test::queuesOf(hQ);
    hR = reader.handle();
    hW = writer.handle();
  }
  ~Trial() { EXPECT_EQ(VaskInitializationSection_delete(&pSection), 0); }  // after a failure too
  vask::Sections queue = vask::test::queueOf();
  VaskCommonDQueueHandle_t hQ = queue.handle();
  VaskInitializationSection_t* pSection = nullptr;
  vask::Reader reader;
  vask::Writer writer;
  uintptr_t hR = 0, hW = 0;
  vask::Buffer buffer;
  vask::test::TempFolder folder;
  std::string path = folder.write("a.ini", "old");
  VaskCommonBuffer_t text{const_cast<char*>(kText.c_str()), 0, kText.size(), nullptr, false};
  std::vector<Items> before;  // every queue's items
  int result = 0;
  FaultPoint point = FaultPoint::Count;  // where it failed; Count: nowhere
  std::vector<std::string> lines;
};

// The sections of the text, as vask::test::dump shows them.
const std::string kClean = [] {
  const vask::Sections queue = vask::test::queueOf();
  return vask::test::parseInto(kText, queue.handle()) == 0 ? vask::test::dump(queue.handle()) : "";
}();

// A reader keeps the sections read before the failure: a prefix of the clean ones.
void checkRead(const Trial& t) {
  const std::string sections = vask::test::dump(t.queue.handle());
  EXPECT_TRUE(t.result == 0 ? sections == kClean
                            : sections.empty() || kClean.starts_with(sections + " | "))
      << sections;
}

// Whether `after` is `before` turned round, less at most one item (counted in *pLost).
bool isRotationLess(Items before, const Items& after, int* pLost) {
  *pLost += static_cast<int>(std::erase_if(before, [&](void* pItem) {
    return std::find(after.begin(), after.end(), pItem) == after.end();
  }));
  for (size_t turn = 0; turn < before.size() && before != after; ++turn) {
    std::rotate(before.begin(), before.begin() + 1, before.end());
  }
  return before == after;
}

// A writer's walk that a failure stops leaves the queue turned round, and a failed
// put-back loses that item. Without such a failure the queues and the text are whole.
void checkWalked(const Trial& t, const std::string& text, const char* pTextOnFailure) {
  const std::vector<Items> after = vask::test::queuesOf(t.queue.handle());
  const Items& sections = t.before[0];
  int lost = 0;
  EXPECT_TRUE(isRotationLess(sections, after[0], &lost));
  for (size_t i = 0; i < after[0].size(); ++i) {
    const auto was = std::find(sections.begin(), sections.end(), after[0][i]) - sections.begin();
    EXPECT_TRUE(isRotationLess(t.before.at(1 + 2 * was), after[1 + 2 * i], &lost));
    EXPECT_TRUE(isRotationLess(t.before.at(2 + 2 * was), after[2 + 2 * i], &lost));
  }
  EXPECT_LE(lost, t.point == FaultPoint::DQueuePushBack);
  if (t.lines.empty() || t.lines.back()[0] != 'W') {  // nothing was passed over
    EXPECT_EQ(after, t.before);
    EXPECT_EQ(text, t.result != 0 ? pTextOnFailure : vask::test::written(t.queue.handle()));
  }
}

struct Operation {
  const char* pFunction;  // the entry point: the chain of a returned failure ends there
  bool isRead;            // starts from an empty queue; may give 13
  int (*run)(Trial&);
  void (*check)(const Trial&);
};

const Operation kOperations[] = {
    {"VaskInitializationReader_parse", true,
     [](Trial& t) { return VaskInitializationReader_parse(t.hR, &t.text, t.hQ); }, checkRead},
    {"VaskInitializationReader_load", true,
     [](Trial& t) { return VaskInitializationReader_load(t.hR, kPath.c_str(), t.hQ); }, checkRead},
    {"VaskInitializationWriter_serialize", false,
     [](Trial& t) { return VaskInitializationWriter_serialize(t.hW, t.hQ, t.buffer.get()); },
     [](const Trial& t) { checkWalked(t, std::string(t.buffer.view()), ""); }},
    {"VaskInitializationWriter_save", false,
     [](Trial& t) { return VaskInitializationWriter_save(t.hW, t.path.c_str(), t.hQ); },
     [](const Trial& t) {
       EXPECT_EQ(t.folder.names(), std::vector<std::string>{"a.ini"});  // no temporary file
       checkWalked(t, t.folder.read("a.ini"), "old");
     }},
    {"VaskInitializationSection_create", true,
     [](Trial& t) { return VaskInitializationSection_create(&t.pSection); },
     [](const Trial& t) { EXPECT_EQ(t.pSection != nullptr, t.result == 0); }},
    // A failed delete leaves the section, to be deleted again (~Trial): as it was when the
    // member queue failed to close, without members and header when the comment queue did.
    {"VaskInitializationSection_delete", false,
     [](Trial& t) { return VaskInitializationSection_delete(&t.pSection); },
     [](const Trial& t) {
       ASSERT_EQ(t.pSection != nullptr, t.result != 0);
       EXPECT_TRUE(t.result == 0 || (t.pSection->hMember == 0) == (t.pSection->pHeader == nullptr));
     }},
};

class FaultSweep : public testing::TestWithParam<Operation> {};

TEST_P(FaultSweep, KeepsTheInvariantsWhicheverCallFails) {
  const std::regex line(R"(([EW]) initialization_\w+\.cpp:# (\w+): (.+)\((\d+)\))");
  for (unsigned n = 1, isFired = 1; isFired != 0 && n < 10000 && !HasFailure(); ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    const vask::test::HeapCheck heap;
    {
      Trial t(GetParam().isRead);
      {
        const vask::test::TraceCapture trace;
        vask::test::faultArmAny(n, kCode);
        t.result = GetParam().run(t);
        vask::test::faultDisarm();
        isFired = vask::test::faultFired();
        t.point = vask::test::faultFiredPoint();
        t.lines = trace.lines();
      }
      // A failed allocation gives 5 (or 13, for a member value), a support call its code.
      const int failure = t.point <= FaultPoint::Realloc ? 5 : kCode;
      EXPECT_TRUE(t.result == 0 || (isFired != 0 && t.result == failure) ||
                  (t.result == 13 && failure == 5 && GetParam().isRead))
          << "failing point " << static_cast<int>(t.point);
      // Only a create's record allocation fails without a trace.
      EXPECT_TRUE(!t.lines.empty() || t.result == 0 || t.result == 5);
      std::smatch match;
      for (size_t i = 0; i < t.lines.size(); ++i) {
        ASSERT_TRUE(std::regex_match(t.lines[i], match, line)) << t.lines[i];
        EXPECT_EQ(match[3], VaskCommonError_text(std::stoi(match[4])));
        EXPECT_EQ(std::stoi(match[4]), t.result != 0 ? t.result : failure);
        // Error, but for the end of a chain that the writer passed over.
        const bool isLast = i + 1 == t.lines.size();
        EXPECT_EQ(match[1], isLast && t.result == 0 ? "W" : "E");
        EXPECT_TRUE(!isLast || t.result == 0 || match[2] == GetParam().pFunction) << t.lines[i];
      }
      GetParam().check(t);
    }
    EXPECT_EQ(heap.leaked(), 0);
  }
}

// Named cases: the exact chains of a few failures, as a host reads them.
TEST(FaultTrace, ChainsEndWithTheEntryPointOrAWarningWhereTheWriterGoesOn) {
  const vask::test::TempFolder folder;
  const vask::Sections queue = vask::test::queueOf({{{"# x"}, "s", {{"a", "1"}}}, {{}, "t"}});
  vask::Reader hostReader;
  vask::Buffer buffer;
  ASSERT_EQ(hostReader.open(), 0);
  const vask::test::TraceCapture trace;
  const std::string bad = folder.write("bad.ini", "[a]\nx=1\n[b]\nbad\n");
  EXPECT_EQ(VaskInitializationReader_load(hostReader.handle(), bad.c_str(), queue.handle()), 13);
  {
    const vask::test::FaultScope fault(FaultPoint::DQueuePopFront, 1, kCode);  // a section's
    EXPECT_EQ(queue.serialize(&buffer), 0);
  }
  {
    const vask::test::FaultScope fault(FaultPoint::MemStreamOpen, 1, kCode);
    EXPECT_EQ(queue.save(folder.write("out.ini", "old").c_str()), kCode);
  }
  const auto reader = [](const char* pFunction) {
    return vask::test::traceLine('E', "initialization_reader.cpp", pFunction, 13);
  };
  const auto writer = [](char level, const char* pFunction) {
    return vask::test::traceLine(level, "initialization_writer.cpp", pFunction, kCode);
  };
  EXPECT_EQ(trace.lines(),
            (std::vector<std::string>{
                reader("section_readMember"), reader("section_read"),
                reader("VaskInitializationReader_parse"), reader("VaskInitializationReader_load"),
                writer('E', "section_write"), writer('W', "VaskInitializationWriter_serialize"),
                writer('E', "VaskInitializationWriter_serialize"),
                writer('E', "VaskInitializationWriter_save")}));
  EXPECT_EQ(vask::test::dump(queue.handle()), "# x, [s], a=1 | [t] | [a], x=1");
  EXPECT_TRUE(buffer.view().empty() && folder.read("out.ini") == "old");
}

// A member line's record, key, value and comment: where one cannot be allocated, the
// failure is traced first by the function that reads the line; a value's gives 13 on a
// line without comment, and a comment's is passed over: the member keeps no comment.
TEST(FaultTrace, AFailedAllocationForAMemberLineIsTracedWhereTheLineIsRead) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  std::multiset<std::string> outcomes;  // the first trace line, or the sections read
  char text[] = "k=v # c\nj=w\n";
  for (unsigned n = 1; n == 1 || vask::test::faultFired(); ++n) {
    Trial t(true);
    t.text = {text, 0, sizeof(text) - 1, nullptr, false};
    const vask::test::TraceCapture trace;
    vask::test::faultArm(FaultPoint::Calloc, n, 0);
    const int result = VaskInitializationReader_parse(t.hR, &t.text, t.hQ);
    vask::test::faultDisarm();
    outcomes.insert(result == 0 ? vask::test::dump(t.hQ) : trace.lines().at(0));
  }
  const auto origin = [](int code) {
    return vask::test::traceLine('E', "initialization_reader.cpp", "section_readMember", code);
  };
  EXPECT_TRUE(outcomes.count(origin(5)) == 5 && outcomes.count(origin(13)) == 1);
  EXPECT_EQ(outcomes.count("k=v, j=w"), 1U);
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultSweep, testing::ValuesIn(kOperations),
                         [](const testing::TestParamInfo<Operation>& info) {
                           return info.param.pFunction;
                         });

}  // namespace

// Fault sweep: every entry point runs on a realistic text once for every N,
// with the N-th call of any allocation or support function failing, until a
// run meets no failure. Each run must answer with the code the failure rules
// give, trace the chain of functions the failure passed through, keep what was
// already queued intact, follow the writer's queue rules and leak nothing.
// Under AddressSanitizer the allocation functions cannot be replaced, so there
// the sweep meets the support functions only.
#include <gtest/gtest.h>

#include <initialization_reader.h>
#include <initialization_section.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fault.h"
#include "folder.h"
#include "heap.h"
#include "reading.h"
#include "sections.h"
#include "trace.h"

namespace {

using vask::test::FaultPoint;
using vask::test::HeapCheck;
using vask::test::SectionView;
using vask::test::TraceCapture;
using vask::test::traceLine;

using Lines = std::vector<std::string>;
using Sections = std::vector<SectionView>;

constexpr int kCode = 42;  // a support-library code, passed through unchanged

// Every kind of line and grouping: comments before and after a header, trailing
// comments of both markers, members with and without one, an empty name, an
// empty key, CRLF line ends, a comment between members and a comment-only end.
const std::string kText =
    "# settings\n"
    "; written by hand\n"
    "[general]\n"
    "# the name\n"
    "name=demo # shown in the title\n"
    "path=/tmp/x;y\n"
    "empty=\n"
    "list=[1,2],3\n"
    "\n"
    "[network]\r\n"
    "port=8080 ; default\r\n"
    "host=localhost\r\n"
    "# timeouts\n"
    "timeout=30\n"
    "[]\n"
    "=\n"
    "k=v\n"
    "# the end\n";

bool isAllocation(FaultPoint point) {
  return point == FaultPoint::Calloc || point == FaultPoint::Malloc || point == FaultPoint::Realloc;
}

std::string readerLine(const char* pFunction, int code) {
  return traceLine('E', "initialization_reader.cpp", pFunction, code);
}

std::string writerLine(char level, const char* pFunction, int code) {
  return traceLine(level, "initialization_writer.cpp", pFunction, code);
}

std::string sectionLine(const char* pFunction, int code) {
  return traceLine('E', "initialization_section.cpp", pFunction, code);
}

// A section queue whose handler keeps the sections it cannot delete, so that a
// test can release them later instead of leaking them.
struct Kept {
  std::vector<VaskInitializationSection_t*> sections;
};
Kept gKept;

int section_deleteOrKeep(void** ppData) {
  auto* pSection = static_cast<VaskInitializationSection_t*>(*ppData);
  const int result = VaskInitializationSection_delete(&pSection);
  if (result != VaskCommonError_Success) {
    gKept.sections.push_back(pSection);
  }
  *ppData = nullptr;
  return result;
}

VaskCommonDQueueHandle_t queue_open() {
  VaskCommonDQueueOpenParam_t param{};
  param.pDeleteDataHandler = section_deleteOrKeep;
  VaskCommonDQueueHandle_t handle = 0;
  EXPECT_EQ(VaskCommonDQueue_open(&param, &handle), VaskCommonError_Success);
  return handle;
}

void queue_close(VaskCommonDQueueHandle_t* pHandle) {
  EXPECT_EQ(VaskCommonDQueue_close(pHandle), VaskCommonError_Success);
  for (VaskInitializationSection_t* pSection : gKept.sections) {
    EXPECT_EQ(VaskInitializationSection_delete(&pSection), VaskCommonError_Success);
  }
  std::vector<VaskInitializationSection_t*>().swap(gKept.sections);  // gives its memory back
}

std::optional<std::string> optionalOf(const char* pText) {
  return pText != nullptr ? std::optional<std::string>(pText) : std::nullopt;
}

// The sections of a queue as plain values (walks it without changing it).
Sections viewOf(VaskCommonDQueueHandle_t handle) {
  Sections result;
  for (void* pItem : vask::test::queueItems(handle)) {
    const auto* pSection = static_cast<const VaskInitializationSection_t*>(pItem);
    SectionView section;
    for (void* pComment : vask::test::queueItems(pSection->hComment)) {
      section.comments.emplace_back(static_cast<const char*>(pComment));
    }
    section.header = optionalOf(pSection->pHeader);
    for (void* pMemberItem : vask::test::queueItems(pSection->hMember)) {
      const auto* pMember = static_cast<const VaskInitializationMember_t*>(pMemberItem);
      section.members.push_back(
          {optionalOf(pMember->pKey), optionalOf(pMember->pValue), optionalOf(pMember->pComment)});
    }
    result.push_back(std::move(section));
  }
  return result;
}

// The item pointers of each queue, for the writer's queue rules.
struct Shape {
  const void* pSection;
  std::vector<const void*> comments;
  std::vector<const void*> members;
  bool operator==(const Shape&) const = default;
};

std::vector<Shape> shapeOf(VaskCommonDQueueHandle_t handle) {
  std::vector<Shape> result;
  for (void* pItem : vask::test::queueItems(handle)) {
    const auto* pSection = static_cast<const VaskInitializationSection_t*>(pItem);
    Shape shape{pItem, {}, {}};
    for (void* pComment : vask::test::queueItems(pSection->hComment)) {
      shape.comments.push_back(pComment);
    }
    for (void* pMember : vask::test::queueItems(pSection->hMember)) {
      shape.members.push_back(pMember);
    }
    result.push_back(std::move(shape));
  }
  return result;
}

template <typename Item_t>
bool isRotation(std::vector<Item_t> items, const std::vector<Item_t>& turned) {
  for (size_t turn = 0; turn < items.size(); ++turn) {
    if (items == turned) {
      return true;
    }
    std::rotate(items.begin(), items.begin() + 1, items.end());
  }
  return items == turned;
}

// Whether `after` is `before` turned round, less at most one item (counted in
// *pLost): a walk that stops part-way leaves the items it walked behind the
// others, and a failed put-back loses the item.
template <typename Item_t>
bool isRotationLess(const std::vector<Item_t>& before, const std::vector<Item_t>& after,
                    size_t* pLost) {
  if (after.size() == before.size()) {
    return isRotation(before, after);
  }
  if (after.size() + 1 != before.size()) {
    return false;
  }
  ++*pLost;
  for (size_t skip = 0; skip < before.size(); ++skip) {
    std::vector<Item_t> kept = before;
    kept.erase(kept.begin() + static_cast<long>(skip));
    if (isRotation(kept, after)) {
      return true;
    }
  }
  return false;
}

// The writer's rules after a walk that met a failure: every queue holds its
// old items turned round, and at most one item (with what it owns) is gone.
void expectWalkedQueues(const std::vector<Shape>& before, const std::vector<Shape>& after,
                        bool mayLose) {
  std::vector<const void*> sectionsBefore;
  std::vector<const void*> sectionsAfter;
  for (const Shape& shape : before)
    sectionsBefore.push_back(shape.pSection);
  for (const Shape& shape : after)
    sectionsAfter.push_back(shape.pSection);
  size_t lost = 0;
  EXPECT_TRUE(isRotationLess(sectionsBefore, sectionsAfter, &lost));
  for (const Shape& shape : after) {
    const auto old = std::find_if(before.begin(), before.end(),
                                  [&](const Shape& s) { return s.pSection == shape.pSection; });
    ASSERT_NE(old, before.end());
    EXPECT_TRUE(isRotationLess(old->comments, shape.comments, &lost));
    EXPECT_TRUE(isRotationLess(old->members, shape.members, &lost));
  }
  EXPECT_LE(lost, mayLose ? 1U : 0U);
}

// One entry in the report of a sweep: the failures it injected, by point.
struct Sweep {
  explicit Sweep(std::string nameGiven) : name(std::move(nameGiven)) {}
  Sweep(const Sweep&) = delete;
  Sweep& operator=(const Sweep&) = delete;
  std::string name;
  std::map<FaultPoint, unsigned> points;
  unsigned total = 0;

  void count(FaultPoint point) {
    ++points[point];
    ++total;
  }
  ~Sweep() {
    std::ostringstream out;
    out << "fault sweep " << name << ": " << total << " failure points reached (";
    const char* pSeparator = "";
    for (const auto& [point, calls] : points) {
      out << pSeparator << vask::test::faultPointName(point) << " " << calls;
      pSeparator = ", ";
    }
    out << ")";
    std::cout << out.str() << std::endl;
    testing::Test::RecordProperty(name, total);
  }
};

constexpr unsigned kMaxRuns = 5000;  // far beyond the calls one operation makes

// Runs `run(n)` for n = 1, 2, ... until it reports that no failure was injected.
template <typename Run_t>
void sweep(Sweep* pSweep, Run_t run) {
  for (unsigned n = 1; n <= kMaxRuns; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    bool isFired = false;
    FaultPoint point = FaultPoint::Count;
    run(n, &isFired, &point);
    if (testing::Test::HasFailure()) {
      std::cout << pSweep->name << ": first failing run n=" << n << " at "
                << vask::test::faultPointName(point) << std::endl;
      return;
    }
    if (!isFired) {
      return;
    }
    pSweep->count(point);
  }
  ADD_FAILURE() << "the sweep did not end";
}

// A clean parse of kText, the reference for every run.
const Sections& cleanSections() {
  static const Sections kSections = [] {
    VaskCommonDQueueHandle_t handle = queue_open();
    EXPECT_EQ(vask::test::parseText(kText, handle), VaskCommonError_Success);
    Sections sections = viewOf(handle);
    queue_close(&handle);
    return sections;
  }();
  return kSections;
}

const std::string& cleanWritten() {
  static const std::string kWritten = [] {
    VaskCommonDQueueHandle_t handle = queue_open();
    EXPECT_EQ(vask::test::parseText(kText, handle), VaskCommonError_Success);
    VaskInitializationWriterHandle_t writer = 0;
    EXPECT_EQ(VaskInitializationWriter_open(&writer), VaskCommonError_Success);
    VaskCommonBuffer_t buffer{};
    EXPECT_EQ(VaskInitializationWriter_serialize(writer, handle, &buffer), VaskCommonError_Success);
    std::string text(buffer.pBegin, buffer.size);
    std::free(buffer.pBegin);
    EXPECT_EQ(VaskInitializationWriter_close(&writer), VaskCommonError_Success);
    queue_close(&handle);
    return text;
  }();
  return kWritten;
}

// The clean sections with the trailing comment of exactly one member missing:
// what a parse gives when that comment's copy cannot be allocated.
bool isCleanLessOneComment(const Sections& sections) {
  const Sections& clean = cleanSections();
  if (sections.size() != clean.size()) {
    return false;
  }
  unsigned missing = 0;
  for (size_t i = 0; i < clean.size(); ++i) {
    if (sections[i].comments != clean[i].comments || sections[i].header != clean[i].header ||
        sections[i].members.size() != clean[i].members.size()) {
      return false;
    }
    for (size_t j = 0; j < clean[i].members.size(); ++j) {
      vask::test::MemberView member = clean[i].members[j];
      if (sections[i].members[j] == member) {
        continue;
      }
      member.comment.reset();
      if (sections[i].members[j] != member) {
        return false;
      }
      ++missing;
    }
  }
  return missing == 1;
}

// Checks a reader run (parse, or the parse inside a load) against the rules.
// `tail` holds the lines the entry point adds after section_read's own.
void expectReaderOutcome(int result, FaultPoint point, const Lines& lines, const Sections& sections,
                         const Lines& tail) {
  if (result == VaskCommonError_Success) {
    // Only a member's comment copy is passed over: the member keeps a null comment.
    EXPECT_TRUE(isAllocation(point)) << vask::test::faultPointName(point);
    EXPECT_TRUE(isCleanLessOneComment(sections));
    EXPECT_EQ(lines, Lines{});
    return;
  }
  if (isAllocation(point)) {
    EXPECT_TRUE(result == VaskCommonError_NoMemory || result == VaskCommonError_InvalidArgument)
        << result;
  } else {
    EXPECT_EQ(result, kCode);
  }
  // Sections read before the failing one stay queued, whole.
  const Sections& clean = cleanSections();
  ASSERT_LT(sections.size(), clean.size());
  EXPECT_EQ(sections, Sections(clean.begin(), clean.begin() + static_cast<long>(sections.size())));

  // The chain: at most one line from where it failed, then section_read, then the entry points.
  Lines expectedTail{readerLine("section_read", result)};
  for (const std::string& line : tail) {
    expectedTail.push_back(line);
  }
  ASSERT_GE(lines.size(), expectedTail.size());
  ASSERT_LE(lines.size(), expectedTail.size() + 1);
  EXPECT_EQ(Lines(lines.end() - static_cast<long>(expectedTail.size()), lines.end()), expectedTail);
  if (lines.size() > expectedTail.size()) {
    const Lines origins{readerLine("section_readComment", result),
                        readerLine("section_readMember", result),
                        sectionLine("VaskInitializationSection_create", result)};
    EXPECT_NE(std::find(origins.begin(), origins.end(), lines.front()), origins.end())
        << lines.front();
  }
  // Only a member value on a line without trailing comment gives 13.
  if (result == VaskCommonError_InvalidArgument) {
    ASSERT_EQ(lines.size(), expectedTail.size() + 1);
    EXPECT_EQ(lines.front(), readerLine("section_readMember", result));
  }
}

TEST(FaultSweep, Parse) {
  (void)cleanSections();  // made before any heap check
  Sweep report("parse");
  sweep(&report, [](unsigned n, bool* pIsFired, FaultPoint* pPoint) {
    HeapCheck heap;
    {
      TraceCapture trace;
      VaskCommonDQueueHandle_t handle = queue_open();
      VaskInitializationReaderHandle_t reader = 0;
      ASSERT_EQ(VaskInitializationReader_open(&reader), VaskCommonError_Success);
      VaskCommonBuffer_t buffer{const_cast<char*>(kText.data()), 0, kText.size(), nullptr, false};
      vask::test::faultArmAny(n, kCode);
      const int result = VaskInitializationReader_parse(reader, &buffer, handle);
      vask::test::faultDisarm();
      *pIsFired = vask::test::faultFired();
      *pPoint = vask::test::faultFiredPoint();
      EXPECT_EQ(VaskInitializationReader_close(&reader), VaskCommonError_Success);
      const Sections sections = viewOf(handle);
      if (!*pIsFired) {
        EXPECT_EQ(result, VaskCommonError_Success);
        EXPECT_EQ(sections, cleanSections());
        EXPECT_EQ(trace.lines(), Lines{});
      } else {
        expectReaderOutcome(result, *pPoint, trace.lines(), sections,
                            {readerLine("VaskInitializationReader_parse", result)});
      }
      queue_close(&handle);
    }
    EXPECT_EQ(heap.leaked(), 0);
  });
}

using Folder = vask::test::TempFolder;

TEST(FaultSweep, Load) {
  const Folder folder;
  folder.write("settings.ini", kText);
  const std::string path = folder.path("settings.ini");
  (void)cleanSections();
  Sweep report("load");
  sweep(&report, [&](unsigned n, bool* pIsFired, FaultPoint* pPoint) {
    HeapCheck heap;
    {
      TraceCapture trace;
      VaskCommonDQueueHandle_t handle = queue_open();
      VaskInitializationReaderHandle_t reader = 0;
      ASSERT_EQ(VaskInitializationReader_open(&reader), VaskCommonError_Success);
      vask::test::faultArmAny(n, kCode);
      const int result = VaskInitializationReader_load(reader, path.c_str(), handle);
      vask::test::faultDisarm();
      *pIsFired = vask::test::faultFired();
      *pPoint = vask::test::faultFiredPoint();
      EXPECT_EQ(VaskInitializationReader_close(&reader), VaskCommonError_Success);
      const Sections sections = viewOf(handle);
      const Lines lines = trace.lines();
      const std::string loadLine = readerLine("VaskInitializationReader_load", result);
      if (!*pIsFired) {
        EXPECT_EQ(result, VaskCommonError_Success);
        EXPECT_EQ(sections, cleanSections());
        EXPECT_EQ(lines, Lines{});
      } else if (lines.size() == 1) {
        // The buffer could not be made or filled: nothing was parsed.
        EXPECT_EQ(lines, Lines{loadLine});
        EXPECT_EQ(result, isAllocation(*pPoint) ? VaskCommonError_NoMemory : kCode);
        EXPECT_TRUE(isAllocation(*pPoint) || *pPoint == FaultPoint::BufferCreate ||
                    *pPoint == FaultPoint::BufferLoad2)
            << vask::test::faultPointName(*pPoint);
        EXPECT_EQ(sections, Sections{});
      } else {
        expectReaderOutcome(result, *pPoint, lines, sections,
                            {readerLine("VaskInitializationReader_parse", result), loadLine});
      }
      queue_close(&handle);
    }
    EXPECT_EQ(heap.leaked(), 0);
  });
}

// The trace of a failure that section emission passes over, and whether the
// walk may have lost an item (a failed put-back releases it).
void expectPassedOver(FaultPoint point, const Lines& lines) {
  EXPECT_TRUE(point == FaultPoint::DQueuePopFront || point == FaultPoint::DQueuePushBack)
      << vask::test::faultPointName(point);
  const Lines comment{writerLine('E', "section_writeComment", kCode),
                      writerLine('W', "section_write", kCode)};
  const Lines member{writerLine('E', "section_writeMember", kCode),
                     writerLine('W', "section_write", kCode)};
  const Lines section{writerLine('E', "section_write", kCode),
                      writerLine('W', "VaskInitializationWriter_serialize", kCode)};
  EXPECT_TRUE(lines == comment || lines == member || lines == section)
      << testing::PrintToString(lines);
}

// A queue read cleanly from kText, for the writer's runs.
VaskCommonDQueueHandle_t cleanQueue() {
  VaskCommonDQueueHandle_t handle = queue_open();
  EXPECT_EQ(vask::test::parseText(kText, handle), VaskCommonError_Success);
  return handle;
}

TEST(FaultSweep, Serialize) {
  (void)cleanWritten();
  Sweep report("serialize");
  sweep(&report, [](unsigned n, bool* pIsFired, FaultPoint* pPoint) {
    HeapCheck heap;
    {
      VaskCommonDQueueHandle_t handle = cleanQueue();
      const std::vector<Shape> before = shapeOf(handle);
      TraceCapture trace;
      VaskInitializationWriterHandle_t writer = 0;
      ASSERT_EQ(VaskInitializationWriter_open(&writer), VaskCommonError_Success);
      VaskCommonBuffer_t buffer{};
      vask::test::faultArmAny(n, kCode);
      const int result = VaskInitializationWriter_serialize(writer, handle, &buffer);
      vask::test::faultDisarm();
      *pIsFired = vask::test::faultFired();
      *pPoint = vask::test::faultFiredPoint();
      EXPECT_EQ(VaskInitializationWriter_close(&writer), VaskCommonError_Success);
      const Lines lines = trace.lines();
      const std::string text = buffer.pBegin != nullptr ? std::string(buffer.pBegin) : "";
      if (buffer.isAllocated) {
        std::free(buffer.pBegin);
      }
      if (result != VaskCommonError_Success) {
        // Only the memory stream's failures are returned; the buffer stays empty.
        EXPECT_TRUE(*pIsFired);
        EXPECT_EQ(result, isAllocation(*pPoint) ? VaskCommonError_NoMemory : kCode);
        EXPECT_TRUE(isAllocation(*pPoint) || *pPoint == FaultPoint::MemStreamOpen ||
                    *pPoint == FaultPoint::MemStreamClose)
            << vask::test::faultPointName(*pPoint);
        EXPECT_EQ(lines, Lines{writerLine('E', "VaskInitializationWriter_serialize", result)});
        EXPECT_EQ(buffer.pBegin, nullptr);
        EXPECT_EQ(shapeOf(handle), before);
      } else if (lines.empty()) {
        // No failure, or one the stream absorbed (stdio writes unbuffered
        // without its buffer): the whole text, every queue untouched.
        EXPECT_TRUE(!*pIsFired || isAllocation(*pPoint)) << vask::test::faultPointName(*pPoint);
        EXPECT_EQ(text, cleanWritten());
        EXPECT_EQ(shapeOf(handle), before);
      } else {
        expectPassedOver(*pPoint, lines);
        expectWalkedQueues(before, shapeOf(handle), *pPoint == FaultPoint::DQueuePushBack);
      }
      queue_close(&handle);
    }
    EXPECT_EQ(heap.leaked(), 0);
  });
}

TEST(FaultSweep, Save) {
  const Folder folder;
  const std::string path = folder.path("settings.ini");
  const std::string old = "[old]\nkept=yes\n";
  (void)cleanWritten();
  Sweep report("save");
  sweep(&report, [&](unsigned n, bool* pIsFired, FaultPoint* pPoint) {
    folder.write("settings.ini", old);
    HeapCheck heap;
    {
      VaskCommonDQueueHandle_t handle = cleanQueue();
      const std::vector<Shape> before = shapeOf(handle);
      TraceCapture trace;
      VaskInitializationWriterHandle_t writer = 0;
      ASSERT_EQ(VaskInitializationWriter_open(&writer), VaskCommonError_Success);
      vask::test::faultArmAny(n, kCode);
      const int result = VaskInitializationWriter_save(writer, path.c_str(), handle);
      vask::test::faultDisarm();
      *pIsFired = vask::test::faultFired();
      *pPoint = vask::test::faultFiredPoint();
      EXPECT_EQ(VaskInitializationWriter_close(&writer), VaskCommonError_Success);
      const Lines lines = trace.lines();
      // Whatever happened, no temporary file is left beside the target.
      EXPECT_EQ(folder.names(), std::vector<std::string>{"settings.ini"});
      if (result != VaskCommonError_Success) {
        EXPECT_TRUE(*pIsFired);
        EXPECT_EQ(result, isAllocation(*pPoint) ? VaskCommonError_NoMemory : kCode);
        const std::string saveLine = writerLine('E', "VaskInitializationWriter_save", result);
        const Lines created{saveLine};
        const Lines serialized{writerLine('E', "VaskInitializationWriter_serialize", result),
                               saveLine};
        EXPECT_TRUE(lines == created || lines == serialized) << testing::PrintToString(lines);
        if (lines == created && !isAllocation(*pPoint)) {
          EXPECT_TRUE(*pPoint == FaultPoint::BufferCreate || *pPoint == FaultPoint::BufferSave2)
              << vask::test::faultPointName(*pPoint);
        }
        EXPECT_EQ(folder.read("settings.ini"), old);  // the old file stays whole
        EXPECT_EQ(shapeOf(handle), before);
      } else if (lines.empty()) {
        EXPECT_TRUE(!*pIsFired || isAllocation(*pPoint)) << vask::test::faultPointName(*pPoint);
        EXPECT_EQ(folder.read("settings.ini"), cleanWritten());
        EXPECT_EQ(shapeOf(handle), before);
      } else {
        expectPassedOver(*pPoint, lines);
        expectWalkedQueues(before, shapeOf(handle), *pPoint == FaultPoint::DQueuePushBack);
      }
      queue_close(&handle);
    }
    EXPECT_EQ(heap.leaked(), 0);
  });
}

// Deleting sections as a host does. A queue close that fails inside the
// delete leaves the section to be deleted again; the sweep does that once
// nothing fails any more, so nothing leaks.
TEST(FaultSweep, SectionDelete) {
  Sweep report("section delete");
  sweep(&report, [](unsigned n, bool* pIsFired, FaultPoint* pPoint) {
    HeapCheck heap;
    {
      VaskCommonDQueueHandle_t handle = cleanQueue();
      std::vector<VaskInitializationSection_t*> sections;
      for (void* pItem : vask::test::queueItems(handle)) {
        sections.push_back(static_cast<VaskInitializationSection_t*>(pItem));
      }
      for (size_t i = 0; i < sections.size(); ++i) {
        void* pItem = nullptr;
        ASSERT_EQ(VaskCommonDQueue_popFront(handle, &pItem), VaskCommonError_Success);
      }
      TraceCapture trace;
      std::vector<int> results(sections.size());  // nothing is allocated while armed
      vask::test::faultArmAny(n, kCode);
      for (size_t i = 0; i < sections.size(); ++i) {
        results[i] = VaskInitializationSection_delete(&sections[i]);
      }
      vask::test::faultDisarm();
      *pIsFired = vask::test::faultFired();
      *pPoint = vask::test::faultFiredPoint();
      const Lines lines = trace.lines();
      size_t failed = 0;
      for (size_t i = 0; i < sections.size(); ++i) {
        if (results[i] != VaskCommonError_Success) {
          ++failed;
          EXPECT_EQ(results[i], kCode);
          EXPECT_NE(sections[i], nullptr);  // kept for another try
          EXPECT_EQ(VaskInitializationSection_delete(&sections[i]), VaskCommonError_Success);
        }
        EXPECT_EQ(sections[i], nullptr);
      }
      if (*pIsFired) {
        EXPECT_EQ(*pPoint, FaultPoint::DQueueClose);
        EXPECT_EQ(failed, 1U);
        EXPECT_EQ(lines, Lines{sectionLine("VaskInitializationSection_delete", kCode)});
      } else {
        EXPECT_EQ(failed, 0U);
        EXPECT_EQ(lines, Lines{});
      }
      queue_close(&handle);
    }
    EXPECT_EQ(heap.leaked(), 0);
  });
}

}  // namespace

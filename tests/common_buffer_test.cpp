#include <gtest/gtest.h>

#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fault.h"
#include "folder.h"
#include "heap.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;
using vask::test::HeapCheck;

// A fresh folder for each test.
class BufferTest : public testing::Test {
 protected:
  std::string path(const std::string& name) const { return folder_.path(name); }
  void write(const std::string& name, const std::string& text) const { folder_.write(name, text); }
  std::string read(const std::string& name) const { return folder_.read(name); }
  std::vector<std::string> names() const { return folder_.names(); }
  VaskCommonBuffer_t* load(const std::string& name, int expected = VaskCommonError_Success,
                           size_t offset = 0, size_t size = 0) {
    VaskCommonBuffer_t* pBuffer = nullptr;
    EXPECT_EQ(VaskCommonBuffer_create(&pBuffer), VaskCommonError_Success);
    EXPECT_EQ(VaskCommonBuffer_load2(path(name).c_str(), offset, size, pBuffer), expected);
    return pBuffer;
  }
  static int save(const std::string& text, const std::string& file) {
    VaskCommonBuffer_t buffer{const_cast<char*>(text.data()), 0, text.size(), nullptr, false};
    return VaskCommonBuffer_save2(&buffer, file.c_str(), 0);
  }

  vask::test::TempFolder folder_;
};

TEST_F(BufferTest, CreateAndDeleteAnEmptyRecord) {
  VaskCommonBuffer_t* pBuffer = nullptr;
  ASSERT_EQ(VaskCommonBuffer_create(&pBuffer), VaskCommonError_Success);
  EXPECT_EQ(pBuffer->pBegin, nullptr);
  EXPECT_EQ(pBuffer->size, 0U);
  EXPECT_FALSE(pBuffer->isAllocated);
  EXPECT_EQ(VaskCommonBuffer_create(&pBuffer), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonBuffer_create(nullptr), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonBuffer_delete(&pBuffer), VaskCommonError_Success);
  EXPECT_EQ(pBuffer, nullptr);
  EXPECT_EQ(VaskCommonBuffer_delete(&pBuffer), VaskCommonError_Success);
  EXPECT_EQ(VaskCommonBuffer_delete(nullptr), VaskCommonError_Success);
}

TEST_F(BufferTest, CreateReportsAFailedAllocation) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  VaskCommonBuffer_t* pBuffer = nullptr;
  FaultScope fault(FaultPoint::Calloc, 1, 0);
  EXPECT_EQ(VaskCommonBuffer_create(&pBuffer), VaskCommonError_NoMemory);
  EXPECT_EQ(pBuffer, nullptr);
}

TEST_F(BufferTest, LoadsTheWholeFileFollowedByAZeroByte) {
  const std::string text("[s]\r\nk=v\0tail\n", 14);
  write("a.ini", text);
  VaskCommonBuffer_t* pBuffer = load("a.ini");
  ASSERT_NE(pBuffer->pBegin, nullptr);
  EXPECT_EQ(std::string(pBuffer->pBegin, pBuffer->size), text);
  EXPECT_EQ(pBuffer->pBegin[pBuffer->size], '\0');
  EXPECT_TRUE(pBuffer->isAllocated);
  VaskCommonBuffer_delete(&pBuffer);
}

TEST_F(BufferTest, AnEmptyFileGivesANonNullEmptyText) {
  write("empty.ini", "");
  VaskCommonBuffer_t* pBuffer = load("empty.ini");
  ASSERT_NE(pBuffer->pBegin, nullptr);
  EXPECT_EQ(pBuffer->size, 0U);
  EXPECT_EQ(pBuffer->pBegin[0], '\0');
  VaskCommonBuffer_delete(&pBuffer);
}

TEST_F(BufferTest, OffsetAndSizeSelectAPartOfTheFile) {
  write("a.ini", "0123456789");
  VaskCommonBuffer_t* pBuffer = load("a.ini", VaskCommonError_Success, 3, 4);
  EXPECT_EQ(std::string(pBuffer->pBegin, pBuffer->size), "3456");
  VaskCommonBuffer_delete(&pBuffer);
  pBuffer = load("a.ini", VaskCommonError_Success, 8, 0);
  EXPECT_EQ(std::string(pBuffer->pBegin, pBuffer->size), "89");
  VaskCommonBuffer_delete(&pBuffer);
  pBuffer = load("a.ini", VaskCommonError_Success, 20, 0);
  EXPECT_EQ(pBuffer->size, 0U);
  VaskCommonBuffer_delete(&pBuffer);
}

TEST_F(BufferTest, LoadReportsFilesThatCannotBeRead) {
  HeapCheck heap;
  write("plain", "x");
  struct Case {
    std::string name;
    int code;
  };
  for (const Case& c : {Case{"missing.ini", VaskCommonError_NotFound},
                        Case{"plain/below.ini", VaskCommonError_NotFound}}) {
    VaskCommonBuffer_t* pBuffer = load(c.name, c.code);
    EXPECT_EQ(pBuffer->pBegin, nullptr) << c.name;
    VaskCommonBuffer_delete(&pBuffer);
  }
  VaskCommonBuffer_t* pBuffer = nullptr;
  ASSERT_EQ(VaskCommonBuffer_create(&pBuffer), VaskCommonError_Success);
  EXPECT_EQ(VaskCommonBuffer_load2(folder_.root().c_str(), 0, 0, pBuffer),
            VaskCommonError_IsDirectory);
  EXPECT_EQ(VaskCommonBuffer_load2("", 0, 0, pBuffer), VaskCommonError_NotFound);
  VaskCommonBuffer_delete(&pBuffer);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST_F(BufferTest, LoadOfAFileWithoutReadPermission) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "root reads every file";
  }
  write("secret.ini", "k=v\n");
  chmod(path("secret.ini").c_str(), 0);
  VaskCommonBuffer_t* pBuffer = load("secret.ini", VaskCommonError_AccessDenied);
  VaskCommonBuffer_delete(&pBuffer);
}

TEST_F(BufferTest, LoadRefusesBadArgumentsAndAFilledRecord) {
  write("a.ini", "x");
  VaskCommonBuffer_t* pBuffer = load("a.ini");
  char* pBegin = pBuffer->pBegin;
  EXPECT_EQ(VaskCommonBuffer_load2(path("a.ini").c_str(), 0, 0, pBuffer),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(pBuffer->pBegin, pBegin);
  EXPECT_EQ(VaskCommonBuffer_load2(nullptr, 0, 0, pBuffer), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonBuffer_load2(path("a.ini").c_str(), 0, 0, nullptr),
            VaskCommonError_InvalidArgument);
  VaskCommonBuffer_delete(&pBuffer);
}

TEST_F(BufferTest, LoadReportsAFailedAllocationAndKeepsTheRecordEmpty) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  HeapCheck heap;
  write("a.ini", "k=v\n");
  VaskCommonBuffer_t* pBuffer = nullptr;
  ASSERT_EQ(VaskCommonBuffer_create(&pBuffer), VaskCommonError_Success);
  {
    FaultScope fault(FaultPoint::Realloc, 1, 0);
    EXPECT_EQ(VaskCommonBuffer_load2(path("a.ini").c_str(), 0, 0, pBuffer),
              VaskCommonError_NoMemory);
  }
  EXPECT_EQ(pBuffer->pBegin, nullptr);
  EXPECT_EQ(pBuffer->size, 0U);
  VaskCommonBuffer_delete(&pBuffer);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST_F(BufferTest, SaveWritesTheBytesAndLeavesNoTemporaryFile) {
  ASSERT_EQ(save("[s]\n\nk=v\n", path("out.ini")), VaskCommonError_Success);
  EXPECT_EQ(read("out.ini"), "[s]\n\nk=v\n");
  EXPECT_EQ(names(), std::vector<std::string>{"out.ini"});
  VaskCommonBuffer_t buffer{const_cast<char*>("0123456789"), 0, 10, nullptr, false};
  ASSERT_EQ(VaskCommonBuffer_save2(&buffer, path("tail.ini").c_str(), 6), VaskCommonError_Success);
  EXPECT_EQ(read("tail.ini"), "6789");
}

TEST_F(BufferTest, SaveReplacesAnExistingFileWholeAndKeepsItsPermissionBits) {
  write("out.ini", std::string(5000, 'o'));
  ASSERT_EQ(chmod(path("out.ini").c_str(), 0640), 0);
  ASSERT_EQ(save("new\n", path("out.ini")), VaskCommonError_Success);
  EXPECT_EQ(read("out.ini"), "new\n");
  struct stat status {};
  ASSERT_EQ(stat(path("out.ini").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640U);
  EXPECT_EQ(names(), std::vector<std::string>{"out.ini"});
}

TEST_F(BufferTest, SaveOfAnEmptyRecordMakesAnEmptyFile) {
  VaskCommonBuffer_t buffer{};
  ASSERT_EQ(VaskCommonBuffer_save2(&buffer, path("empty.ini").c_str(), 0), VaskCommonError_Success);
  EXPECT_EQ(read("empty.ini"), "");
}

TEST_F(BufferTest, AFailedSaveLeavesTheOldFileWholeAndNothingBehind) {
  write("plain", "x");
  EXPECT_EQ(save("new", path("missing/out.ini")), VaskCommonError_NotFound);
  EXPECT_EQ(save("new", path("plain/out.ini")), VaskCommonError_NotFound);
  ASSERT_EQ(mkdir(path("folder").c_str(), 0755), 0);
  EXPECT_EQ(save("new", path("folder")), VaskCommonError_IsDirectory);
  rmdir(path("folder").c_str());
  EXPECT_EQ(names(), std::vector<std::string>{"plain"});
  EXPECT_EQ(read("plain"), "x");
}

TEST_F(BufferTest, SaveIntoAReadOnlyFolder) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "root writes into every folder";
  }
  write("keep.ini", "old");
  chmod(folder_.root().c_str(), 0555);
  EXPECT_EQ(save("new", path("keep.ini")), VaskCommonError_AccessDenied);
  chmod(folder_.root().c_str(), 0755);
  EXPECT_EQ(read("keep.ini"), "old");
  EXPECT_EQ(names(), std::vector<std::string>{"keep.ini"});
}

TEST_F(BufferTest, SaveRefusesBadArguments) {
  VaskCommonBuffer_t buffer{const_cast<char*>("abc"), 0, 3, nullptr, false};
  EXPECT_EQ(VaskCommonBuffer_save2(nullptr, path("a").c_str(), 0), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonBuffer_save2(&buffer, nullptr, 0), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonBuffer_save2(&buffer, "", 0), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonBuffer_save2(&buffer, path("a").c_str(), 4), VaskCommonError_InvalidArgument);
  VaskCommonBuffer_t broken{nullptr, 0, 3, nullptr, false};
  EXPECT_EQ(VaskCommonBuffer_save2(&broken, path("a").c_str(), 0), VaskCommonError_InvalidArgument);
  EXPECT_TRUE(names().empty());
}

TEST_F(BufferTest, SaveReportsAFailedAllocationAndLeavesTheOldFile) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  write("keep.ini", "old");
  const std::string file = path("keep.ini");
  HeapCheck heap;
  {
    FaultScope fault(FaultPoint::Malloc, 1, 0);
    EXPECT_EQ(save("new", file), VaskCommonError_NoMemory);
  }
  EXPECT_EQ(read("keep.ini"), "old");
  EXPECT_EQ(names(), std::vector<std::string>{"keep.ini"});
  EXPECT_EQ(heap.leaked(), 0);
}

}  // namespace

#include <gtest/gtest.h>

#include <vask_common_c/common_error.h>

#include <cerrno>
#include <string>

namespace {

// Each system error names its cause: errno, the code, and the code's text.
TEST(Error, EachSystemErrorGivesTheCodeThatNamesIt) {
  struct Row {
    int number, code;
    const char* pText;
  };
  const Row kRows[] = {
      {ENOENT, 2, "no such file or folder"},
      {ENOTDIR, 2, "no such file or folder"},
      {EACCES, 3, "access denied"},
      {EPERM, 3, "access denied"},
      {EROFS, 22, "read-only file system"},
      {ELOOP, 23, "too many levels of symbolic links"},
      {ENAMETOOLONG, 24, "file name too long"},
      {ENOSPC, 7, "no space left on device"},
      {EFBIG, 7, "no space left on device"},
      {EDQUOT, 25, "disk quota exceeded"},
      {EISDIR, 6, "is a folder"},
      {ENXIO, 15, "not a regular file"},
      {ENOMEM, 5, "out of memory"},
      {EIO, 4, "input/output error"},
      {EXDEV, 4, "input/output error"},
      {0, 4, "input/output error"},
  };
  for (const Row& row : kRows) {
    const int code = VaskCommonError_fromErrno(row.number);
    EXPECT_EQ(code, row.code) << row.number;
    EXPECT_STREQ(VaskCommonError_text(code), row.pText) << row.number;
  }
}

TEST(Error, EveryCodeHasATextAndOthersAreUnknown) {
  std::string texts;
  for (int code = -1; code <= 33; ++code) {
    texts += std::string(VaskCommonError_text(code)) == "unknown error" ? "?" : "+";
  }
  EXPECT_EQ(texts, "?+++++++++????+++++++++++++????????");  // -1 to 33
  EXPECT_STREQ(VaskCommonError_text(VaskCommonError_FileChanged),
               "the file changed since it was read");
  EXPECT_STREQ(VaskCommonError_text(VaskCommonError_TooLarge), "the input is larger than allowed");
  EXPECT_STREQ(VaskCommonError_text(1 << 30), "unknown error");
}

}  // namespace

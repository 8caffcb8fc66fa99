#include <vask_common_c/common_error.h>

#include <cerrno>

namespace {

// The text of each code. No default: the compiler names a code left out (-Wswitch).
const char* error_text(VaskCommonError_t code) {
  switch (code) {
    case VaskCommonError_Success:
      return "success";
    case VaskCommonError_Failure:
      return "failure";
    case VaskCommonError_NotFound:
      return "no such file or folder";
    case VaskCommonError_AccessDenied:
      return "access denied";
    case VaskCommonError_InputOutput:
      return "input/output error";
    case VaskCommonError_NoMemory:
      return "out of memory";
    case VaskCommonError_IsDirectory:
      return "is a folder";
    case VaskCommonError_NoSpace:
      return "no space left on device";
    case VaskCommonError_NotEnabled:
      return "not enabled";
    case VaskCommonError_InvalidArgument:
      return "invalid argument";
    case VaskCommonError_Continue:
      return "continue";
    case VaskCommonError_NotRegularFile:
      return "not a regular file";
    case VaskCommonError_NoEntry:
      return "no such section or key";
    case VaskCommonError_NearMiss:
      return "no such key; one with trailing blanks exists";
    case VaskCommonError_BadValue:
      return "the value is not of that type, or out of range";
    case VaskCommonError_MalformedLine:
      return "malformed line";
    case VaskCommonError_FileChanged:
      return "the file changed since it was read";
    case VaskCommonError_TooLarge:
      return "the input is larger than allowed";
    case VaskCommonError_ReadOnlyFileSystem:
      return "read-only file system";
    case VaskCommonError_LinkLoop:
      return "too many levels of symbolic links";
    case VaskCommonError_NameTooLong:
      return "file name too long";
    case VaskCommonError_QuotaExceeded:
      return "disk quota exceeded";
  }
  return nullptr;
}

}  // namespace

extern "C" const char* VaskCommonError_text(int code) {
  // Every code lies in 0..31, so only those may be read as an enumerator.
  const char* pText =
      code >= 0 && code < 32 ? error_text(static_cast<VaskCommonError_t>(code)) : nullptr;
  return pText != nullptr ? pText : "unknown error";
}

extern "C" int VaskCommonError_fromErrno(int number) {
  switch (number) {
    case ENOENT:
    case ENOTDIR:
      return VaskCommonError_NotFound;
    case EACCES:
    case EPERM:
      return VaskCommonError_AccessDenied;
    case EROFS:
      return VaskCommonError_ReadOnlyFileSystem;
    case ELOOP:
      return VaskCommonError_LinkLoop;
    case ENAMETOOLONG:
      return VaskCommonError_NameTooLong;
    case ENOSPC:
    case EFBIG:
      return VaskCommonError_NoSpace;
    case EDQUOT:
      return VaskCommonError_QuotaExceeded;
    case EISDIR:
      return VaskCommonError_IsDirectory;
    case ENXIO:  // a socket, or a device without its driver
      return VaskCommonError_NotRegularFile;
    case ENOMEM:
      return VaskCommonError_NoMemory;
    default:
      return VaskCommonError_InputOutput;
  }
}

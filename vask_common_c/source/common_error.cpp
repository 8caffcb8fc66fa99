#include <vask_common_c/common_error.h>

#include <cerrno>

extern "C" const char* VaskCommonError_text(int code) {
  switch (code) {
#define VASK_COMMON_ERROR_CASE(name, value, text) \
  case (value):                                   \
    return (text);
    VASK_COMMON_ERROR_LIST(VASK_COMMON_ERROR_CASE)
#undef VASK_COMMON_ERROR_CASE
    default:
      return "unknown error";
  }
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

#include <vask_common_c/common_error.h>

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

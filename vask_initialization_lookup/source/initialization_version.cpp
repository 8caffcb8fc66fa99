// The runtime version: the string the library was built with, which may differ
// from the macros a host was compiled against.
#include <initialization_version.h>

extern "C" const char* VaskInitializationLookup_version(void) {
  return VASK_INITIALIZATION_VERSION_STRING;
}

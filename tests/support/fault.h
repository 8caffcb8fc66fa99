// Fault injection for tests: makes the N-th call of an allocation function or
// of a support-library function fail. A failing support call does nothing and
// returns the chosen code, except the memory stream's close, which still ends
// the stream (as a real failing close does) but hands out no text. The test executable defines
// calloc, malloc, realloc and the support functions itself; the dynamic linker binds every caller
// (the libraries included) to these, and each forwards to the real function unless it is the call
// chosen to fail.
#ifndef VASK_TESTS_SUPPORT_FAULT_H
#define VASK_TESTS_SUPPORT_FAULT_H

#include <cstddef>

namespace vask::test {

enum class FaultPoint {
  Calloc,
  Malloc,
  Realloc,
  DQueueOpen,
  DQueueClose,
  DQueuePushBack,
  DQueuePopFront,
  MemStreamOpen,
  MemStreamClose,
  BufferCreate,
  BufferLoad2,
  BufferSave2,
  Count
};

const char* faultPointName(FaultPoint point);

// Fails the nth call (1 = the next one) of `point` from now on with `code`
// (an allocation returns null instead). Counting starts at this call.
void faultArm(FaultPoint point, unsigned nth, int code);

// Fails the nth call of any fault point from now on with `code`.
void faultArmAny(unsigned nth, int code);

// Stops counting and failing.
void faultDisarm();

// Whether the armed failure has happened, and where.
bool faultFired();
FaultPoint faultFiredPoint();

// Calls of each point (or of all points) seen since the last arm.
unsigned faultCalls(FaultPoint point);
unsigned faultCallsAll();

// False where the allocation functions cannot be replaced (under
// AddressSanitizer); tests of allocation failures skip themselves then.
bool faultAllocationsAvailable();

#define VASK_REQUIRE_ALLOCATION_FAULTS()                                      \
  do {                                                                        \
    if (!::vask::test::faultAllocationsAvailable()) {                         \
      GTEST_SKIP() << "allocation faults need the plain (or valgrind) build"; \
    }                                                                         \
  } while (false)

// Arms on construction, disarms when it leaves scope.
class FaultScope {
 public:
  FaultScope(FaultPoint point, unsigned nth, int code) { faultArm(point, nth, code); }
  FaultScope(unsigned nth, int code) { faultArmAny(nth, code); }
  ~FaultScope() { faultDisarm(); }
  FaultScope(const FaultScope&) = delete;
  FaultScope& operator=(const FaultScope&) = delete;
};

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_FAULT_H

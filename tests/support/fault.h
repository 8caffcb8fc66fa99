// Fault injection: the test executable defines calloc, malloc, realloc, free and the support
// functions itself, so every caller (the libraries too) binds to them; each forwards to the
// real one unless its call is chosen to fail: then an allocation returns null, a support
// call does nothing (but a stream or file close, which still releases) and returns the
// chosen code.
#ifndef VASK_TESTS_SUPPORT_FAULT_H
#define VASK_TESTS_SUPPORT_FAULT_H

// 1 where a sanitizer owns the heap (and runs slower): there only support calls fail.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VASK_TEST_SANITIZER 1
#elif defined(__has_feature)
#define VASK_TEST_SANITIZER (__has_feature(address_sanitizer) || __has_feature(thread_sanitizer))
#else
#define VASK_TEST_SANITIZER 0
#endif

namespace vask::test {

// clang-format off
enum class FaultPoint {
  Calloc, Malloc, Realloc,
  DQueueOpen, DQueueClose, DQueuePushBack, DQueuePopFront, DQueueAt, DQueueInsert, DQueueRemove,
  MemStreamOpen, MemStreamClose, BufferCreate, BufferLoad2, BufferSave2,
  FileOpen, FileSave, FileRead, FileClose, Count
};
// clang-format on

// Fails the nth call (1: the next one) of `point`, or of any point, with `code`.
void faultArm(FaultPoint point, unsigned nth, int code);
inline void faultArmAny(unsigned nth, int code) {
  faultArm(FaultPoint::Count, nth, code);
}
void faultDisarm();
bool faultFired();             // since the last arm
FaultPoint faultFiredPoint();  // Count when none fired
constexpr bool faultAllocationsAvailable() {
  return !VASK_TEST_SANITIZER;
}

#define VASK_REQUIRE_ALLOCATION_FAULTS()                                      \
  do {                                                                        \
    if (!::vask::test::faultAllocationsAvailable()) {                         \
      GTEST_SKIP() << "allocation faults need the plain (or valgrind) build"; \
    }                                                                         \
  } while (false)

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

// Bytes of heap in use, for leak checks around one operation: counted by the
// test executable's own allocation functions (fault.cpp), which every heap
// call of the process goes through.
#ifndef VASK_TESTS_SUPPORT_HEAP_H
#define VASK_TESTS_SUPPORT_HEAP_H

#include <cstddef>

namespace vask::test {

size_t heapInUse();  // defined in fault.cpp

// Takes the heap count on construction; delta() is the growth since then.
class HeapCheck {
 public:
  HeapCheck() : before_(heapInUse()) {}
  long long delta() const {
    return static_cast<long long>(heapInUse()) - static_cast<long long>(before_);
  }
  // Growth that was not given back; a library may free a lazy buffer of its
  // own in between, so shrinking is no failure.
  long long leaked() const { return delta() > 0 ? delta() : 0; }

 private:
  size_t before_;
};

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_HEAP_H

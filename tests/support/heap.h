// Leak checks around an operation: the heap in use as the test executable's allocation
// functions (fault.cpp) count it. Only growth that was not given back is a leak: a
// library may free a lazy buffer of its own in between.
#ifndef VASK_TESTS_SUPPORT_HEAP_H
#define VASK_TESTS_SUPPORT_HEAP_H

#include <cstddef>

namespace vask::test {

size_t heapInUse();

class HeapCheck {
 public:
  long long leaked() const { return heapInUse() > before_ ? heapInUse() - before_ : 0; }

 private:
  size_t before_ = heapInUse();
};

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_HEAP_H

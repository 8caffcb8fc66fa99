// Leak checks around an operation: growth of the heap, as the test executable's allocation
// functions (fault.cpp) count it, that was not given back.
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

// How a fuzz target reports a finding: a message, then abort, so that libFuzzer keeps the input.
#ifndef VASK_FUZZ_FUZZ_FAIL_H
#define VASK_FUZZ_FUZZ_FAIL_H

#include <cstdio>
#include <cstdlib>

namespace vask::fuzz {

[[noreturn]] inline void fail(const char* pWhat) {
  std::fprintf(stderr, "finding: %s\n", pWhat);
  std::abort();
}

}  // namespace vask::fuzz

#endif  // VASK_FUZZ_FUZZ_FAIL_H

// A block counts as malloc_usable_size plus the 8-byte chunk header that the C
// library's allocator keeps in front of every block: what the block takes from
// the heap, apart from fragmentation. Every block freed while counting is taken
// off, so `current` after a load is what the loaded structure keeps, and `peak`
// the most it took at any moment of the load (file buffer included).
//
// While counting is off, the only cost on the timed paths is one flag test.
#include "heap_count.h"

#include <malloc.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pData, size_t size);
void __libc_free(void* pData);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
}

namespace {

constexpr long long kChunkHeader = sizeof(size_t);

bool gIsCounting = false;
long long gCurrent = 0;
long long gPeak = 0;

long long block_bytes(void* pData) {
  return static_cast<long long>(malloc_usable_size(pData)) + kChunkHeader;
}

void* count_add(void* pData) {
  if (gIsCounting && pData != nullptr) {
    gCurrent += block_bytes(pData);
    if (gCurrent > gPeak) {
      gPeak = gCurrent;
    }
  }
  return pData;
}

void count_remove(void* pData) {
  if (gIsCounting && pData != nullptr) {
    gCurrent -= block_bytes(pData);
  }
}

}  // namespace

namespace vask::bench {

void heapCountStart() {
  gCurrent = 0;
  gPeak = 0;
  gIsCounting = true;
}

HeapCount_t heapCountStop() {
  gIsCounting = false;
  return HeapCount_t{gCurrent, gPeak};
}

}  // namespace vask::bench

extern "C" {

void* malloc(size_t size) {
  return count_add(__libc_malloc(size));
}

void* calloc(size_t count, size_t size) {
  return count_add(__libc_calloc(count, size));
}

void* realloc(void* pData, size_t size) {
  if (!gIsCounting) {
    return __libc_realloc(pData, size);
  }
  const long long before = pData != nullptr ? block_bytes(pData) : 0;
  void* pResult = __libc_realloc(pData, size);
  if (pResult != nullptr || size == 0) {
    gCurrent -= before;
  }
  return count_add(pResult);
}

void free(void* pData) {
  count_remove(pData);
  __libc_free(pData);
}

void* memalign(size_t alignment, size_t size) {
  return count_add(__libc_memalign(alignment, size));
}

void* aligned_alloc(size_t alignment, size_t size) {
  return count_add(__libc_memalign(alignment, size));
}

int posix_memalign(void** ppData, size_t alignment, size_t size) {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) {
    return EINVAL;
  }
  void* pData = count_add(__libc_memalign(alignment, size));
  if (pData == nullptr && size != 0) {
    return ENOMEM;
  }
  *ppData = pData;
  return 0;
}

void* valloc(size_t size) {
  return count_add(__libc_valloc(size));
}

void* pvalloc(size_t size) {
  return count_add(__libc_pvalloc(size));
}

}  // extern "C"

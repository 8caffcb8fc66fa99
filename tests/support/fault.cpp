#include "fault.h"

#include <dlfcn.h>
#include <malloc.h>

#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_file.h>
#include <vask_common_c/common_memstream.h>

#include <atomic>
#include <cstdlib>

#include "heap.h"

using vask::test::FaultPoint;

namespace {

struct {
  FaultPoint point, fired;  // point: Count for any
  unsigned nth, calls;      // nth: 0 when disarmed
  int code;
} gState{FaultPoint::Count, FaultPoint::Count, 0, 0, 0};

// Counts a call of `point` and says whether it is the one to fail. Disarmed, it
// only reads, so threads may call the support functions meanwhile.
bool fault_take(FaultPoint point) {
  if (gState.nth == 0 || gState.fired != FaultPoint::Count ||
      (gState.point != FaultPoint::Count && point != gState.point) ||
      ++gState.calls != gState.nth) {
    return false;
  }
  gState.fired = point;
  return true;
}

std::atomic<long long> gHeapInUse{0};  // bytes, as malloc_usable_size counts them

[[maybe_unused]] long long heap_size(void* pData) {
  return static_cast<long long>(pData != nullptr ? malloc_usable_size(pData) : 0);
}

[[maybe_unused]] void* heap_counted(void* pData) {
  gHeapInUse += heap_size(pData);
  return pData;
}

}  // namespace

void vask::test::faultArm(FaultPoint point, unsigned nth, int code) {
  gState = {point, FaultPoint::Count, nth, 0, code};
}
void vask::test::faultDisarm() {
  gState.nth = 0;
}
bool vask::test::faultFired() {
  return gState.fired != FaultPoint::Count;
}
FaultPoint vask::test::faultFiredPoint() {
  return gState.fired;
}

#if VASK_TEST_SANITIZER
extern "C" size_t __sanitizer_get_current_allocated_bytes();
size_t vask::test::heapInUse() {
  return __sanitizer_get_current_allocated_bytes();
}
#else
size_t vask::test::heapInUse() {
  return static_cast<size_t>(gHeapInUse.load());
}

// The C library's allocation functions, under the names it also exports them by.
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_realloc(void* pData, size_t size);
extern "C" void __libc_free(void* pData);

extern "C" void* calloc(size_t count, size_t size) {
  return fault_take(FaultPoint::Calloc) ? nullptr : heap_counted(__libc_calloc(count, size));
}
extern "C" void* malloc(size_t size) {
  return fault_take(FaultPoint::Malloc) ? nullptr : heap_counted(__libc_malloc(size));
}
extern "C" void* realloc(void* pOld, size_t size) {
  const long long before = heap_size(pOld);
  void* pData = fault_take(FaultPoint::Realloc) ? nullptr : __libc_realloc(pOld, size);
  gHeapInUse -= pData != nullptr || size == 0 ? before : 0;
  return heap_counted(pData);
}
extern "C" void free(void* pData) {
  gHeapInUse -= heap_size(pData);
  __libc_free(pData);
}
#endif

// The real function behind one of ours, looked up once.
#define VASK_NEXT(name) \
  static const auto pNext = reinterpret_cast<decltype(&(name))>(dlsym(RTLD_NEXT, #name))
#define VASK_FORWARD(point, name, parameters, arguments)                  \
  extern "C" int name parameters {                                        \
    VASK_NEXT(name);                                                      \
    return fault_take(FaultPoint::point) ? gState.code : pNext arguments; \
  }

using Queue = VaskCommonDQueueHandle_t;
using Buffer = VaskCommonBuffer_t;
VASK_FORWARD(DQueueOpen, VaskCommonDQueue_open, (const VaskCommonDQueueOpenParam_t* p, Queue* h),
             (p, h))
VASK_FORWARD(DQueueClose, VaskCommonDQueue_close, (Queue * h), (h))
VASK_FORWARD(DQueuePushBack, VaskCommonDQueue_pushBack, (Queue h, void** pp), (h, pp))
VASK_FORWARD(DQueuePopFront, VaskCommonDQueue_popFront, (Queue h, void** pp), (h, pp))
VASK_FORWARD(DQueueAt, VaskCommonDQueue_at, (Queue h, size_t i, void** pp), (h, i, pp))
VASK_FORWARD(DQueueInsert, VaskCommonDQueue_insert, (Queue h, size_t i, void** pp), (h, i, pp))
VASK_FORWARD(DQueueRemove, VaskCommonDQueue_remove, (Queue h, size_t i, void** pp), (h, i, pp))
VASK_FORWARD(MemStreamOpen, VaskCommonMemStream_open, (uintptr_t * h, FILE** pp), (h, pp))
VASK_FORWARD(BufferCreate, VaskCommonBuffer_create, (Buffer * *pp), (pp))
VASK_FORWARD(BufferLoad2, VaskCommonBuffer_load2, (const char* p, size_t o, size_t s, Buffer* pB),
             (p, o, s, pB))
VASK_FORWARD(BufferSave2, VaskCommonBuffer_save2, (Buffer * pB, const char* p, size_t o),
             (pB, p, o))
using File = VaskCommonFileHandle_t;
VASK_FORWARD(FileOpen, VaskCommonFile_open,
             (const char* p, const VaskCommonFileOpenParam_t* pP, File* h, Buffer* pB),
             (p, pP, h, pB))
VASK_FORWARD(FileSave, VaskCommonFile_save, (File h, const char* p, size_t s, Buffer* pL),
             (h, p, s, pL))
VASK_FORWARD(FileRead, VaskCommonFile_read, (int fd, size_t m, Buffer* pB), (fd, m, pB))

// A close that fails still releases the file.
extern "C" int VaskCommonFile_close(File* h) {
  VASK_NEXT(VaskCommonFile_close);
  const bool isFailing = fault_take(FaultPoint::FileClose);
  const int result = pNext(h);
  return isFailing ? gState.code : result;
}

extern "C" int VaskCommonMemStream_close(uintptr_t* h, char** ppData, size_t* pSize) {
  VASK_NEXT(VaskCommonMemStream_close);
  char* pData = nullptr;  // a close that fails still ends the stream, but hands out no text
  const bool isFailing = fault_take(FaultPoint::MemStreamClose);
  const int result = pNext(h, isFailing ? &pData : ppData, isFailing ? nullptr : pSize);
  std::free(pData);
  return isFailing ? gState.code : result;
}

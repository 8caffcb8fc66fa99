#include "fault.h"

#include <dlfcn.h>
#include <malloc.h>

#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_memstream.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define VASK_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VASK_TEST_ASAN 1
#endif
#endif

#ifdef VASK_TEST_ASAN
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace vask::test {
namespace {

struct State_t {
  bool isArmed;
  bool isAny;
  FaultPoint point;
  unsigned nth;
  int code;
  bool isFired;
  FaultPoint firedPoint;
  unsigned calls[static_cast<int>(FaultPoint::Count)];
  unsigned callsAll;
};

State_t gState{};

// Counts a call of `point` and says whether it is the one to fail.
bool fault_take(FaultPoint point) {
  if (!gState.isArmed) {
    return false;
  }
  ++gState.calls[static_cast<int>(point)];
  ++gState.callsAll;
  const unsigned count = gState.isAny ? gState.callsAll : gState.calls[static_cast<int>(point)];
  if (gState.isFired || (!gState.isAny && point != gState.point) || count != gState.nth) {
    return false;
  }
  gState.isFired = true;
  gState.firedPoint = point;
  return true;
}

bool gIsResolving = false;  // set while dlsym looks up a real function

#ifndef VASK_TEST_ASAN
// Bytes of heap in use, as malloc_usable_size counts them; for leak checks.
std::atomic<long long> gHeapInUse{0};

void* heap_count(void* pData) {
  if (pData != nullptr) {
    gHeapInUse += static_cast<long long>(malloc_usable_size(pData));
  }
  return pData;
}

// dlsym may allocate while the allocation functions are being looked up; those
// few early calls are served from a small arena that is never given back.
alignas(std::max_align_t) char gArena[4096];
size_t gArenaUsed = 0;

void* arena_take(size_t size) {
  size = (size + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
  if (gArenaUsed + size > sizeof(gArena)) {
    std::abort();
  }
  void* p = gArena + gArenaUsed;
  gArenaUsed += size;
  return p;
}

bool arena_has(const void* pData) {
  return pData >= static_cast<const void*>(gArena) &&
         pData < static_cast<const void*>(gArena + sizeof(gArena));
}
#endif

template <typename Function_t>
Function_t next_resolve(const char* pName) {
  gIsResolving = true;
  auto pFunction = reinterpret_cast<Function_t>(dlsym(RTLD_NEXT, pName));
  gIsResolving = false;
  if (pFunction == nullptr) {
    std::abort();
  }
  return pFunction;
}

// The real function behind one of ours, looked up once.
#define VASK_NEXT(name) \
  static const auto pNext = ::vask::test::next_resolve<decltype(&::name)>(#name)

}  // namespace

const char* faultPointName(FaultPoint point) {
  static const char* const kName[] = {"calloc",
                                      "malloc",
                                      "realloc",
                                      "VaskCommonDQueue_open",
                                      "VaskCommonDQueue_close",
                                      "VaskCommonDQueue_pushBack",
                                      "VaskCommonDQueue_popFront",
                                      "VaskCommonMemStream_open",
                                      "VaskCommonMemStream_close",
                                      "VaskCommonBuffer_create",
                                      "VaskCommonBuffer_load2",
                                      "VaskCommonBuffer_save2"};
  return point < FaultPoint::Count ? kName[static_cast<int>(point)] : "?";
}

void faultArm(FaultPoint point, unsigned nth, int code) {
  gState = State_t{};
  gState.isArmed = true;
  gState.point = point;
  gState.nth = nth;
  gState.code = code;
}

void faultArmAny(unsigned nth, int code) {
  gState = State_t{};
  gState.isArmed = true;
  gState.isAny = true;
  gState.nth = nth;
  gState.code = code;
}

void faultDisarm() {
  gState.isArmed = false;
}
bool faultFired() {
  return gState.isFired;
}
FaultPoint faultFiredPoint() {
  return gState.firedPoint;
}
unsigned faultCalls(FaultPoint point) {
  return gState.calls[static_cast<int>(point)];
}
unsigned faultCallsAll() {
  return gState.callsAll;
}

#ifdef VASK_TEST_ASAN
// AddressSanitizer owns the allocation functions: the executable cannot define
// its own, so allocation faults are not available and the count is its own.
bool faultAllocationsAvailable() {
  return false;
}
size_t heapInUse() {
  return __sanitizer_get_current_allocated_bytes();
}
#else
bool faultAllocationsAvailable() {
  return true;
}
size_t heapInUse() {
  return static_cast<size_t>(gHeapInUse.load());
}
#endif

}  // namespace vask::test

using vask::test::fault_take;
using vask::test::FaultPoint;
using vask::test::gState;

extern "C" {

#ifndef VASK_TEST_ASAN
void* calloc(size_t count, size_t size) {
  if (vask::test::gIsResolving) {
    if (count != 0 && size > SIZE_MAX / count) {
      return nullptr;
    }
    return vask::test::arena_take(count * size);  // the arena starts zero-filled
  }
  VASK_NEXT(calloc);
  return fault_take(FaultPoint::Calloc) ? nullptr : vask::test::heap_count(pNext(count, size));
}

void* malloc(size_t size) {
  if (vask::test::gIsResolving) {
    return vask::test::arena_take(size);
  }
  VASK_NEXT(malloc);
  return fault_take(FaultPoint::Malloc) ? nullptr : vask::test::heap_count(pNext(size));
}

void* realloc(void* pData, size_t size) {
  VASK_NEXT(realloc);
  if (fault_take(FaultPoint::Realloc)) {
    return nullptr;
  }
  const long long before = pData != nullptr ? static_cast<long long>(malloc_usable_size(pData)) : 0;
  void* pResult = pNext(pData, size);
  if (pResult != nullptr || size == 0) {
    vask::test::gHeapInUse -= before;
  }
  return vask::test::heap_count(pResult);
}

void free(void* pData) {
  if (pData == nullptr || vask::test::arena_has(pData)) {
    return;
  }
  VASK_NEXT(free);
  vask::test::gHeapInUse -= static_cast<long long>(malloc_usable_size(pData));
  pNext(pData);
}
#endif

int VaskCommonDQueue_open(const VaskCommonDQueueOpenParam_t* pParam,
                          VaskCommonDQueueHandle_t* pHandle) {
  VASK_NEXT(VaskCommonDQueue_open);
  return fault_take(FaultPoint::DQueueOpen) ? gState.code : pNext(pParam, pHandle);
}

int VaskCommonDQueue_close(VaskCommonDQueueHandle_t* pHandle) {
  VASK_NEXT(VaskCommonDQueue_close);
  return fault_take(FaultPoint::DQueueClose) ? gState.code : pNext(pHandle);
}

int VaskCommonDQueue_pushBack(VaskCommonDQueueHandle_t handle, void** ppData) {
  VASK_NEXT(VaskCommonDQueue_pushBack);
  return fault_take(FaultPoint::DQueuePushBack) ? gState.code : pNext(handle, ppData);
}

int VaskCommonDQueue_popFront(VaskCommonDQueueHandle_t handle, void** ppData) {
  VASK_NEXT(VaskCommonDQueue_popFront);
  return fault_take(FaultPoint::DQueuePopFront) ? gState.code : pNext(handle, ppData);
}

int VaskCommonMemStream_open(VaskCommonMemStreamHandle_t* pHandle, VaskCommonStdioFile_t** ppFile) {
  VASK_NEXT(VaskCommonMemStream_open);
  return fault_take(FaultPoint::MemStreamOpen) ? gState.code : pNext(pHandle, ppFile);
}

int VaskCommonMemStream_close(VaskCommonMemStreamHandle_t* pHandle, char** ppData, size_t* pSize) {
  VASK_NEXT(VaskCommonMemStream_close);
  if (!fault_take(FaultPoint::MemStreamClose)) {
    return pNext(pHandle, ppData, pSize);
  }
  // A close that fails still ends the stream; only the text is not handed out.
  char* pData = nullptr;
  if (pNext(pHandle, &pData, nullptr) == VaskCommonError_Success) {
    std::free(pData);
  }
  return gState.code;
}

int VaskCommonBuffer_create(VaskCommonBuffer_t** ppBuffer) {
  VASK_NEXT(VaskCommonBuffer_create);
  return fault_take(FaultPoint::BufferCreate) ? gState.code : pNext(ppBuffer);
}

int VaskCommonBuffer_load2(const char* pFilename, size_t offset, size_t size,
                           VaskCommonBuffer_t* pBuffer) {
  VASK_NEXT(VaskCommonBuffer_load2);
  return fault_take(FaultPoint::BufferLoad2) ? gState.code
                                             : pNext(pFilename, offset, size, pBuffer);
}

int VaskCommonBuffer_save2(VaskCommonBuffer_t* pBuffer, const char* pFilename, size_t offset) {
  VASK_NEXT(VaskCommonBuffer_save2);
  return fault_take(FaultPoint::BufferSave2) ? gState.code : pNext(pBuffer, pFilename, offset);
}

}  // extern "C"

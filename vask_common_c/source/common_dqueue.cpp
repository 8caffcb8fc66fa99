#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_error.h>

#include <pthread.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Queues of one or two items (a section's comments, many a section's members)
// keep them inside the record, in room the allocator would round it up to anyway.
constexpr uint32_t kInlineCapacity = 2;
constexpr uint32_t kMostCapacity = uint32_t{1} << 31;

// A ring of item pointers. Its array is the record's own until it outgrows it.
struct DQueue_t {
  void** ppItem;
  size_t count;
  uint32_t head;      // index of the front item
  uint32_t capacity;  // a power of two
  VaskCommonDQueueDeleteDataHandler_t pDeleteDataHandler;
  pthread_mutex_t* pMutex;  // null unless the queue was opened thread-safe
  const void* pOwner;       // the user-data slot: who set it, and what
  void* pUserData;
  void* pInline[kInlineCapacity];
};

DQueue_t* queue_from(VaskCommonDQueueHandle_t handle) {
  return reinterpret_cast<DQueue_t*>(handle);
}

// Holds the queue's lock, if it has one, for one operation.
class Lock {
 public:
  explicit Lock(DQueue_t* pQueue) : pMutex_(pQueue->pMutex) {
    if (pMutex_ != nullptr) {
      pthread_mutex_lock(pMutex_);
    }
  }
  ~Lock() {
    if (pMutex_ != nullptr) {
      pthread_mutex_unlock(pMutex_);
    }
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  pthread_mutex_t* pMutex_;
};

// Moves the items, front first, into a ring twice as large. Leaves the queue untouched
// when the allocation fails.
int queue_grow(DQueue_t* pQueue) {
  if (pQueue->capacity >= kMostCapacity) {
    return VaskCommonError_NoMemory;
  }
  const uint32_t capacity = pQueue->capacity * 2;
  auto** ppItem = static_cast<void**>(std::malloc(size_t{capacity} * sizeof(void*)));
  if (ppItem == nullptr) {
    return VaskCommonError_NoMemory;
  }
  const size_t firstRun = pQueue->capacity - pQueue->head;
  if (pQueue->count <= firstRun) {
    std::memcpy(ppItem, pQueue->ppItem + pQueue->head, pQueue->count * sizeof(void*));
  } else {
    std::memcpy(ppItem, pQueue->ppItem + pQueue->head, firstRun * sizeof(void*));
    std::memcpy(ppItem + firstRun, pQueue->ppItem, (pQueue->count - firstRun) * sizeof(void*));
  }
  if (pQueue->ppItem != pQueue->pInline) {
    std::free(static_cast<void*>(pQueue->ppItem));
  }
  pQueue->ppItem = ppItem;
  pQueue->capacity = capacity;
  pQueue->head = 0;
  return VaskCommonError_Success;
}

// The ring slot of the item at `index` from the front.
void*& queue_slot(DQueue_t* pQueue, size_t index) {
  return pQueue->ppItem[(pQueue->head + index) & (pQueue->capacity - 1)];
}

// The checks every positional operation shares (a queue, an item pointer, and
// a position within the items, or also just past them when isEndAllowed), then
// operation(queue) under the queue's lock.
template <typename Operation_t>
int queue_atPosition(VaskCommonDQueueHandle_t handle, size_t index, void** ppData,
                     bool isEndAllowed, Operation_t operation) {
  DQueue_t* pQueue = queue_from(handle);
  if (pQueue == nullptr || ppData == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const Lock lock(pQueue);
  if (index > pQueue->count || (index == pQueue->count && !isEndAllowed)) {
    return VaskCommonError_InvalidArgument;
  }
  return operation(pQueue);
}

int mutex_create(pthread_mutex_t** ppMutex) {
  auto* pMutex = static_cast<pthread_mutex_t*>(std::calloc(1, sizeof(pthread_mutex_t)));
  if (pMutex == nullptr) {
    return VaskCommonError_NoMemory;
  }
  if (pthread_mutex_init(pMutex, nullptr) != 0) {
    std::free(pMutex);
    return VaskCommonError_NoMemory;
  }
  *ppMutex = pMutex;
  return VaskCommonError_Success;
}

}  // namespace

extern "C" int VaskCommonDQueue_open(const VaskCommonDQueueOpenParam_t* pParam,
                                     VaskCommonDQueueHandle_t* pHandle) {
  if (pParam == nullptr || pHandle == nullptr || *pHandle != 0) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pQueue = static_cast<DQueue_t*>(std::calloc(1, sizeof(DQueue_t)));
  if (pQueue == nullptr) {
    return VaskCommonError_NoMemory;
  }
  if (pParam->isThreadSafe && mutex_create(&pQueue->pMutex) != VaskCommonError_Success) {
    std::free(pQueue);
    return VaskCommonError_NoMemory;
  }
  pQueue->pDeleteDataHandler = pParam->pDeleteDataHandler;
  pQueue->ppItem = pQueue->pInline;
  pQueue->capacity = kInlineCapacity;
  *pHandle = reinterpret_cast<VaskCommonDQueueHandle_t>(pQueue);
  return VaskCommonError_Success;
}

extern "C" int VaskCommonDQueue_close(VaskCommonDQueueHandle_t* pHandle) {
  if (pHandle == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  if (*pHandle == 0) {
    return VaskCommonError_Success;
  }
  DQueue_t* pQueue = queue_from(*pHandle);
  if (pQueue->pDeleteDataHandler != nullptr) {
    for (size_t i = 0; i < pQueue->count; ++i) {
      // The handlers' results are not looked at: every item is released regardless.
      (void)pQueue->pDeleteDataHandler(
          &pQueue->ppItem[(pQueue->head + i) & (pQueue->capacity - 1)]);
    }
  }
  if (pQueue->pMutex != nullptr) {
    pthread_mutex_destroy(pQueue->pMutex);
    std::free(pQueue->pMutex);
  }
  if (pQueue->ppItem != pQueue->pInline) {
    std::free(static_cast<void*>(pQueue->ppItem));
  }
  std::free(pQueue);
  *pHandle = 0;
  return VaskCommonError_Success;
}

extern "C" size_t VaskCommonDQueue_length(VaskCommonDQueueHandle_t handle) {
  DQueue_t* pQueue = queue_from(handle);
  if (pQueue == nullptr) {
    return 0;
  }
  const Lock lock(pQueue);
  return pQueue->count;
}

extern "C" int VaskCommonDQueue_pushBack(VaskCommonDQueueHandle_t handle, void** ppData) {
  DQueue_t* pQueue = queue_from(handle);
  if (pQueue == nullptr || ppData == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const Lock lock(pQueue);
  if (pQueue->count == pQueue->capacity) {
    const int result = queue_grow(pQueue);
    if (result != VaskCommonError_Success) {
      return result;
    }
  }
  pQueue->ppItem[(pQueue->head + pQueue->count) & (pQueue->capacity - 1)] = *ppData;
  ++pQueue->count;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonDQueue_popFront(VaskCommonDQueueHandle_t handle, void** ppData) {
  DQueue_t* pQueue = queue_from(handle);
  if (pQueue == nullptr || ppData == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const Lock lock(pQueue);
  if (pQueue->count == 0) {
    return VaskCommonError_InvalidArgument;
  }
  *ppData = pQueue->ppItem[pQueue->head];
  pQueue->head = (pQueue->head + 1) & (pQueue->capacity - 1);
  --pQueue->count;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonDQueue_at(VaskCommonDQueueHandle_t handle, size_t index, void** ppData) {
  return queue_atPosition(handle, index, ppData, false, [index, ppData](DQueue_t* pQueue) -> int {
    *ppData = queue_slot(pQueue, index);
    return VaskCommonError_Success;
  });
}

extern "C" int VaskCommonDQueue_insert(VaskCommonDQueueHandle_t handle, size_t index,
                                       void** ppData) {
  return queue_atPosition(handle, index, ppData, true, [index, ppData](DQueue_t* pQueue) -> int {
    if (pQueue->count == pQueue->capacity) {
      const int result = queue_grow(pQueue);
      if (result != VaskCommonError_Success) {
        return result;
      }
    }
    if (index < pQueue->count / 2) {
      // The front part moves one slot towards the front.
      pQueue->head = (pQueue->head + pQueue->capacity - 1) & (pQueue->capacity - 1);
      for (size_t i = 0; i < index; ++i) {
        queue_slot(pQueue, i) = queue_slot(pQueue, i + 1);
      }
    } else {
      for (size_t i = pQueue->count; i > index; --i) {
        queue_slot(pQueue, i) = queue_slot(pQueue, i - 1);
      }
    }
    queue_slot(pQueue, index) = *ppData;
    ++pQueue->count;
    return VaskCommonError_Success;
  });
}

extern "C" int VaskCommonDQueue_remove(VaskCommonDQueueHandle_t handle, size_t index,
                                       void** ppData) {
  return queue_atPosition(handle, index, ppData, false, [index, ppData](DQueue_t* pQueue) -> int {
    *ppData = queue_slot(pQueue, index);
    if (index < pQueue->count / 2) {
      for (size_t i = index; i > 0; --i) {
        queue_slot(pQueue, i) = queue_slot(pQueue, i - 1);
      }
      pQueue->head = (pQueue->head + 1) & (pQueue->capacity - 1);
    } else {
      for (size_t i = index; i + 1 < pQueue->count; ++i) {
        queue_slot(pQueue, i) = queue_slot(pQueue, i + 1);
      }
    }
    --pQueue->count;
    return VaskCommonError_Success;
  });
}

extern "C" int VaskCommonDQueue_setUserData(VaskCommonDQueueHandle_t handle, const void* pOwner,
                                            void* pData) {
  DQueue_t* pQueue = queue_from(handle);
  if (pQueue == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const Lock lock(pQueue);
  pQueue->pOwner = pData != nullptr ? pOwner : nullptr;
  pQueue->pUserData = pData;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonDQueue_userData(VaskCommonDQueueHandle_t handle, const void* pOwner,
                                         void** ppData) {
  DQueue_t* pQueue = queue_from(handle);
  if (pQueue == nullptr || ppData == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const Lock lock(pQueue);
  *ppData = pQueue->pOwner == pOwner && pOwner != nullptr ? pQueue->pUserData : nullptr;
  return VaskCommonError_Success;
}

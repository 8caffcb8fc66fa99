#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_error.h>

#include <pthread.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kFirstCapacity = 4;

// A ring of item pointers. The ring array is made on the first push, so an
// empty queue (most comment queues) costs only this record.
struct DQueue_t {
  void** ppItem;
  size_t capacity;  // 0 or a power of two
  size_t head;      // index of the front item
  size_t count;
  VaskCommonDQueueDeleteDataHandler_t pDeleteDataHandler;
  pthread_mutex_t* pMutex;  // null unless the queue was opened thread-safe
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

// Moves the items, front first, into a ring twice as large. Leaves the queue
// untouched when the allocation fails.
int queue_grow(DQueue_t* pQueue) {
  const size_t capacity = pQueue->capacity == 0 ? kFirstCapacity : pQueue->capacity * 2;
  if (capacity > SIZE_MAX / sizeof(void*)) {
    return VaskCommonError_NoMemory;
  }
  auto** ppItem = static_cast<void**>(std::malloc(capacity * sizeof(void*)));
  if (ppItem == nullptr) {
    return VaskCommonError_NoMemory;
  }
  const size_t firstRun = pQueue->capacity - pQueue->head;
  if (pQueue->count == 0) {
    // nothing to move (and no old ring at all before the first push)
  } else if (pQueue->count <= firstRun) {
    std::memcpy(ppItem, pQueue->ppItem + pQueue->head, pQueue->count * sizeof(void*));
  } else {
    std::memcpy(ppItem, pQueue->ppItem + pQueue->head, firstRun * sizeof(void*));
    std::memcpy(ppItem + firstRun, pQueue->ppItem, (pQueue->count - firstRun) * sizeof(void*));
  }
  std::free(static_cast<void*>(pQueue->ppItem));
  pQueue->ppItem = ppItem;
  pQueue->capacity = capacity;
  pQueue->head = 0;
  return VaskCommonError_Success;
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
  *pHandle = reinterpret_cast<VaskCommonDQueueHandle_t>(pQueue);
  return VaskCommonError_Success;
}

extern "C" int VaskCommonDQueue_close(VaskCommonDQueueHandle_t* pHandle) {
  if (pHandle == nullptr || *pHandle == 0) {
    return VaskCommonError_InvalidArgument;
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
  std::free(static_cast<void*>(pQueue->ppItem));
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

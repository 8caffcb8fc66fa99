/**
 * @file
 * Double-ended queue of pointers: a growable ring, amortised O(1) per
 * operation, with no allocation per item.
 *
 * A queue owns the items pushed into it; VaskCommonDQueue_close hands each
 * item still queued to the delete handler given at open (when there is one).
 * Null arguments or a 0 handle give VaskCommonError_InvalidArgument (13);
 * a failed allocation gives VaskCommonError_NoMemory (5) and leaves the queue
 * as it was.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_COMMON_C_COMMON_DQUEUE_H
#define VASK_COMMON_C_COMMON_DQUEUE_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include <vask_common_c/common_export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** A queue; 0 is no queue. */
typedef uintptr_t VaskCommonDQueueHandle_t;

/** Releases one item; called with the address of the stored item pointer. */
typedef int (*VaskCommonDQueueDeleteDataHandler_t)(void** ppData);

/** How VaskCommonDQueue_open makes a queue. */
typedef struct VaskCommonDQueueOpenParam_t {
  VaskCommonDQueueDeleteDataHandler_t pDeleteDataHandler; /**< May be null: items not released. */
  bool isThreadSafe; /**< Every operation takes the queue's lock. */
} VaskCommonDQueueOpenParam_t;

/**
 * Opens an empty queue into *pHandle, which must hold 0. pParam is read during
 * the call only. NoMemory when the queue (or its lock) cannot be allocated;
 * *pHandle stays 0 then.
 */
VASK_COMMON_C_API int VaskCommonDQueue_open(const VaskCommonDQueueOpenParam_t* pParam,
                                            VaskCommonDQueueHandle_t* pHandle);

/**
 * Releases every queued item through the delete handler, then the queue; sets
 * *pHandle to 0. A 0 handle is a no-op that returns 0, as free(NULL) is; a
 * null pHandle gives 13. A handler's failure does not stop the close.
 */
VASK_COMMON_C_API int VaskCommonDQueue_close(VaskCommonDQueueHandle_t* pHandle);

/** The number of queued items; 0 for a 0 handle. */
VASK_COMMON_C_API size_t VaskCommonDQueue_length(VaskCommonDQueueHandle_t handle);

/**
 * Appends *ppData. On success the queue owns the item; on failure (13, or
 * NoMemory when the ring cannot grow) the caller keeps it and the queue is as
 * it was.
 */
VASK_COMMON_C_API int VaskCommonDQueue_pushBack(VaskCommonDQueueHandle_t handle, void** ppData);

/**
 * Moves the front item into *ppData; the caller owns it. An empty queue gives
 * 13 and leaves *ppData as it was.
 */
VASK_COMMON_C_API int VaskCommonDQueue_popFront(VaskCommonDQueueHandle_t handle, void** ppData);

/**
 * Gives the item at `index` (0 is the front) in *ppData without taking it out:
 * O(1), never allocates, changes nothing. An index at or past the length gives
 * 13. On a thread-safe queue the lock covers the call only: the item the
 * pointer names is not protected once the call returns.
 */
VASK_COMMON_C_API int VaskCommonDQueue_at(VaskCommonDQueueHandle_t handle, size_t index,
                                          void** ppData);

/**
 * Inserts *ppData so that it stands at `index` afterwards (0: the front; the
 * length: the back), moving the shorter side of the ring. May grow the ring
 * (5, queue unchanged, when that fails). On success the queue owns the item; on
 * failure the caller keeps it. An index past the length gives 13.
 */
VASK_COMMON_C_API int VaskCommonDQueue_insert(VaskCommonDQueueHandle_t handle, size_t index,
                                              void** ppData);

/**
 * Moves the item at `index` out of the queue into *ppData; the caller owns it.
 * Never allocates. An index at or past the length gives 13.
 */
VASK_COMMON_C_API int VaskCommonDQueue_remove(VaskCommonDQueueHandle_t handle, size_t index,
                                              void** ppData);

/**
 * One slot that the queue keeps for its owner: pOwner (any address unique to
 * that owner, such as one of its own objects) and pData. A later call replaces
 * both; a null pData empties the slot. The queue never reads pData and does not
 * release it on close.
 */
VASK_COMMON_C_API int VaskCommonDQueue_setUserData(VaskCommonDQueueHandle_t handle,
                                                   const void* pOwner, void* pData);

/**
 * *ppData gets what the slot holds when pOwner set it, else null: a pointer
 * that another owner left there is never handed out.
 */
VASK_COMMON_C_API int VaskCommonDQueue_userData(VaskCommonDQueueHandle_t handle, const void* pOwner,
                                                void** ppData);

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_COMMON_DQUEUE_H */

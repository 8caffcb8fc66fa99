#include <initialization_member.h>
#include <initialization_section.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_memstream.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "initialization_handle.h"
#include "initialization_trace.h"

namespace {

// Text on its way to the stream, gathered so that the stream gets one write per
// few kilobytes instead of several small ones per line.
struct Gather_t {
  char bytes[4096];
  size_t size;
};

// The writer's state; a writer handle points to one.
struct Context_t {
  VaskCommonStdioFile_t* pStream;  // set only while a serialization runs
  Gather_t* pGather;               // likewise: the serialization's own gathering
};

Context_t* context_from(VaskInitializationWriterHandle_t handle) {
  return reinterpret_cast<Context_t*>(handle);
}

// The stream is ours alone while it is written, so its lock is never needed.
// Write results are not looked at: a stream that fails is caught when it is closed.
void stream_flush(Context_t* pContext) {
  Gather_t* pGather = pContext->pGather;
  if (pGather->size > 0) {
    (void)fwrite_unlocked(pGather->bytes, 1, pGather->size, pContext->pStream);
    pGather->size = 0;
  }
}

// Pieces from this size on go to the stream directly: gathering them would only copy
// them once more.
constexpr size_t kDirectSize = 256;

void stream_bytes(Context_t* pContext, const char* pBytes, size_t size) {
  Gather_t* pGather = pContext->pGather;
  if (size >= kDirectSize) {
    stream_flush(pContext);
    (void)fwrite_unlocked(pBytes, 1, size, pContext->pStream);
    return;
  }
  if (size > sizeof(pGather->bytes) - pGather->size) {
    stream_flush(pContext);
  }
  std::memcpy(pGather->bytes + pGather->size, pBytes, size);
  pGather->size += size;
}

void stream_text(Context_t* pContext, const char* pText) {
  if (pText != nullptr) {
    stream_bytes(pContext, pText, std::strlen(pText));
  }
}

void stream_character(Context_t* pContext, char c) {
  Gather_t* pGather = pContext->pGather;
  if (pGather->size == sizeof(pGather->bytes)) {
    stream_flush(pContext);
  }
  pGather->bytes[pGather->size++] = c;
}

int section_writeComment(Context_t* pContext, VaskInitializationSection_t* pSection) {
  const size_t length = VaskCommonDQueue_length(pSection->hComment);
  if (length == 0) {
    return VaskCommonError_Success;
  }
  for (size_t i = 0; i < length; ++i) {
    void* pItem = nullptr;
    int result = VaskCommonDQueue_popFront(pSection->hComment, &pItem);
    if (result != VaskCommonError_Success) {
      VASK_TRACE_ERROR(result);
      return result;
    }
    stream_text(pContext, static_cast<const char*>(pItem));
    stream_character(pContext, '\n');
    result = VaskCommonDQueue_pushBack(pSection->hComment, &pItem);
    if (result != VaskCommonError_Success) {
      std::free(pItem);
      VASK_TRACE_ERROR(result);
      return result;
    }
  }
  stream_character(pContext, '\n');
  return VaskCommonError_Success;
}

int section_writeHeader(Context_t* pContext, VaskInitializationSection_t* pSection) {
  if (pSection->pHeader != nullptr) {
    stream_character(pContext, '[');
    stream_text(pContext, pSection->pHeader);
    stream_text(pContext, "]\n\n");
  }
  return VaskCommonError_Success;
}

void member_write(Context_t* pContext, const VaskInitializationMember_t* pMember) {
  if (pMember != nullptr && pMember->pKey != nullptr && pMember->pValue != nullptr) {
    stream_text(pContext, pMember->pKey);
    stream_character(pContext, '=');
    stream_text(pContext, pMember->pValue);
  }
  if (pMember != nullptr && pMember->pComment != nullptr) {
    stream_character(pContext, ' ');
    stream_text(pContext, pMember->pComment);
  }
  stream_character(pContext, '\n');
}

int section_writeMember(Context_t* pContext, VaskInitializationSection_t* pSection) {
  const size_t length = VaskCommonDQueue_length(pSection->hMember);
  for (size_t i = 0; i < length; ++i) {
    void* pItem = nullptr;
    int result = VaskCommonDQueue_popFront(pSection->hMember, &pItem);
    if (result != VaskCommonError_Success) {
      VASK_TRACE_ERROR(result);
      return result;
    }
    auto* pMember = static_cast<VaskInitializationMember_t*>(pItem);
    member_write(pContext, pMember);
    result = VaskCommonDQueue_pushBack(pSection->hMember, &pItem);
    if (result != VaskCommonError_Success) {
      (void)VaskInitializationMember_delete(&pMember);
      VASK_TRACE_ERROR(result);
      return result;
    }
  }
  return VaskCommonError_Success;
}

int section_write(Context_t* pContext, VaskCommonDQueueHandle_t hQueueSection) {
  const size_t length = VaskCommonDQueue_length(hQueueSection);
  for (size_t i = 0; i < length; ++i) {
    void* pItem = nullptr;
    int result = VaskCommonDQueue_popFront(hQueueSection, &pItem);
    if (result != VaskCommonError_Success) {
      VASK_TRACE_ERROR(result);
      return result;
    }
    auto* pSection = static_cast<VaskInitializationSection_t*>(pItem);
    if (i > 0) {
      stream_character(pContext, '\n');
    }
    if (pSection != nullptr) {
      result = section_writeComment(pContext, pSection);
      if (result != VaskCommonError_Success) {
        VASK_TRACE_WARNING(result);
      }
      result = section_writeHeader(pContext, pSection);
      if (result != VaskCommonError_Success) {
        VASK_TRACE_WARNING(result);
      }
      result = section_writeMember(pContext, pSection);
      if (result != VaskCommonError_Success) {
        VASK_TRACE_WARNING(result);
      }
    }
    result = VaskCommonDQueue_pushBack(hQueueSection, &pItem);
    if (result != VaskCommonError_Success) {
      (void)VaskInitializationSection_delete(&pSection);
      VASK_TRACE_ERROR(result);
      return result;
    }
  }
  return VaskCommonError_Success;
}

}  // namespace

extern "C" int VaskInitializationWriter_open(VaskInitializationWriterHandle_t* pHandle) {
  return vask::handle_open<Context_t>(pHandle);
}

extern "C" int VaskInitializationWriter_close(VaskInitializationWriterHandle_t* pHandle) {
  return vask::handle_close(pHandle);
}

extern "C" int VaskInitializationWriter_serialize(VaskInitializationWriterHandle_t handle,
                                                  VaskCommonDQueueHandle_t hQueueSection,
                                                  VaskCommonBuffer_t* pBuffer) {
  if (handle == 0 || hQueueSection == 0 || pBuffer == nullptr || pBuffer->pBegin != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Context_t* pContext = context_from(handle);
  VaskCommonMemStreamHandle_t hMemoryStream = 0;
  int result = VaskCommonMemStream_open(&hMemoryStream, &pContext->pStream);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  Gather_t gather;
  gather.size = 0;
  pContext->pGather = &gather;
  result = section_write(pContext, hQueueSection);
  stream_flush(pContext);
  pContext->pGather = nullptr;
  if (result != VaskCommonError_Success) {
    VASK_TRACE_WARNING(result);  // the text written so far is kept
  }
  size_t size = 0;
  result = VaskCommonMemStream_close(&hMemoryStream, &pBuffer->pBegin, &size);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  pBuffer->size = size;
  pBuffer->isAllocated = true;
  pContext->pStream = nullptr;
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationWriter_save(VaskInitializationWriterHandle_t handle,
                                             const char* pFilename,
                                             VaskCommonDQueueHandle_t hQueueSection) {
  if (handle == 0 || hQueueSection == 0 || pFilename == nullptr || pFilename[0] == '\0') {
    return VaskCommonError_InvalidArgument;
  }
  VaskCommonBuffer_t* pBuffer = nullptr;
  int result = VaskCommonBuffer_create(&pBuffer);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  result = VaskInitializationWriter_serialize(handle, hQueueSection, pBuffer);
  if (result == VaskCommonError_Success) {
    result = VaskCommonBuffer_save2(pBuffer, pFilename, 0);
  }
  (void)VaskCommonBuffer_delete(&pBuffer);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  return VaskCommonError_Success;
}

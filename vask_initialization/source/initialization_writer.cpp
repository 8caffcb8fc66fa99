#include <initialization_member.h>
#include <initialization_section.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_memstream.h>

#include <cstdio>
#include <cstdlib>

#include "initialization_handle.h"
#include "initialization_trace.h"

namespace {

// The writer's state; a writer handle points to one.
struct Context_t {
  VaskCommonStdioFile_t* pStream;  // set only while a serialization runs
};

Context_t* context_from(VaskInitializationWriterHandle_t handle) {
  return reinterpret_cast<Context_t*>(handle);
}

// The stream is ours alone while it is written, so its lock is never needed;
// fixed text goes out without format parsing. Write results are not looked at:
// a stream that fails is caught when it is closed.
void stream_text(VaskCommonStdioFile_t* pStream, const char* pText) {
  if (pText != nullptr) {
    (void)fputs_unlocked(pText, pStream);
  }
}

void stream_character(VaskCommonStdioFile_t* pStream, char c) {
  (void)fputc_unlocked(c, pStream);
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
    stream_text(pContext->pStream, static_cast<const char*>(pItem));
    stream_character(pContext->pStream, '\n');
    result = VaskCommonDQueue_pushBack(pSection->hComment, &pItem);
    if (result != VaskCommonError_Success) {
      std::free(pItem);
      VASK_TRACE_ERROR(result);
      return result;
    }
  }
  stream_character(pContext->pStream, '\n');
  return VaskCommonError_Success;
}

int section_writeHeader(Context_t* pContext, VaskInitializationSection_t* pSection) {
  if (pSection->pHeader != nullptr) {
    stream_character(pContext->pStream, '[');
    stream_text(pContext->pStream, pSection->pHeader);
    stream_text(pContext->pStream, "]\n\n");
  }
  return VaskCommonError_Success;
}

void member_write(VaskCommonStdioFile_t* pStream, const VaskInitializationMember_t* pMember) {
  if (pMember != nullptr && pMember->pKey != nullptr && pMember->pValue != nullptr) {
    stream_text(pStream, pMember->pKey);
    stream_character(pStream, '=');
    stream_text(pStream, pMember->pValue);
  }
  if (pMember != nullptr && pMember->pComment != nullptr) {
    stream_character(pStream, ' ');
    stream_text(pStream, pMember->pComment);
  }
  stream_character(pStream, '\n');
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
    member_write(pContext->pStream, pMember);
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
      stream_character(pContext->pStream, '\n');
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
  result = section_write(pContext, hQueueSection);
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

#include <initialization_member.h>
#include <initialization_reader.h>
#include <initialization_section.h>
#include <initialization_utility.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "initialization_handle.h"
#include "initialization_trace.h"

namespace {

// Where the parse stands in the text; a reader handle points to one.
struct Context_t {
  const char* pBegin;
  const char* pCurrent;   // where the next block's scan begins
  const char* pEnd;       // one past the last byte; a zero byte stands there
  const char* pPrevious;  // pCurrent when the latest block's scan began: the push-back point
};

enum BlockType_t : int32_t {
  BlockTypeNull = 0,
  BlockTypeComment = 1,
  BlockTypeHeader = 2,
  BlockTypeMember = 3,
  BlockTypeStreamEnd = 4,
  BlockTypeMax = 5
};

// One line of the text, from its first non-blank character up to its LF.
struct Block_t {
  BlockType_t type;
  const char* pBegin;
  const char* pEnd;
};

// Owns a record under construction and releases it unless handed over.
template <typename Record_t, int (*Delete)(Record_t**)>
class Owner {
 public:
  explicit Owner(Record_t* pRecord) : pRecord_(pRecord) {}
  ~Owner() {
    if (pRecord_ != nullptr) {
      (void)Delete(&pRecord_);
    }
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  Record_t* get() const { return pRecord_; }
  Record_t* release() {
    Record_t* pRecord = pRecord_;
    pRecord_ = nullptr;
    return pRecord;
  }

 private:
  Record_t* pRecord_;
};

using SectionOwner = Owner<VaskInitializationSection_t, VaskInitializationSection_delete>;
using MemberOwner = Owner<VaskInitializationMember_t, VaskInitializationMember_delete>;

Context_t* context_from(VaskInitializationReaderHandle_t handle) {
  return reinterpret_cast<Context_t*>(handle);
}

// Sixteen bytes at a time where the compiler offers portable vectors (SSE2 on
// x86-64, NEON on 64-bit Arm); byte by byte elsewhere and for the tail.
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define VASK_READER_VECTORS 1
using Chunk_t = unsigned char __attribute__((vector_size(16)));
#endif

// The first byte in [pFrom, pEnd) that is one of kStops, or pEnd.
template <unsigned char... kStops>
const char* line_scan(const char* pFrom, const char* pEnd) {
#ifdef VASK_READER_VECTORS
  while (pEnd - pFrom >= static_cast<ptrdiff_t>(sizeof(Chunk_t))) {
    Chunk_t chunk;
    std::memcpy(&chunk, pFrom, sizeof(chunk));
    const auto hits = ((chunk == kStops) | ...);  // 0xff in every byte that is a stop
    uint64_t low = 0;
    uint64_t high = 0;
    std::memcpy(&low, &hits, sizeof(low));
    std::memcpy(&high, reinterpret_cast<const char*>(&hits) + sizeof(low), sizeof(high));
    if (low != 0) {
      return pFrom + __builtin_ctzll(low) / 8;
    }
    if (high != 0) {
      return pFrom + sizeof(low) + __builtin_ctzll(high) / 8;
    }
    pFrom += sizeof(chunk);
  }
#endif
  while (pFrom < pEnd) {
    const auto c = static_cast<unsigned char>(*pFrom);
    if (((c == kStops) || ...)) {
      break;
    }
    ++pFrom;
  }
  return pFrom;
}

// The first `c` in [pBegin, pEnd); a zero byte ends the search, as it ends the line's text.
template <char c>
const char* line_find(const char* pBegin, const char* pEnd) {
  const char* pFound = line_scan<static_cast<unsigned char>(c), 0>(pBegin, pEnd);
  return pFound < pEnd && *pFound == c ? pFound : nullptr;
}

// Copies characters from pFrom into pTarget until pEnd, a zero byte, or `stop`.
template <char stop>
void line_copyUntil(const char* pFrom, const char* pEnd, char* pTarget) {
  const char* pStop = line_scan<static_cast<unsigned char>(stop), 0>(pFrom, pEnd);
  std::memcpy(pTarget, pFrom, static_cast<size_t>(pStop - pFrom));
}

BlockType_t block_typeOf(char first) {
  switch (first) {
    case '#':
    case ';':
      return BlockTypeComment;
    case '[':
      return BlockTypeHeader;
    default:
      return BlockTypeMember;
  }
}

int block_get(Context_t* pContext, Block_t* pBlock) {
  if (pContext == nullptr || pBlock == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  pContext->pPrevious = pContext->pCurrent;
  const int result = VaskInitializationUtility_ignoreSpaces(&pContext->pCurrent, pContext->pEnd);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  pBlock->pBegin = pContext->pCurrent;
  // The end of the text counts as its zero byte, so a buffer that lacks one is never read past.
  const char first = pContext->pCurrent < pContext->pEnd ? *pContext->pCurrent : '\0';
  ++pContext->pCurrent;
  if (first == '\0') {
    pBlock->type = BlockTypeStreamEnd;
    pBlock->pEnd = pContext->pCurrent;
    return VaskCommonError_Success;
  }
  pBlock->type = block_typeOf(first);
  const auto* pLineFeed = static_cast<const char*>(std::memchr(
      pContext->pCurrent, '\n', static_cast<size_t>(pContext->pEnd - pContext->pCurrent)));
  pContext->pCurrent = pLineFeed != nullptr ? pLineFeed : pContext->pEnd;
  pBlock->pEnd = pContext->pCurrent;
  return VaskCommonError_Success;
}

int section_readComment(Context_t* /*pContext*/, Block_t* pBlock,
                        VaskInitializationSection_t* pSection) {
  const auto length = static_cast<size_t>(pBlock->pEnd - pBlock->pBegin);
  if (length == 0) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pComment = static_cast<char*>(std::calloc(length + 1, 1));
  if (pComment == nullptr) {
    VASK_TRACE_ERROR(VaskCommonError_NoMemory);
    return VaskCommonError_NoMemory;
  }
  std::memcpy(pComment, pBlock->pBegin, length);
  void* pItem = pComment;
  const int result = VaskCommonDQueue_pushBack(pSection->hComment, &pItem);
  if (result != VaskCommonError_Success) {
    std::free(pComment);
    VASK_TRACE_ERROR(result);
    return result;
  }
  return VaskCommonError_Success;
}

int section_readHeader(Context_t* /*pContext*/, Block_t* pBlock,
                       VaskInitializationSection_t* pSection) {
  if (pBlock == nullptr || pSection == nullptr || pBlock->pEnd == pBlock->pBegin) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pHeader =
      static_cast<char*>(std::calloc(static_cast<size_t>(pBlock->pEnd - pBlock->pBegin), 1));
  if (pHeader == nullptr) {
    return VaskCommonError_NoMemory;
  }
  // A second header before any member replaces the first.
  std::free(pSection->pHeader);
  pSection->pHeader = pHeader;
  line_copyUntil<']'>(pBlock->pBegin + 1, pBlock->pEnd, pHeader);
  return VaskCommonError_Success;
}

// The end of a value: the first space, marker, LF or zero byte in [pFrom, pEnd),
// or pEnd.
const char* value_end(const char* pFrom, const char* pEnd) {
  return line_scan<' ', '#', ';', '\n', 0>(pFrom, pEnd);
}

// The trailing-comment marker of a member line, given where its value ends: the
// first '#' after the '=', or when there is none the first ';'. Neither can stand
// inside the value, so the search starts at the value's end.
const char* member_marker(const char* pValueEnd, const char* pEnd) {
  if (pValueEnd == pEnd || *pValueEnd == '\0') {
    return nullptr;  // a zero byte ends the line's text: nothing after it is seen
  }
  if (*pValueEnd == '#') {
    return pValueEnd;
  }
  const char* pMarker = line_find<'#'>(pValueEnd, pEnd);
  if (pMarker == nullptr) {
    pMarker = *pValueEnd == ';' ? pValueEnd : line_find<';'>(pValueEnd, pEnd);
  }
  return pMarker;
}

// Fills key, value and trailing comment of a member line whose first '=' is at
// pEqual. The caller traces a failure.
int member_fill(const Block_t* pBlock, const char* pEqual, VaskInitializationMember_t* pMember) {
  pMember->pKey =
      static_cast<char*>(std::calloc(static_cast<size_t>(pEqual - pBlock->pBegin) + 1, 1));
  if (pMember->pKey == nullptr) {
    return VaskCommonError_NoMemory;
  }
  // The marker search starts after the '=': a '#' or ';' in the key is part of the key.
  const char* pValueStop = value_end(pEqual + 1, pBlock->pEnd);
  const char* pMarker = member_marker(pValueStop, pBlock->pEnd);
  const char* pValueEnd = pMarker != nullptr ? pMarker : pBlock->pEnd;
  pMember->pValue = static_cast<char*>(std::calloc(static_cast<size_t>(pValueEnd - pEqual), 1));
  if (pMember->pValue == nullptr) {
    // A line without trailing comment reports this failure as an invalid argument.
    return pMarker != nullptr ? VaskCommonError_NoMemory : VaskCommonError_InvalidArgument;
  }
  std::memcpy(pMember->pKey, pBlock->pBegin, static_cast<size_t>(pEqual - pBlock->pBegin));
  if (pEqual != pBlock->pBegin) {  // an empty key ends the scan: the value stays empty
    std::memcpy(pMember->pValue, pEqual + 1, static_cast<size_t>(pValueStop - (pEqual + 1)));
  }
  if (pMarker != nullptr) {
    // Without memory for the comment the member keeps a null comment and reading goes on.
    const auto length = static_cast<size_t>(pBlock->pEnd - pMarker);
    pMember->pComment = static_cast<char*>(std::calloc(length + 1, 1));
    if (pMember->pComment != nullptr) {
      std::memcpy(pMember->pComment, pMarker, length);
    }
  }
  return VaskCommonError_Success;
}

int section_readMember(Context_t* /*pContext*/, Block_t* pBlock,
                       VaskInitializationSection_t* pSection) {
  if (pBlock == nullptr || pSection == nullptr || pBlock->pEnd == pBlock->pBegin) {
    VASK_TRACE_ERROR(VaskCommonError_InvalidArgument);
    return VaskCommonError_InvalidArgument;
  }
  VaskInitializationMember_t* pCreated = nullptr;
  int result = VaskInitializationMember_create(&pCreated);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  MemberOwner member(pCreated);
  const char* pEqual = line_find<'='>(pBlock->pBegin, pBlock->pEnd);
  if (pEqual == nullptr) {
    VASK_TRACE_ERROR(VaskCommonError_InvalidArgument);
    return VaskCommonError_InvalidArgument;
  }
  result = member_fill(pBlock, pEqual, member.get());
  void* pItem = member.get();
  if (result == VaskCommonError_Success) {
    result = VaskCommonDQueue_pushBack(pSection->hMember, &pItem);
  }
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  member.release();
  return VaskCommonError_Success;
}

// Reads the lines of one section into pSection. A comment or header line after
// a member belongs to the next section: it is pushed back and ends this one.
int section_readBlocks(Context_t* pContext, VaskInitializationSection_t* pSection, bool* pIsValid,
                       bool* pIsEndOfFile) {
  bool isOpen = false;
  for (;;) {
    Block_t block{};
    int result = block_get(pContext, &block);
    if (result != VaskCommonError_Success) {
      return result;
    }
    if (block.type != BlockTypeStreamEnd) {
      *pIsValid = true;
    }
    switch (block.type) {
      case BlockTypeComment:
      case BlockTypeHeader:
        if (isOpen) {
          pContext->pCurrent = pContext->pPrevious;
          return VaskCommonError_Success;
        }
        result = block.type == BlockTypeComment ? section_readComment(pContext, &block, pSection)
                                                : section_readHeader(pContext, &block, pSection);
        break;
      case BlockTypeMember:
        isOpen = true;
        result = section_readMember(pContext, &block, pSection);
        break;
      case BlockTypeStreamEnd:
        *pIsEndOfFile = true;
        return VaskCommonError_Success;
      default:
        break;
    }
    if (result != VaskCommonError_Success) {
      return result;
    }
  }
}

int section_read(Context_t* pContext, VaskCommonDQueueHandle_t hQueueSection) {
  VaskInitializationSection_t* pCreated = nullptr;
  int result = VaskInitializationSection_create(&pCreated);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  SectionOwner section(pCreated);
  bool isValid = false;
  bool isEndOfFile = false;
  result = section_readBlocks(pContext, section.get(), &isValid, &isEndOfFile);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  if (isValid) {
    void* pItem = section.get();
    result = VaskCommonDQueue_pushBack(hQueueSection, &pItem);
    if (result == VaskCommonError_Success) {
      section.release();
    }
  } else {
    VaskInitializationSection_t* pSection = section.release();
    result = VaskInitializationSection_delete(&pSection);
  }
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  return isEndOfFile ? VaskCommonError_Success : VaskCommonError_Continue;
}

}  // namespace

extern "C" int VaskInitializationReader_open(VaskInitializationReaderHandle_t* pHandle) {
  return vask::handle_open<Context_t>(pHandle);
}

extern "C" int VaskInitializationReader_close(VaskInitializationReaderHandle_t* pHandle) {
  return vask::handle_close(pHandle);
}

extern "C" int VaskInitializationReader_load(VaskInitializationReaderHandle_t handle,
                                             const char* pFilename,
                                             VaskCommonDQueueHandle_t hQueueSection) {
  if (handle == 0 || pFilename == nullptr || hQueueSection == 0) {
    return VaskCommonError_InvalidArgument;
  }
  VaskCommonBuffer_t* pBuffer = nullptr;
  int result = VaskCommonBuffer_create(&pBuffer);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  result = VaskCommonBuffer_load2(pFilename, 0, 0, pBuffer);
  if (result == VaskCommonError_Success) {
    result = VaskInitializationReader_parse(handle, pBuffer, hQueueSection);
  }
  (void)VaskCommonBuffer_delete(&pBuffer);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationReader_parse(VaskInitializationReaderHandle_t handle,
                                              VaskCommonBuffer_t* pBuffer,
                                              VaskCommonDQueueHandle_t hQueueSection) {
  if (handle == 0 || pBuffer == nullptr || pBuffer->pBegin == nullptr || hQueueSection == 0) {
    return VaskCommonError_InvalidArgument;
  }
  Context_t* pContext = context_from(handle);
  pContext->pBegin = pBuffer->pBegin;
  pContext->pCurrent = pBuffer->pBegin;
  pContext->pEnd = pBuffer->pBegin + pBuffer->size;
  int result = VaskCommonError_Continue;
  while (result == VaskCommonError_Continue) {
    result = section_read(pContext, hQueueSection);
  }
  *pContext = Context_t{};  // the context points into the text only while a parse runs
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  return VaskCommonError_Success;
}

#include "libraries.h"

#include <initialization_document.h>
#include <initialization_lookup.h>
#include <initialization_member.h>
#include <initialization_reader.h>
#include <initialization_section.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_memstream.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifdef VASK_BENCH_HAVE_INIH
#include <ini.h>
#endif
#ifdef VASK_BENCH_HAVE_SIMPLEINI
// Only the char interface is used: no wide-character conversion needed.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#endif
#ifdef VASK_BENCH_HAVE_GLIB
#include <glib.h>
#endif

namespace vask::bench {
namespace {

void output_free(Output_t* pOutput) {
  std::free(pOutput->pOwner);
}

// ---------------------------------------------------------------------------
// Ours: a section queue that releases its sections when it is closed.

VaskCommonDQueueHandle_t queue_open() {
  VaskCommonDQueueOpenParam_t param{};
  param.pDeleteDataHandler = VaskInitializationLookup_sectionDelete;
  VaskCommonDQueueHandle_t hQueue = 0;
  return VaskCommonDQueue_open(&param, &hQueue) == 0 ? hQueue : 0;
}

// Visits every item of a queue, leaving it as it was.
template <typename Visit_t>
void queue_visit(VaskCommonDQueueHandle_t hQueue, Visit_t visit) {
  const size_t length = VaskCommonDQueue_length(hQueue);
  for (size_t i = 0; i < length; ++i) {
    void* pItem = nullptr;
    (void)VaskCommonDQueue_popFront(hQueue, &pItem);
    visit(pItem);
    (void)VaskCommonDQueue_pushBack(hQueue, &pItem);
  }
}

class Vask final : public Library {
 public:
  Vask() {
    (void)VaskInitializationReader_open(&hReader_);
    (void)VaskInitializationWriter_open(&hWriter_);
  }
  ~Vask() override {
    (void)VaskInitializationReader_close(&hReader_);
    (void)VaskInitializationWriter_close(&hWriter_);
  }
  const char* name() const override { return "vask"; }
  bool isPeer() const override { return false; }

  void* parse(const char* pData, size_t size) override {
    VaskCommonDQueueHandle_t hQueue = queue_open();
    VaskCommonBuffer_t buffer{};
    buffer.pBegin = const_cast<char*>(pData);
    buffer.size = size;
    if (VaskInitializationReader_parse(hReader_, &buffer, hQueue) != 0) {
      release(reinterpret_cast<void*>(hQueue));
      return nullptr;
    }
    return reinterpret_cast<void*>(hQueue);
  }
  void* load(const char* pPath) override {
    VaskCommonDQueueHandle_t hQueue = queue_open();
    if (VaskInitializationReader_load(hReader_, pPath, hQueue) != 0) {
      release(reinterpret_cast<void*>(hQueue));
      return nullptr;
    }
    return reinterpret_cast<void*>(hQueue);
  }
  bool serialize(void* pDocument, Output_t* pOutput) override {
    VaskCommonBuffer_t buffer{};
    if (VaskInitializationWriter_serialize(hWriter_, queue_from(pDocument), &buffer) != 0) {
      return false;
    }
    *pOutput = Output_t{buffer.pBegin, buffer.size, output_free, buffer.pBegin};
    return true;
  }
  bool save(void* pDocument, const char* pPath) override {
    return VaskInitializationWriter_save(hWriter_, pPath, queue_from(pDocument)) == 0;
  }
  void release(void* pDocument) override {
    VaskCommonDQueueHandle_t hQueue = queue_from(pDocument);
    (void)VaskCommonDQueue_close(&hQueue);
  }
  Counts_t count(void* pDocument) override {
    Counts_t counts;
    queue_visit(queue_from(pDocument), [&counts](void* pItem) {
      auto* pSection = static_cast<VaskInitializationSection_t*>(pItem);
      counts.sections += pSection->pHeader != nullptr ? 1 : 0;
      queue_visit(pSection->hMember, [&counts](void* pMemberItem) {
        auto* pMember = static_cast<VaskInitializationMember_t*>(pMemberItem);
        ++counts.members;
        counts.keyBytes += std::strlen(pMember->pKey);
        counts.valueBytes += std::strlen(pMember->pValue);
      });
    });
    return counts;
  }

 private:
  static VaskCommonDQueueHandle_t queue_from(void* pDocument) {
    return reinterpret_cast<VaskCommonDQueueHandle_t>(pDocument);
  }
  VaskInitializationReaderHandle_t hReader_ = 0;
  VaskInitializationWriterHandle_t hWriter_ = 0;
};

// ---------------------------------------------------------------------------
// inih: a callback per member. The strings it hands over live only during the
// call, so the handler copies section, key and value into a structure of its own.

#ifdef VASK_BENCH_HAVE_INIH
struct InihSection_t {
  std::string name;
  std::vector<std::pair<std::string, std::string>> members;
};

using InihDocument_t = std::vector<InihSection_t>;

int inih_handler(void* pUser, const char* pSection, const char* pKey, const char* pValue) {
  auto* pDocument = static_cast<InihDocument_t*>(pUser);
  if (pDocument->empty() || pDocument->back().name != pSection) {
    pDocument->push_back(InihSection_t{pSection, {}});
  }
  pDocument->back().members.emplace_back(pKey, pValue);
  return 1;
}

class Inih final : public Library {
 public:
  const char* name() const override { return "inih"; }
  bool canWrite() const override { return false; }
  void* parse(const char* pData, size_t /*size*/) override {
    auto* pDocument = new InihDocument_t;
    if (ini_parse_string(pData, inih_handler, pDocument) != 0) {
      delete pDocument;
      return nullptr;
    }
    return pDocument;
  }
  void* load(const char* pPath) override {
    auto* pDocument = new InihDocument_t;
    if (ini_parse(pPath, inih_handler, pDocument) != 0) {
      delete pDocument;
      return nullptr;
    }
    return pDocument;
  }
  bool serialize(void* /*pDocument*/, Output_t* /*pOutput*/) override { return false; }
  bool save(void* /*pDocument*/, const char* /*pPath*/) override { return false; }
  void release(void* pDocument) override { delete static_cast<InihDocument_t*>(pDocument); }
  Counts_t count(void* pDocument) override {
    Counts_t counts;
    for (const InihSection_t& section : *static_cast<InihDocument_t*>(pDocument)) {
      ++counts.sections;
      for (const auto& member : section.members) {
        ++counts.members;
        counts.keyBytes += member.first.size();
        counts.valueBytes += member.second.size();
      }
    }
    return counts;
  }
};
#endif

// ---------------------------------------------------------------------------
// SimpleIni, case-sensitive like ours (its case-insensitive default only costs more).

#ifdef VASK_BENCH_HAVE_SIMPLEINI
void simpleini_outputFree(Output_t* pOutput) {
  delete static_cast<std::string*>(pOutput->pOwner);
}

class SimpleIni final : public Library {
 public:
  const char* name() const override { return "SimpleIni"; }
  void* parse(const char* pData, size_t size) override {
    auto* pDocument = new CSimpleIniCaseA;
    if (pDocument->LoadData(pData, size) < 0) {
      delete pDocument;
      return nullptr;
    }
    return pDocument;
  }
  void* load(const char* pPath) override {
    auto* pDocument = new CSimpleIniCaseA;
    if (pDocument->LoadFile(pPath) < 0) {
      delete pDocument;
      return nullptr;
    }
    return pDocument;
  }
  bool serialize(void* pDocument, Output_t* pOutput) override {
    auto* pText = new std::string;
    if (static_cast<CSimpleIniCaseA*>(pDocument)->Save(*pText) < 0) {
      delete pText;
      return false;
    }
    *pOutput = Output_t{pText->data(), pText->size(), simpleini_outputFree, pText};
    return true;
  }
  bool save(void* pDocument, const char* pPath) override {
    return static_cast<CSimpleIniCaseA*>(pDocument)->SaveFile(pPath, false) >= 0;
  }
  void release(void* pDocument) override { delete static_cast<CSimpleIniCaseA*>(pDocument); }
  Counts_t count(void* pDocument) override {
    auto* pIni = static_cast<CSimpleIniCaseA*>(pDocument);
    Counts_t counts;
    CSimpleIniCaseA::TNamesDepend sections;
    pIni->GetAllSections(sections);
    for (const auto& section : sections) {
      counts.sections += section.pItem[0] != '\0' ? 1 : 0;
      const CSimpleIniCaseA::TKeyVal* pMembers = pIni->GetSection(section.pItem);
      for (const auto& member : *pMembers) {
        ++counts.members;
        counts.keyBytes += std::strlen(member.first.pItem);
        counts.valueBytes += std::strlen(member.second);
      }
    }
    return counts;
  }
};
#endif

// ---------------------------------------------------------------------------
// GLib's key file, keeping comments as ours does.

#ifdef VASK_BENCH_HAVE_GLIB
void glib_outputFree(Output_t* pOutput) {
  g_free(pOutput->pOwner);
}

class KeyFile final : public Library {
 public:
  const char* name() const override { return "GKeyFile"; }
  void* parse(const char* pData, size_t size) override {
    GKeyFile* pFile = g_key_file_new();
    if (!g_key_file_load_from_data(pFile, pData, size, G_KEY_FILE_KEEP_COMMENTS, nullptr)) {
      g_key_file_free(pFile);
      return nullptr;
    }
    return pFile;
  }
  void* load(const char* pPath) override {
    GKeyFile* pFile = g_key_file_new();
    if (!g_key_file_load_from_file(pFile, pPath, G_KEY_FILE_KEEP_COMMENTS, nullptr)) {
      g_key_file_free(pFile);
      return nullptr;
    }
    return pFile;
  }
  bool serialize(void* pDocument, Output_t* pOutput) override {
    gsize size = 0;
    gchar* pText = g_key_file_to_data(static_cast<GKeyFile*>(pDocument), &size, nullptr);
    if (pText == nullptr) {
      return false;
    }
    *pOutput = Output_t{pText, size, glib_outputFree, pText};
    return true;
  }
  bool save(void* pDocument, const char* pPath) override {
    return g_key_file_save_to_file(static_cast<GKeyFile*>(pDocument), pPath, nullptr);
  }
  void release(void* pDocument) override { g_key_file_free(static_cast<GKeyFile*>(pDocument)); }
  Counts_t count(void* pDocument) override {
    auto* pFile = static_cast<GKeyFile*>(pDocument);
    Counts_t counts;
    gchar** ppGroups = g_key_file_get_groups(pFile, nullptr);
    for (gchar** ppGroup = ppGroups; *ppGroup != nullptr; ++ppGroup) {
      ++counts.sections;
      gchar** ppKeys = g_key_file_get_keys(pFile, *ppGroup, nullptr, nullptr);
      for (gchar** ppKey = ppKeys; ppKeys != nullptr && *ppKey != nullptr; ++ppKey) {
        ++counts.members;
        counts.keyBytes += std::strlen(*ppKey);
        gchar* pValue = g_key_file_get_value(pFile, *ppGroup, *ppKey, nullptr);
        counts.valueBytes += pValue != nullptr ? std::strlen(pValue) : 0;
        g_free(pValue);
      }
      g_strfreev(ppKeys);
    }
    g_strfreev(ppGroups);
    return counts;
  }
};
#endif

// ---------------------------------------------------------------------------
// The floor.

struct FloorDocument_t {
  std::vector<char*> strings;
  Counts_t counts;
};

char* string_copy(const char* pBegin, const char* pEnd) {
  const auto length = static_cast<size_t>(pEnd - pBegin);
  auto* pCopy = static_cast<char*>(std::malloc(length + 1));
  std::memcpy(pCopy, pBegin, length);
  pCopy[length] = '\0';
  return pCopy;
}

void floor_parseInto(const char* pData, size_t size, FloorDocument_t* pDocument) {
  const char* pCurrent = pData;
  const char* const pEnd = pData + size;
  while (pCurrent < pEnd) {
    const auto* pLineFeed =
        static_cast<const char*>(std::memchr(pCurrent, '\n', static_cast<size_t>(pEnd - pCurrent)));
    const char* pLineEnd = pLineFeed != nullptr ? pLineFeed : pEnd;
    if (pLineEnd != pCurrent) {
      if (*pCurrent == '#' || *pCurrent == ';') {
        pDocument->strings.push_back(string_copy(pCurrent, pLineEnd));
      } else if (*pCurrent == '[') {
        const auto* pClose = static_cast<const char*>(
            std::memchr(pCurrent, ']', static_cast<size_t>(pLineEnd - pCurrent)));
        pDocument->strings.push_back(
            string_copy(pCurrent + 1, pClose != nullptr ? pClose : pLineEnd));
        ++pDocument->counts.sections;
      } else {
        const auto* pEqual = static_cast<const char*>(
            std::memchr(pCurrent, '=', static_cast<size_t>(pLineEnd - pCurrent)));
        if (pEqual == nullptr) {
          pEqual = pLineEnd;
        }
        pDocument->strings.push_back(string_copy(pCurrent, pEqual));
        const char* pValue = pEqual < pLineEnd ? pEqual + 1 : pLineEnd;
        pDocument->strings.push_back(string_copy(pValue, pLineEnd));
        ++pDocument->counts.members;
        pDocument->counts.keyBytes += static_cast<size_t>(pEqual - pCurrent);
        pDocument->counts.valueBytes += static_cast<size_t>(pLineEnd - pValue);
      }
    }
    pCurrent = pLineEnd + 1;
  }
}

class Floor final : public Library {
 public:
  const char* name() const override { return "floor"; }
  bool isPeer() const override { return false; }
  void* parse(const char* pData, size_t size) override {
    auto* pDocument = new FloorDocument_t;
    floor_parseInto(pData, size, pDocument);
    return pDocument;
  }
  void* load(const char* pPath) override {
    const int fd = ::open(pPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      return nullptr;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
      ::close(fd);
      return nullptr;
    }
    const auto size = static_cast<size_t>(status.st_size);
    auto* pData = static_cast<char*>(std::malloc(size + 1));
    size_t done = 0;
    while (done < size) {
      const ssize_t count = ::read(fd, pData + done, size - done);
      if (count <= 0) {
        break;
      }
      done += static_cast<size_t>(count);
    }
    ::close(fd);
    pData[done] = '\0';
    auto* pDocument = new FloorDocument_t;
    floor_parseInto(pData, done, pDocument);
    std::free(pData);
    return pDocument;
  }
  bool serialize(void* /*pDocument*/, Output_t* pOutput) override {
    VaskCommonMemStreamHandle_t hStream = 0;
    VaskCommonStdioFile_t* pFile = nullptr;
    if (VaskCommonMemStream_open(&hStream, &pFile) != 0) {
      return false;
    }
    (void)std::fwrite(text_.data(), 1, text_.size(), pFile);
    char* pData = nullptr;
    size_t size = 0;
    if (VaskCommonMemStream_close(&hStream, &pData, &size) != 0) {
      return false;
    }
    *pOutput = Output_t{pData, size, output_free, pData};
    return true;
  }
  bool save(void* /*pDocument*/, const char* pPath) override {
    VaskCommonBuffer_t buffer{};
    buffer.pBegin = text_.data();
    buffer.size = text_.size();
    return VaskCommonBuffer_save2(&buffer, pPath, 0) == 0;
  }
  void release(void* pDocument) override {
    auto* pFloor = static_cast<FloorDocument_t*>(pDocument);
    for (char* pString : pFloor->strings) {
      std::free(pString);
    }
    delete pFloor;
  }
  Counts_t count(void* pDocument) override {
    return static_cast<FloorDocument_t*>(pDocument)->counts;
  }

  void setText(const char* pData, size_t size) { text_.assign(pData, size); }

 private:
  std::string text_;  // what serialize and save write
};

}  // namespace

std::vector<std::unique_ptr<Library>> libraries_make() {
  std::vector<std::unique_ptr<Library>> libraries;
  libraries.push_back(std::make_unique<Vask>());
#ifdef VASK_BENCH_HAVE_INIH
  libraries.push_back(std::make_unique<Inih>());
#endif
#ifdef VASK_BENCH_HAVE_SIMPLEINI
  libraries.push_back(std::make_unique<SimpleIni>());
#endif
#ifdef VASK_BENCH_HAVE_GLIB
  libraries.push_back(std::make_unique<KeyFile>());
#endif
  libraries.push_back(std::make_unique<Floor>());
  return libraries;
}

Library* floor_find(const std::vector<std::unique_ptr<Library>>& libraries) {
  for (const auto& pLibrary : libraries) {
    if (std::strcmp(pLibrary->name(), "floor") == 0) {
      return pLibrary.get();
    }
  }
  return nullptr;
}

void floor_setText(Library* pFloor, const char* pData, size_t size) {
  static_cast<Floor*>(pFloor)->setText(pData, size);
}

// ---------------------------------------------------------------------------
// The document.

namespace {

VaskInitializationDocumentHandle_t document_from(void* pDocument) {
  return reinterpret_cast<VaskInitializationDocumentHandle_t>(pDocument);
}

}  // namespace

void* document_load(const char* pPath) {
  VaskInitializationDocumentHandle_t handle = 0;
  (void)VaskInitializationDocument_load(pPath, &handle, nullptr);
  return reinterpret_cast<void*>(handle);
}

void document_release(void* pDocument) {
  VaskInitializationDocumentHandle_t handle = document_from(pDocument);
  (void)VaskInitializationDocument_close(&handle);
}

std::vector<DocumentEdit_t> document_plan(void* pDocument, size_t count, unsigned seed) {
  const VaskInitializationDocumentHandle_t handle = document_from(pDocument);
  std::vector<DocumentEdit_t> members;
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  VaskInitializationMember_t* pMember = nullptr;
  while (VaskInitializationDocument_memberNext(handle, nullptr, &cursor, &pMember, nullptr) == 0) {
    members.push_back(DocumentEdit_t{cursor.pName, pMember->pKey, {}});
  }
  std::vector<DocumentEdit_t> edits;
  std::mt19937 random(seed);
  for (size_t i = 0; i < count && !members.empty(); ++i) {
    DocumentEdit_t edit = members[random() % members.size()];
    if (i % 4 == 3) {
      edit.key = "bench-new-" + std::to_string(i);
    }
    edit.value = "edited-" + std::to_string(i);
    edits.push_back(std::move(edit));
  }
  return edits;
}

bool document_edit(void* pDocument, const std::vector<DocumentEdit_t>& edits) {
  const VaskInitializationDocumentHandle_t handle = document_from(pDocument);
  for (const DocumentEdit_t& edit : edits) {
    if (VaskInitializationDocument_set(handle, edit.section.c_str(), edit.key.c_str(),
                                       edit.value.c_str()) != 0) {
      return false;
    }
  }
  const char* pText = nullptr;
  size_t size = 0;
  return VaskInitializationDocument_text(handle, &pText, &size) == 0 && size > 0;
}

size_t document_walk(void* pDocument) {
  const VaskInitializationDocumentHandle_t handle = document_from(pDocument);
  VaskInitializationLookupCursor_t sections = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  size_t keys = 0;
  for (const char* pName = nullptr;
       VaskInitializationDocument_sectionNext(handle, &sections, &pName) == 0;) {
    VaskInitializationLookupCursor_t members = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
    VaskInitializationMember_t* pMember = nullptr;
    while (VaskInitializationDocument_memberNext(handle, pName, &members, &pMember, nullptr) == 0) {
      keys += pMember->pKey != nullptr ? 1 : 0;
    }
  }
  return keys;
}

}  // namespace vask::bench

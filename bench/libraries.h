// The libraries under comparison behind one interface, so that every operation
// is timed the same way on the same bytes. A document is whatever the library
// builds from a text; only the library that made it looks inside.
#ifndef VASK_BENCH_LIBRARIES_H
#define VASK_BENCH_LIBRARIES_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vask::bench {

// What a document holds, to check that every library read a file alike.
struct Counts_t {
  size_t sections = 0;  // with a header
  size_t members = 0;
  size_t keyBytes = 0;
  size_t valueBytes = 0;
  bool operator==(const Counts_t&) const = default;
};

// A serialized text and how to release it (outside the timed part).
struct Output_t {
  const char* pData = nullptr;
  size_t size = 0;
  void (*pRelease)(Output_t*) = nullptr;
  void* pOwner = nullptr;
};

class Library {
 public:
  virtual ~Library() = default;
  virtual const char* name() const = 0;
  virtual bool isPeer() const { return true; }
  virtual bool canWrite() const { return true; }
  // pData holds size bytes followed by a zero byte. Null on failure.
  virtual void* parse(const char* pData, size_t size) = 0;
  virtual void* load(const char* pPath) = 0;
  virtual bool serialize(void* pDocument, Output_t* pOutput) = 0;
  virtual bool save(void* pDocument, const char* pPath) = 0;
  virtual void release(void* pDocument) = 0;
  virtual Counts_t count(void* pDocument) = 0;
};

// Ours, the peers that were found at configure time, and the floor, in table order.
std::vector<std::unique_ptr<Library>> libraries_make();

// The allocation floor: splits lines with memchr and keeps one heap copy of each
// key, value, header and comment; its "serialize" writes a given text with one fwrite
// to a memory stream, its "save" saves that text with the support library's buffer save.
Library* floor_find(const std::vector<std::unique_ptr<Library>>& libraries);
void floor_setText(Library* pFloor, const char* pData, size_t size);

// This library's document (initialization_document.h), for the rows on what
// lossless editing costs. Each function is one whole step, so that the caller
// times exactly that step.
struct DocumentEdit_t {
  std::string section;
  std::string key;
  std::string value;
};
void* document_load(const char* pPath);  // VaskInitializationDocument_load; null on failure
void document_release(void* pDocument);
// `count` sets, the same for a seed: three of four give a key of the document,
// chosen at random, a new value; one adds a new key to the section of a key
// chosen at random.
std::vector<DocumentEdit_t> document_plan(void* pDocument, size_t count, unsigned seed);
// The sets, then one VaskInitializationDocument_text; false when any fails.
bool document_edit(void* pDocument, const std::vector<DocumentEdit_t>& edits);
// Every section name (sectionNext) and, per section, every key (memberNext):
// the number of keys seen, 0 when a walk fails.
size_t document_walk(void* pDocument);

}  // namespace vask::bench

#endif  // VASK_BENCH_LIBRARIES_H

// Writes the benchmark corpus: one file per shape and size, the same bytes for
// the same seed on every machine (own random generator and own range mapping,
// since the standard distributions differ between library versions).
//
// Every file stays inside what all compared parsers read alike: every member
// under a header, unique section names, unique keys within a section, `key=value`
// without blanks, values without comment markers, quotes or backslashes, '#'
// comment lines only before a header or right after it, LF line ends.
//
// Usage: vask_bench_corpus <folder> [seed]
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// splitmix64: small, fast and fully specified.
struct Random_t {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // A number in [low, high].
  size_t between(size_t low, size_t high) {
    return low + static_cast<size_t>(next() % (high - low + 1));
  }
};

const char* const kWords[] = {
    "alpha",   "bravo",  "cache",   "delta", "engine", "filter", "gate",   "host",
    "index",   "jitter", "kernel",  "level", "mode",   "node",   "output", "port",
    "queue",   "rate",   "server",  "timer", "user",   "volume", "window", "path",
    "limit",   "retry",  "timeout", "color", "font",   "size",   "enable", "name",
    "address", "device", "buffer",  "depth", "format", "scale",  "offset", "token"};
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

const char kValueCharacters[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.-/:,+";
constexpr size_t kValueCharacterCount = sizeof(kValueCharacters) - 1;

struct Shape_t {
  const char* pName;
  size_t membersLow, membersHigh;                // members per section
  size_t commentsBeforeLow, commentsBeforeHigh;  // comment lines before the header
  size_t commentsAfterLow, commentsAfterHigh;    // comment lines right after the header
  size_t valueLow, valueHigh;                    // value length
};

const Shape_t kShapes[] = {
    {"typical", 15, 25, 1, 3, 0, 1, 1, 40},
    {"many-sections", 1, 2, 0, 1, 0, 0, 1, 30},
    {"long-values", 2, 6, 0, 1, 0, 1, 200, 2000},
    {"comments-heavy", 4, 10, 4, 12, 1, 3, 1, 40},
};

struct Size_t {
  const char* pName;
  size_t bytes;
};

const Size_t kSizes[] = {{"1MB", size_t{1} << 20}, {"10MB", size_t{10} << 20}};

void word_append(Random_t* pRandom, std::string* pText) {
  *pText += kWords[pRandom->between(0, kWordCount - 1)];
}

void comment_append(Random_t* pRandom, std::string* pText) {
  *pText += "# ";
  const size_t words = pRandom->between(3, 10);
  for (size_t i = 0; i < words; ++i) {
    if (i > 0) {
      *pText += ' ';
    }
    word_append(pRandom, pText);
  }
  *pText += '\n';
}

void section_append(const Shape_t& shape, size_t index, Random_t* pRandom, std::string* pText) {
  if (index > 0) {
    *pText += '\n';
  }
  const size_t before = pRandom->between(shape.commentsBeforeLow, shape.commentsBeforeHigh);
  for (size_t i = 0; i < before; ++i) {
    comment_append(pRandom, pText);
  }
  *pText += "[section_";
  *pText += std::to_string(index);
  *pText += '_';
  word_append(pRandom, pText);
  *pText += "]\n";
  const size_t after = pRandom->between(shape.commentsAfterLow, shape.commentsAfterHigh);
  for (size_t i = 0; i < after; ++i) {
    comment_append(pRandom, pText);
  }
  const size_t members = pRandom->between(shape.membersLow, shape.membersHigh);
  for (size_t i = 0; i < members; ++i) {
    word_append(pRandom, pText);
    if (pRandom->between(0, 1) == 1) {
      *pText += '_';
      word_append(pRandom, pText);
    }
    *pText += '_';
    *pText += std::to_string(i);  // keys stay unique within the section
    *pText += '=';
    const size_t length = pRandom->between(shape.valueLow, shape.valueHigh);
    for (size_t j = 0; j < length; ++j) {
      *pText += kValueCharacters[pRandom->between(0, kValueCharacterCount - 1)];
    }
    *pText += '\n';
  }
}

std::string corpus_make(const Shape_t& shape, size_t bytes, uint64_t seed) {
  Random_t random{seed};
  std::string text;
  text.reserve(bytes + 64 * 1024);
  for (size_t index = 0; text.size() < bytes; ++index) {
    section_append(shape, index, &random, &text);
  }
  return text;
}

bool file_write(const std::string& path, const std::string& text) {
  FILE* pFile = std::fopen(path.c_str(), "wb");
  if (pFile == nullptr) {
    std::fprintf(stderr, "vask_bench_corpus: cannot write %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
  }
  const bool isWritten = std::fwrite(text.data(), 1, text.size(), pFile) == text.size();
  return std::fclose(pFile) == 0 && isWritten;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s <folder> [seed]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const uint64_t seed = argc == 3 ? std::strtoull(argv[2], nullptr, 0) : 20240607;
  uint64_t stream = 0;
  for (const Shape_t& shape : kShapes) {
    for (const Size_t& size : kSizes) {
      ++stream;
      const std::string path = folder + "/" + shape.pName + "-" + size.pName + ".ini";
      // Each file has its own stream, so that one shape's files do not depend on the others'.
      const std::string text = corpus_make(shape, size.bytes, seed * 1000003 + stream);
      if (!file_write(path, text)) {
        return 1;
      }
      std::printf("%s %zu bytes\n", path.c_str(), text.size());
    }
  }
  return 0;
}

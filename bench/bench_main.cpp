// Side-by-side benchmark of this library against inih, SimpleIni and GLib's key
// file, on the corpus that vask_bench_corpus writes. Every operation of every
// library runs in this one process, one after the other, on the same bytes.
//
// Usage: vask_bench --corpus <folder> [--table] [--repetitions N] [--no-memory]
//                   [--cost-only] [benchmark flags]
//   --table prints the comparison as markdown on stdout once all runs are done
//   (Google Benchmark's own lines go to stderr then); --cost-only runs only the
//   rows on what the document costs against the reader (at least 5 repetitions).
//
// Rates are bytes per second of the file read (parse, load, release) or of the
// text written (serialize, save), in MB of 10^6 bytes, the median of the repetitions.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "heap_count.h"
#include "libraries.h"

namespace vask::bench {
namespace {

const char* const kShapes[] = {"typical", "many-sections", "long-values", "comments-heavy"};
const char* const kSizes[] = {"1MB", "10MB"};
const char* const kOperations[] = {"parse", "load", "serialize", "save", "release"};

// One corpus file and what each library made of it.
struct File_t {
  std::string shape;
  std::string size;
  std::string path;
  std::string text;  // the file's bytes; a zero byte follows them, as parse needs
  Counts_t expected;
  std::map<std::string, std::string> refusal;  // library -> why its rows are skipped
  std::map<std::string, HeapCount_t> memory;   // library -> heap of one load
  std::string name() const { return shape + "-" + size; }
};

// Time is this thread's CPU time (user and system, page faults included): on a
// shared machine, wall time would also count the moments other processes ran.
struct Clock {
  using time_point = double;
  static double now() {
    timespec time{};
    (void)clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
  }
};

double seconds_since(Clock::time_point start) {
  return Clock::now() - start;
}

bool file_read(const std::string& path, std::string* pText) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) {
    return false;
  }
  std::ostringstream content;
  content << stream.rdbuf();
  *pText = content.str();
  return true;
}

std::string counts_text(const Counts_t& counts) {
  std::ostringstream text;
  text << counts.sections << " sections, " << counts.members << " members, " << counts.keyBytes
       << " key bytes, " << counts.valueBytes << " value bytes";
  return text.str();
}

// Runs `work` in a child process and hands back the bytes it wrote, so that
// what it leaves in the heap never shapes the timed runs that follow.
template <typename Work_t>
std::string child_run(Work_t work) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) {
    return {};
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeEnds[0]);
    const std::string answer = work();
    size_t done = 0;
    while (done < answer.size()) {
      const ssize_t count = ::write(pipeEnds[1], answer.data() + done, answer.size() - done);
      if (count <= 0) {
        break;
      }
      done += static_cast<size_t>(count);
    }
    ::_exit(0);
  }
  ::close(pipeEnds[1]);
  std::string answer;
  char block[4096];
  ssize_t count = 0;
  while (child > 0 && (count = ::read(pipeEnds[0], block, sizeof(block))) > 0) {
    answer.append(block, static_cast<size_t>(count));
  }
  ::close(pipeEnds[0]);
  if (child > 0) {
    (void)::waitpid(child, nullptr, 0);
  }
  return answer;
}

// Checks that a library reads the file as the floor does; its rows are skipped otherwise.
void file_check(File_t* pFile, Library* pLibrary) {
  pFile->refusal.erase(pLibrary->name());
  const std::string why = child_run([pFile, pLibrary]() -> std::string {
    void* pDocument = pLibrary->parse(pFile->text.c_str(), pFile->text.size());
    if (pDocument == nullptr) {
      return "refused the file";
    }
    const Counts_t counts = pLibrary->count(pDocument);
    pLibrary->release(pDocument);
    if (!(counts == pFile->expected)) {
      return "read " + counts_text(counts) + " instead of " + counts_text(pFile->expected);
    }
    return "ok";
  });
  if (why != "ok") {
    pFile->refusal[pLibrary->name()] = why.empty() ? "failed" : why;
  }
}

// The heap of one load, measured in a child process so that every library starts
// from the same fresh heap and nothing it caches carries over to the next.
HeapCount_t memory_measure(Library* pLibrary, const std::string& path) {
  const std::string answer = child_run([pLibrary, &path]() -> std::string {
    heapCountStart();
    void* pDocument = pLibrary->load(path.c_str());
    HeapCount_t count = heapCountStop();
    if (pDocument == nullptr) {
      count = HeapCount_t{-1, -1};
    }
    return std::string(reinterpret_cast<const char*>(&count), sizeof(count));
  });
  HeapCount_t count{-1, -1};
  if (answer.size() == sizeof(count)) {
    std::memcpy(&count, answer.data(), sizeof(count));
  }
  return count;
}

// Makes the allocator finish the work it defers after frees: a request too large
// for its caches has it merge every freed small block first (in glibc, into larger
// free chunks). Done before every timed operation, so that no operation pays for
// what the previous one freed; and inside the timed release, which caused it.
void heap_settle() {
  constexpr size_t kLargeRequest = 4096;
  void* pBlock = std::malloc(kLargeRequest);
  benchmark::DoNotOptimize(pBlock);
  std::free(pBlock);
}

// ---------------------------------------------------------------------------
// Benchmarks. Each times only the operation itself (manual time); building the
// document to release, or releasing what was parsed, happens outside the clock.

void bench_parse(benchmark::State& state, Library* pLibrary, const File_t* pFile) {
  for (auto _ : state) {
    heap_settle();
    const Clock::time_point start = Clock::now();
    void* pDocument = pLibrary->parse(pFile->text.c_str(), pFile->text.size());
    state.SetIterationTime(seconds_since(start));
    if (pDocument == nullptr) {
      state.SkipWithError("parse failed");
      break;
    }
    pLibrary->release(pDocument);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pFile->text.size()));
}

void bench_load(benchmark::State& state, Library* pLibrary, const File_t* pFile) {
  for (auto _ : state) {
    heap_settle();
    const Clock::time_point start = Clock::now();
    void* pDocument = pLibrary->load(pFile->path.c_str());
    state.SetIterationTime(seconds_since(start));
    if (pDocument == nullptr) {
      state.SkipWithError("load failed");
      break;
    }
    pLibrary->release(pDocument);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pFile->text.size()));
}

void bench_release(benchmark::State& state, Library* pLibrary, const File_t* pFile) {
  for (auto _ : state) {
    void* pDocument = pLibrary->parse(pFile->text.c_str(), pFile->text.size());
    if (pDocument == nullptr) {
      state.SkipWithError("parse failed");
      break;
    }
    heap_settle();
    const Clock::time_point start = Clock::now();
    pLibrary->release(pDocument);
    heap_settle();  // the allocator's deferred work for what was freed belongs to the release
    state.SetIterationTime(seconds_since(start));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pFile->text.size()));
}

// The floor's serialize and save write the text that ours produced from this file.
void floor_prepare(Library* pLibrary, Library* pVask, const File_t* pFile) {
  if (std::strcmp(pLibrary->name(), "floor") != 0) {
    return;
  }
  void* pDocument = pVask->parse(pFile->text.c_str(), pFile->text.size());
  Output_t output;
  if (pDocument != nullptr && pVask->serialize(pDocument, &output)) {
    floor_setText(pLibrary, output.pData, output.size);
    output.pRelease(&output);
  }
  if (pDocument != nullptr) {
    pVask->release(pDocument);
  }
}

void bench_serialize(benchmark::State& state, Library* pLibrary, Library* pVask,
                     const File_t* pFile) {
  floor_prepare(pLibrary, pVask, pFile);
  void* pDocument = pLibrary->parse(pFile->text.c_str(), pFile->text.size());
  size_t bytes = 0;
  for (auto _ : state) {
    Output_t output;
    heap_settle();
    const Clock::time_point start = Clock::now();
    const bool isDone = pDocument != nullptr && pLibrary->serialize(pDocument, &output);
    state.SetIterationTime(seconds_since(start));
    if (!isDone) {
      state.SkipWithError("serialize failed");
      break;
    }
    bytes += output.size;
    output.pRelease(&output);
  }
  if (pDocument != nullptr) {
    pLibrary->release(pDocument);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void bench_save(benchmark::State& state, Library* pLibrary, Library* pVask, const File_t* pFile,
                const std::string& outputPath) {
  floor_prepare(pLibrary, pVask, pFile);
  void* pDocument = pLibrary->parse(pFile->text.c_str(), pFile->text.size());
  for (auto _ : state) {
    heap_settle();
    const Clock::time_point start = Clock::now();
    const bool isDone = pDocument != nullptr && pLibrary->save(pDocument, outputPath.c_str());
    state.SetIterationTime(seconds_since(start));
    if (!isDone) {
      state.SkipWithError("save failed");
      break;
    }
  }
  std::string written;
  (void)file_read(outputPath, &written);
  (void)std::remove(outputPath.c_str());
  if (pDocument != nullptr) {
    pLibrary->release(pDocument);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written.size()));
}

// The bandwidth limit: only finding the line ends. For load, reading the file first.
size_t lines_count(const char* pData, size_t size) {
  size_t lines = 0;
  const char* pCurrent = pData;
  const char* const pEnd = pData + size;
  while (pCurrent < pEnd) {
    const auto* pLineFeed =
        static_cast<const char*>(std::memchr(pCurrent, '\n', static_cast<size_t>(pEnd - pCurrent)));
    if (pLineFeed == nullptr) {
      break;
    }
    ++lines;
    pCurrent = pLineFeed + 1;
  }
  return lines;
}

void bench_memchrParse(benchmark::State& state, const File_t* pFile) {
  for (auto _ : state) {
    heap_settle();
    const Clock::time_point start = Clock::now();
    benchmark::DoNotOptimize(lines_count(pFile->text.data(), pFile->text.size()));
    state.SetIterationTime(seconds_since(start));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pFile->text.size()));
}

void bench_memchrLoad(benchmark::State& state, const File_t* pFile) {
  for (auto _ : state) {
    heap_settle();
    const Clock::time_point start = Clock::now();
    std::FILE* pStream = std::fopen(pFile->path.c_str(), "rb");
    auto* pData = static_cast<char*>(std::malloc(pFile->text.size() + 1));
    const size_t size = std::fread(pData, 1, pFile->text.size(), pStream);
    std::fclose(pStream);
    benchmark::DoNotOptimize(lines_count(pData, size));
    std::free(pData);
    state.SetIterationTime(seconds_since(start));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pFile->text.size()));
}

// A fixed number of iterations keeps the whole run within minutes even for the
// slowest peer, whose untimed setup (a parse before each release) would otherwise
// multiply with a minimum time.
void benchmark_settle(benchmark::internal::Benchmark* pBenchmark, bool isLarge, int repetitions) {
  pBenchmark->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(isLarge ? 2 : 10)
      ->Repetitions(repetitions);
}

// ---------------------------------------------------------------------------
// Results and the markdown table.

struct Key_t {
  std::string file;
  std::string operation;
  std::string library;
  bool operator<(const Key_t& other) const {
    return std::tie(file, operation, library) <
           std::tie(other.file, other.operation, other.library);
  }
};

std::map<std::string, Key_t> gNames;          // benchmark name -> what it measures
std::map<Key_t, std::vector<double>> gRates;  // MB/s of each repetition

class CaptureReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto found = gNames.find(run.run_name.function_name);
      if (run.run_type != Run::RT_Iteration || run.error_occurred || found == gNames.end()) {
        continue;
      }
      const auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) {
        gRates[found->second].push_back(rate->second.value / 1e6);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

double rate_of(const Key_t& key) {
  const auto found = gRates.find(key);
  if (found == gRates.end() || found->second.empty()) {
    return 0.0;
  }
  std::vector<double> rates = found->second;
  std::sort(rates.begin(), rates.end());
  const size_t middle = rates.size() / 2;
  return rates.size() % 2 == 1 ? rates[middle] : (rates[middle - 1] + rates[middle]) / 2;
}

std::string number(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.*f", digits, value);
  return text;
}

std::string rate_text(double rate) {
  return number(rate, rate >= 100 ? 0 : 1);
}

struct Table_t {
  std::vector<std::string> libraries;  // column order
  std::vector<std::string> peers;
};

// The fastest peer's rate for an operation on a file, and its name.
double peer_best(const Table_t& table, const std::string& file, const std::string& operation,
                 std::string* pName) {
  double best = 0.0;
  for (const std::string& peer : table.peers) {
    const double rate = rate_of(Key_t{file, operation, peer});
    if (rate > best) {
      best = rate;
      if (pName != nullptr) {
        *pName = peer;
      }
    }
  }
  return best;
}

void table_rates(const Table_t& table, const std::vector<File_t>& files) {
  std::printf(
      "Throughput in MB/s (CPU time); in brackets the ratio to the fastest peer and to the "
      "floor. The floor is, for parse and load, a memchr line split keeping one malloc copy of "
      "each key, value, header and comment; for serialize, one fwrite of the same text into a "
      "memory stream; for save, the support library's save of that text; for release, freeing "
      "the floor's copies. memchr only finds the line ends.\n\n");
  std::printf("| file | operation |");
  for (const std::string& library : table.libraries) {
    std::printf(" %s |", library.c_str());
  }
  std::printf(" memchr |\n|---|---|");
  for (size_t i = 0; i <= table.libraries.size(); ++i) {
    std::printf("---:|");
  }
  std::printf("\n");
  for (const File_t& file : files) {
    for (const char* pOperation : kOperations) {
      const double best = peer_best(table, file.name(), pOperation, nullptr);
      const double floor = rate_of(Key_t{file.name(), pOperation, "floor"});
      std::printf("| %s | %s |", file.name().c_str(), pOperation);
      for (const std::string& library : table.libraries) {
        const double rate = rate_of(Key_t{file.name(), pOperation, library});
        if (rate <= 0.0) {
          std::printf(" — |");
          continue;
        }
        std::printf(" %s", rate_text(rate).c_str());
        if (library != "floor") {
          std::printf(" (%s / %s)", best > 0 ? (number(rate / best, 2) + "×").c_str() : "—",
                      floor > 0 ? (number(rate / floor, 2) + "×").c_str() : "—");
        }
        std::printf(" |");
      }
      const double scan = rate_of(Key_t{file.name(), pOperation, "memchr"});
      std::printf(" %s |\n", scan > 0 ? rate_text(scan).c_str() : "—");
    }
  }
  std::printf("\n");
}

void table_memory(const Table_t& table, const std::vector<File_t>& files) {
  std::printf(
      "Heap of one load, as a multiple of the file size: kept afterwards / peak during.\n\n");
  std::printf("| file |");
  for (const std::string& library : table.libraries) {
    std::printf(" %s |", library.c_str());
  }
  std::printf("\n|---|");
  for (size_t i = 0; i < table.libraries.size(); ++i) {
    std::printf("---:|");
  }
  std::printf("\n");
  for (const File_t& file : files) {
    std::printf("| %s |", file.name().c_str());
    const auto size = static_cast<double>(file.text.size());
    for (const std::string& library : table.libraries) {
      const auto found = file.memory.find(library);
      if (found == file.memory.end() || found->second.current < 0) {
        std::printf(" — |");
      } else {
        std::printf(" %s / %s |",
                    number(static_cast<double>(found->second.current) / size, 2).c_str(),
                    number(static_cast<double>(found->second.peak) / size, 2).c_str());
      }
    }
    std::printf("\n");
  }
  std::printf("\n");
}

struct Target_t {
  std::string what;
  std::string measured;
  bool isMet;
};

// ---------------------------------------------------------------------------
// What lossless editing costs: the document against the reader, in CPU time of
// one child process per file, each step the median of its repetitions. The
// steps take turns, so that drift in the machine's speed falls on all alike.

constexpr size_t kCostEdits = 1000;

struct Cost_t {
  double readerLoad = 0;    // VaskInitializationReader_load into a fresh queue
  double documentLoad = 0;  // VaskInitializationDocument_load
  double edits = 0;         // kCostEdits sets on a loaded document, then one text
  double walk = 0;          // every section, then every key of each, through the document
};

std::map<std::string, Cost_t> gCosts;  // file -> its costs

// One repetition of every step, each timed alone; false when one failed.
bool cost_once(Library* pVask, const File_t& file, const std::vector<DocumentEdit_t>& edits,
               Cost_t* pTimes) {
  heap_settle();
  Clock::time_point start = Clock::now();
  void* pQueue = pVask->load(file.path.c_str());
  pTimes->readerLoad = seconds_since(start);
  pVask->release(pQueue);
  heap_settle();
  start = Clock::now();
  void* pDocument = document_load(file.path.c_str());
  pTimes->documentLoad = seconds_since(start);
  bool isDone = pQueue != nullptr && pDocument != nullptr;
  if (isDone) {  // on the document just loaded: the first set builds its index
    heap_settle();
    start = Clock::now();
    isDone = document_edit(pDocument, edits);
    pTimes->edits = seconds_since(start);
  }
  document_release(pDocument);
  pDocument = isDone ? document_load(file.path.c_str()) : nullptr;
  if (pDocument != nullptr) {
    heap_settle();
    start = Clock::now();
    isDone = document_walk(pDocument) > 0;
    pTimes->walk = seconds_since(start);
  }
  document_release(pDocument);
  return isDone && pDocument != nullptr;
}

double median_of(std::vector<Cost_t>& times, double Cost_t::*pStep) {
  std::sort(times.begin(), times.end(),
            [pStep](const Cost_t& a, const Cost_t& b) { return a.*pStep < b.*pStep; });
  const size_t middle = times.size() / 2;
  return times.size() % 2 == 1 ? times[middle].*pStep
                               : (times[middle - 1].*pStep + times[middle].*pStep) / 2;
}

void cost_measure(Library* pVask, const File_t& file, int repetitions) {
  const std::string answer = child_run([&]() -> std::string {
    void* pDocument = document_load(file.path.c_str());
    std::vector<DocumentEdit_t> edits;
    if (pDocument != nullptr) {
      edits = document_plan(pDocument, kCostEdits, 20261207);
    }
    document_release(pDocument);
    std::vector<Cost_t> times(static_cast<size_t>(repetitions));
    for (Cost_t& each : times) {
      if (edits.size() != kCostEdits || !cost_once(pVask, file, edits, &each)) {
        return "failed";
      }
    }
    std::ostringstream medians;
    for (double Cost_t::*pStep :
         {&Cost_t::readerLoad, &Cost_t::documentLoad, &Cost_t::edits, &Cost_t::walk}) {
      medians << median_of(times, pStep) << ' ';
    }
    return medians.str();
  });
  Cost_t cost;
  std::istringstream medians(answer);
  if (medians >> cost.readerLoad >> cost.documentLoad >> cost.edits >> cost.walk) {
    gCosts[file.name()] = cost;
  } else {
    (void)std::fprintf(stderr, "document cost on %s: %s\n", file.name().c_str(), answer.c_str());
  }
}

void table_costs() {
  std::printf(
      "What lossless editing costs, in ms of CPU time (median); in brackets the ratio that a "
      "target bounds. Both loads read the file. The %zu sets (three of four replace a key chosen "
      "at random, one adds a key) start from a loaded document, build its index and end with one "
      "text; the walk lists every section, then every key of each, on a loaded document.\n\n",
      kCostEdits);
  std::printf(
      "| file | reader load | document load (÷ reader load) | %zu sets + text (÷ document load) "
      "| walk (÷ document load) |\n|---|---:|---:|---:|---:|\n",
      kCostEdits);
  for (const auto& [name, cost] : gCosts) {
    std::printf(
        "| %s | %s | %s (%s×) | %s (%s×) | %s (%s×) |\n", name.c_str(),
        number(cost.readerLoad * 1e3, 1).c_str(), number(cost.documentLoad * 1e3, 1).c_str(),
        number(cost.documentLoad / cost.readerLoad, 2).c_str(), number(cost.edits * 1e3, 1).c_str(),
        number(cost.edits / cost.documentLoad, 2).c_str(), number(cost.walk * 1e3, 1).c_str(),
        number(cost.walk / cost.documentLoad, 2).c_str());
  }
  std::printf("\n");
}

void cost_targets(std::vector<Target_t>* pTargets) {
  for (const auto& [name, cost] : gCosts) {
    const double load = cost.documentLoad / cost.readerLoad;
    const double edits = cost.edits / cost.documentLoad;
    const double walk = cost.walk / cost.documentLoad;
    pTargets->push_back(
        Target_t{name + " document load ≤ 1.5× reader load", number(load, 2) + "×", load <= 1.5});
    pTargets->push_back(
        Target_t{name + " " + std::to_string(kCostEdits) + " sets + text ≤ 3× document load",
                 number(edits, 2) + "×", edits <= 3.0});
    pTargets->push_back(
        Target_t{name + " walk ≤ 2× document load", number(walk, 2) + "×", walk <= 2.0});
  }
}

void table_targets(const Table_t& table, const std::vector<File_t>& files) {
  std::vector<Target_t> targets;
  for (const File_t& file : files) {
    if (file.size != "10MB" || (file.shape != "typical" && file.shape != "many-sections")) {
      continue;
    }
    const std::string name = file.name();
    for (const char* pOperation : {"parse", "load", "serialize", "release"}) {
      std::string peer;
      const double best = peer_best(table, name, pOperation, &peer);
      const double ours = rate_of(Key_t{name, pOperation, "vask"});
      const double wanted = std::strcmp(pOperation, "release") == 0 ? 1.0 : 2.0;
      if (best > 0) {
        targets.push_back(Target_t{
            name + " " + pOperation + " ≥ " + number(wanted, 0) + "× fastest peer (" + peer + ")",
            number(ours / best, 2) + "×", ours >= wanted * best});
      }
    }
    for (const char* pOperation : {"parse", "load"}) {
      const double floor = rate_of(Key_t{name, pOperation, "floor"});
      const double ours = rate_of(Key_t{name, pOperation, "vask"});
      if (floor > 0) {
        targets.push_back(Target_t{name + " " + pOperation + " ≥ 0.5× floor",
                                   number(ours / floor, 2) + "×", ours >= 0.5 * floor});
      }
    }
    const auto found = file.memory.find("vask");
    if (found != file.memory.end() && found->second.current >= 0) {
      const auto size = static_cast<double>(file.text.size());
      const double kept = static_cast<double>(found->second.current) / size;
      const double peak = static_cast<double>(found->second.peak) / size;
      targets.push_back(Target_t{name + " kept ≤ 3× file", number(kept, 2) + "×", kept <= 3.0});
      targets.push_back(Target_t{name + " peak ≤ 4× file", number(peak, 2) + "×", peak <= 4.0});
    }
  }
  for (const char* pShape : kShapes) {
    const std::string small = std::string(pShape) + "-1MB";
    const std::string large = std::string(pShape) + "-10MB";
    for (const char* pOperation : {"parse", "load", "serialize", "release"}) {
      const double rateSmall = rate_of(Key_t{small, pOperation, "vask"});
      const double rateLarge = rate_of(Key_t{large, pOperation, "vask"});
      // The floor's own drop from 1 MB to 10 MB shows what the memory hierarchy costs alone.
      const double floorSmall = rate_of(Key_t{small, pOperation, "floor"});
      const double floorLarge = rate_of(Key_t{large, pOperation, "floor"});
      if (rateSmall > 0 && rateLarge > 0) {
        std::string measured = number(rateLarge / rateSmall, 2) + "×";
        if (floorSmall > 0 && floorLarge > 0) {
          measured += " (floor " + number(floorLarge / floorSmall, 2) + "×)";
        }
        targets.push_back(
            Target_t{std::string(pShape) + " " + pOperation + ": 10 MB rate ≥ 0.85× 1 MB rate",
                     measured, rateLarge >= 0.85 * rateSmall});
      }
    }
  }
  cost_targets(&targets);
  std::printf("| target | measured | met |\n|---|---:|---|\n");
  for (const Target_t& target : targets) {
    std::printf("| %s | %s | %s |\n", target.what.c_str(), target.measured.c_str(),
                target.isMet ? "yes" : "**no**");
  }
  std::printf("\n");
}

void table_notes(const std::vector<File_t>& files) {
  for (const File_t& file : files) {
    for (const auto& [library, why] : file.refusal) {
      std::printf("- %s on %s: rows skipped, it %s.\n", library.c_str(), file.name().c_str(),
                  why.c_str());
    }
  }
}

// Times every operation of every library on one file, in a child process: each
// file's comparison starts from a fresh heap, whatever ran for the file before.
void file_bench(const File_t& file, const std::vector<std::unique_ptr<Library>>& libraries,
                Library* pVask, const std::string& corpus, int repetitions, bool isTable) {
  const std::string rates = child_run([&]() -> std::string {
    gRates.clear();  // what the parent gathered for the files before is not this file's
    const bool isLarge = file.size == "10MB";
    for (const char* pOperation : kOperations) {
      const std::string operation = pOperation;
      for (const auto& pLibrary : libraries) {
        Library* pThis = pLibrary.get();
        if (file.refusal.count(pThis->name()) != 0 ||
            (!pThis->canWrite() && (operation == "serialize" || operation == "save"))) {
          continue;
        }
        const std::string name = file.name() + "/" + operation + "/" + pThis->name();
        gNames[name] = Key_t{file.name(), operation, pThis->name()};
        benchmark::internal::Benchmark* pBenchmark = nullptr;
        const File_t* pFile = &file;
        if (operation == "parse") {
          pBenchmark = benchmark::RegisterBenchmark(name.c_str(), bench_parse, pThis, pFile);
        } else if (operation == "load") {
          pBenchmark = benchmark::RegisterBenchmark(name.c_str(), bench_load, pThis, pFile);
        } else if (operation == "serialize") {
          pBenchmark =
              benchmark::RegisterBenchmark(name.c_str(), bench_serialize, pThis, pVask, pFile);
        } else if (operation == "save") {
          pBenchmark = benchmark::RegisterBenchmark(name.c_str(), bench_save, pThis, pVask, pFile,
                                                    corpus + "/saved-" + pThis->name() + ".ini");
        } else {
          pBenchmark = benchmark::RegisterBenchmark(name.c_str(), bench_release, pThis, pFile);
        }
        benchmark_settle(pBenchmark, isLarge, repetitions);
      }
      if (operation == "parse" || operation == "load") {
        const std::string name = file.name() + "/" + operation + "/memchr";
        gNames[name] = Key_t{file.name(), operation, "memchr"};
        auto* pBenchmark =
            operation == "parse"
                ? benchmark::RegisterBenchmark(name.c_str(), bench_memchrParse, &file)
                : benchmark::RegisterBenchmark(name.c_str(), bench_memchrLoad, &file);
        benchmark_settle(pBenchmark, isLarge, repetitions);
      }
    }

    CaptureReporter reporter;
    if (isTable) {
      reporter.SetOutputStream(&std::cerr);
      reporter.SetErrorStream(&std::cerr);
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::ostringstream lines;
    for (const auto& [key, values] : gRates) {
      for (const double rate : values) {
        lines << key.operation << '\t' << key.library << '\t' << rate << '\n';
      }
    }
    return lines.str();
  });
  std::istringstream lines(rates);
  std::string operation;
  std::string library;
  double rate = 0;
  while (lines >> operation >> library >> rate) {
    gRates[Key_t{file.name(), operation, library}].push_back(rate);
  }
}

}  // namespace
}  // namespace vask::bench

int main(int argc, char** argv) {
  using namespace vask::bench;
  std::string corpus;
  bool isTable = false;
  bool isMemory = true;
  bool isCostOnly = false;
  int repetitions = 3;
  // Repetitions of all benchmarks of a file run in a random order, so that whatever heap
  // state one library leaves behind falls on every library alike. An explicit flag wins.
  static char interleaving[] = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> rest{argv[0], interleaving};
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--corpus" && i + 1 < argc) {
      corpus = argv[++i];
    } else if (argument == "--table") {
      isTable = true;
    } else if (argument == "--no-memory") {
      isMemory = false;
    } else if (argument == "--cost-only") {
      isCostOnly = true;
    } else if (argument == "--repetitions" && i + 1 < argc) {
      repetitions = std::max(1, std::atoi(argv[++i]));
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (corpus.empty()) {
    (void)std::fprintf(stderr,
                       "usage: %s --corpus <folder> [--table] [--repetitions N] [--no-memory] "
                       "[--cost-only] [flags]\n",
                       argv[0]);
    return 2;
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  // GLib 2.74's slice allocator keeps slabs of its own scattered through the heap, and
  // every library timed after GKeyFile would pay for that fragmentation. Plain malloc
  // is what GLib itself uses from 2.76 on; a G_SLICE set by the caller is kept.
  (void)setenv("G_SLICE", "always-malloc", 0);
  // Fixed allocator thresholds: by default the C library moves them as large blocks
  // come and go, so whether a run pays page faults for memory given back to the system
  // would depend on which benchmark ran before. With these, every allocation comes
  // from the heap and the heap is never trimmed: the timed runs measure the work of
  // the operation on warm memory, the same way for every library.
  (void)mallopt(M_MMAP_THRESHOLD, 1 << 30);
  (void)mallopt(M_TRIM_THRESHOLD, 1 << 30);

  std::vector<std::unique_ptr<Library>> libraries = libraries_make();
  Library* pVask = libraries.front().get();
  Library* pFloor = floor_find(libraries);
  Table_t table;
  for (const auto& pLibrary : libraries) {
    table.libraries.push_back(pLibrary->name());
    if (pLibrary->isPeer()) {
      table.peers.push_back(pLibrary->name());
    }
  }

  std::vector<File_t> files;
  for (const char* pShape : kShapes) {
    for (const char* pSize : kSizes) {
      File_t file;
      file.shape = pShape;
      file.size = pSize;
      file.path = corpus + "/" + file.name() + ".ini";
      if (!file_read(file.path, &file.text)) {
        std::fprintf(stderr, "cannot read %s (run vask_bench_corpus first)\n", file.path.c_str());
        return 1;
      }
      files.push_back(std::move(file));
    }
  }
  for (File_t& file : files) {
    if (isCostOnly) {
      break;
    }
    void* pDocument = pFloor->parse(file.text.c_str(), file.text.size());
    file.expected = pFloor->count(pDocument);
    pFloor->release(pDocument);
    for (const auto& pLibrary : libraries) {
      file_check(&file, pLibrary.get());
    }
  }

  for (const File_t& file : files) {
    if (!isCostOnly) {
      file_bench(file, libraries, pVask, corpus, repetitions, isTable);
    }
    if (file.size == "10MB" && (file.shape == "typical" || file.shape == "many-sections")) {
      cost_measure(pVask, file, std::max(repetitions, 5));
    }
  }
  benchmark::Shutdown();
  for (File_t& file : files) {
    for (const auto& pLibrary : libraries) {
      if (isMemory && !isCostOnly && file.refusal.count(pLibrary->name()) == 0) {
        file.memory[pLibrary->name()] = memory_measure(pLibrary.get(), file.path);
      }
    }
  }
  if (isTable && !isCostOnly) {
    table_rates(table, files);
    table_memory(table, files);
  }
  if (isTable) {
    table_costs();
    table_targets(table, files);
    table_notes(files);
  }
  return 0;
}

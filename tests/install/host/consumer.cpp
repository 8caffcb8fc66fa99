// A host program in C++, built against an installed copy of the libraries through
// find_package(VaskInitialization): it links only Vask::initialization and still
// reaches the support library (queue, buffer, error texts) through it. Loads a
// file, saves it elsewhere, and checks the bytes. Prints "ok" and exits 0.
#include <initialization_reader.h>
#include <initialization_section.h>
#include <initialization_utility.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_error.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

int section_deleteItem(void** ppData) {
  auto* pSection = static_cast<VaskInitializationSection_t*>(*ppData);
  const int result = VaskInitializationSection_delete(&pSection);
  *ppData = pSection;
  return result;
}

bool check(const char* pWhat, int result) {
  if (result != 0) {
    std::cerr << pWhat << ": " << VaskCommonError_text(result) << '(' << result << ")\n";
  }
  return result == 0;
}

std::string file_read(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer_cxx FOLDER\n";
    return 2;
  }
  const std::string input = std::string(argv[1]) + "/in.ini";
  const std::string output = std::string(argv[1]) + "/out.ini";
  std::ofstream(input, std::ios::binary) << "[net]\nhosts=a,b,c ; three\n";

  VaskCommonDQueueOpenParam_t param{section_deleteItem, false};
  VaskCommonDQueueHandle_t hQueue = 0;
  VaskInitializationReaderHandle_t hReader = 0;
  VaskInitializationWriterHandle_t hWriter = 0;
  if (!check("queue", VaskCommonDQueue_open(&param, &hQueue)) ||
      !check("reader open", VaskInitializationReader_open(&hReader)) ||
      !check("load", VaskInitializationReader_load(hReader, input.c_str(), hQueue)) ||
      !check("reader close", VaskInitializationReader_close(&hReader))) {
    return 1;
  }
  // The one section's one member: its value is a list of three elements.
  void* pData = nullptr;
  if (!check("pop", VaskCommonDQueue_popFront(hQueue, &pData))) {
    return 1;
  }
  auto* pSection = static_cast<VaskInitializationSection_t*>(pData);
  void* pMemberData = nullptr;
  if (!check("pop member", VaskCommonDQueue_popFront(pSection->hMember, &pMemberData))) {
    return 1;
  }
  auto* pMember = static_cast<VaskInitializationMember_t*>(pMemberData);
  const std::string value = pMember->pValue;
  size_t count = 0;
  if (!check("size",
             VaskInitializationUtility_size(value.data(), value.data() + value.size(), &count)) ||
      !check("push member", VaskCommonDQueue_pushBack(pSection->hMember, &pMemberData)) ||
      !check("push", VaskCommonDQueue_pushBack(hQueue, &pData))) {
    return 1;
  }
  if (count != 3) {
    std::cerr << "list of '" << value << "' counted " << count << ", expected 3\n";
    return 1;
  }
  std::remove(output.c_str());
  if (!check("writer open", VaskInitializationWriter_open(&hWriter)) ||
      !check("save", VaskInitializationWriter_save(hWriter, output.c_str(), hQueue)) ||
      !check("writer close", VaskInitializationWriter_close(&hWriter)) ||
      !check("queue close", VaskCommonDQueue_close(&hQueue))) {
    return 1;
  }
  const std::string written = file_read(output);
  const std::string expected = "[net]\n\nhosts=a,b,c ; three\n";
  if (written != expected) {
    std::cerr << "written: '" << written << "', expected '" << expected << "'\n";
    return 1;
  }
  std::cout << "ok\n";
  return 0;
}

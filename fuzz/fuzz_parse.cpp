// Any bytes, with the zero byte after them, parsed into a queue; the sections
// and the result must match a plain model of the format written here, and
// releasing the queue must free everything.
#include <vask_common_c/common_error.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_fail.h"
#include "sections.h"

namespace {

using Member = vask::test::MemberView;
using Section = vask::test::SectionView;

struct Model {
  std::vector<Section> sections;
  int result = VaskCommonError_Success;
};

bool isMarker(char c) {
  return c == '#' || c == ';';
}

// Reads the text line by line as the format describes it; deliberately simple
// and quadratic-free, sharing nothing with the reader.
Model model_read(const char* pText, size_t size) {
  Model model;
  Section current;
  bool isValid = false;
  bool isOpen = false;
  size_t position = 0;
  for (;;) {
    while (position < size && std::isspace(static_cast<unsigned char>(pText[position])) != 0) {
      ++position;
    }
    const char first = position < size ? pText[position] : '\0';
    if (first == '\0') {
      if (isValid) {
        model.sections.push_back(current);
      }
      return model;
    }
    const void* pLineFeed = std::memchr(pText + position + 1, '\n', size - position - 1);
    const size_t lineEnd = pLineFeed != nullptr
                               ? static_cast<size_t>(static_cast<const char*>(pLineFeed) - pText)
                               : size;
    // A zero byte cuts the line's contents short.
    std::string line(pText + position, lineEnd - position);
    line.resize(std::strlen(line.c_str()));
    if (isMarker(first) || first == '[') {
      if (isOpen) {  // the line opens the next section
        model.sections.push_back(current);
        current = Section{};
        isOpen = false;
        continue;
      }
      if (first == '[') {
        current.header = line.substr(
            1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1);
      } else {
        current.comments.push_back(line);
      }
    } else {
      isOpen = true;
      const size_t equal = line.find('=');
      if (equal == std::string::npos) {
        model.result = VaskCommonError_InvalidArgument;
        return model;
      }
      const std::string rest = line.substr(equal + 1);
      size_t marker = rest.find('#');
      if (marker == std::string::npos) {
        marker = rest.find(';');
      }
      Member member;
      member.key = line.substr(0, equal);
      const std::string valueRegion = rest.substr(0, marker);
      member.value = equal == 0 ? "" : valueRegion.substr(0, valueRegion.find_first_of(" #;\n"));
      if (marker != std::string::npos) {
        member.comment = rest.substr(marker);
      }
      current.members.push_back(member);
    }
    isValid = true;
    position = lineEnd;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size) {
  // An allocation of exactly the text and its zero byte, so that any read
  // beyond them is caught.
  const std::unique_ptr<char[]> text(new char[size + 1]);
  if (size > 0) {
    std::memcpy(text.get(), pData, size);
  }
  text[size] = '\0';

  const vask::Sections queue = vask::test::queueOf();
  const int result = vask::test::parseInto(std::string_view(text.get(), size), queue.handle());
  const Model model = model_read(text.get(), size);
  if (result != model.result) {
    vask::fuzz::fail("the result differs from the model's");
  }
  if (vask::test::dump(queue.handle()) !=
      vask::test::dump(vask::test::queueOf(model.sections).handle())) {
    vask::fuzz::fail("the sections differ from the model's");
  }
  return 0;
}

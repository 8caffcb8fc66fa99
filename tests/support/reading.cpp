#include "reading.h"

#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

namespace vask::test {

int parseText(const std::string& text, VaskCommonDQueueHandle_t hQueue) {
  VaskInitializationReaderHandle_t handle = 0;
  int result = VaskInitializationReader_open(&handle);
  if (result != VaskCommonError_Success) {
    return result;
  }
  VaskCommonBuffer_t buffer{const_cast<char*>(text.data()), 0, text.size(), nullptr, false};
  result = VaskInitializationReader_parse(handle, &buffer, hQueue);
  (void)VaskInitializationReader_close(&handle);
  return result;
}

namespace {

using S = std::string;

std::vector<TextCase> cases() {
  return {
      // The worked example.
      {"WorkedExample",
       "# c1\n; c2\n[s]\nk=v # tail\nk2=w2;x\n[t]\na=1\n",
       {section({"# c1", "; c2"}, "s", {member("k", "v", "# tail"), member("k2", "w2", ";x")}),
        section({}, "t", {member("a", "1")})}},
      // Member lines.
      {"BlanksBeforeTheEqualsSignStayInTheKeyAndEndTheValue",
       "[s]\nkey = value\n",
       {section({}, "s", {member("key ", "")})}},
      {"FurtherEqualsSignsBelongToTheValue",
       "[s]\nk=a=b\n",
       {section({}, "s", {member("k", "a=b")})}},
      {"ABlankEndsTheValueAndTheRestIsDropped",
       "[s]\nk=hello world\n",
       {section({}, "s", {member("k", "hello")})}},
      {"AnEmptyKeyLeavesTheValueEmpty", "[s]\n=v\n", {section({}, "s", {member("", "")})}},
      {"AnEmptyValue", "k=\n", {section({}, kNone, {member("k", "")})}},
      {"ABlankRightAfterTheEqualsSignGivesAnEmptyValue",
       "k= v\n",
       {section({}, kNone, {member("k", "")})}},
      {"TabsAndCarriageReturnsStayInTheValue",
       "k=a\tb\r\n",
       {section({}, kNone, {member("k", "a\tb\r")})}},
      {"CarriageReturnsAreOrdinaryCharacters",
       "[s]\r\nk=v\r\n; c\r\n[t]\r\n",
       {section({}, "s", {member("k", "v\r")}), section({"; c\r"}, "t", {})}},
      {"AHashEndsTheValueAndStartsTheComment",
       "k=v#c d\n",
       {section({}, kNone, {member("k", "v", "#c d")})}},
      {"ASemicolonEndsTheValueAndStartsTheComment",
       "k=v;c\n",
       {section({}, kNone, {member("k", "v", ";c")})}},
      {"TheFirstHashWinsOverAnEarlierSemicolon",
       "k=v ; c # d\n",
       {section({}, kNone, {member("k", "v", "# d")})}},
      {"ACommentRightAfterTheEqualsSign", "k=#c\n", {section({}, kNone, {member("k", "", "#c")})}},
      {"AMarkerBeforeTheEqualsSignBelongsToTheKey",
       "a;b=c\n",
       {section({}, kNone, {member("a;b", "c")})}},
      {"AHashInTheKeyAndACommentAfterTheValue",
       "a#b=c # d\n",
       {section({}, kNone, {member("a#b", "c", "# d")})}},
      {"AHashInTheKeyAndASemicolonCommentAfterTheValue",
       "a#b=c;d\n",
       {section({}, kNone, {member("a#b", "c", ";d")})}},
      {"ALastLineWithoutLineFeed", "[s]\nk=v", {section({}, "s", {member("k", "v")})}},
      {"IndentationIsSkipped",
       "  \t[s]\n\t k=v\n   ; c\n",
       {section({}, "s", {member("k", "v")}), section({"; c"}, kNone, {})}},
      {"EmptyLinesAndLinesOfBlanksAreNeverSeen",
       "\n\n[s]\n   \n\r\nk=v\n\n",
       {section({}, "s", {member("k", "v")})}},
      // Comment and header lines.
      {"ACommentLineKeepsItsTrailingBlanks", "   ; note \n", {section({"; note "}, kNone, {})}},
      {"ALoneHashIsACommentAndTheNextLineIsReadOnItsOwn",
       "#\nk=v\n",
       {section({"#"}, kNone, {member("k", "v")})}},
      {"TextAfterTheClosingBracketIsDropped",
       "[s] # note\nk=v\n",
       {section({}, "s", {member("k", "v")})}},
      {"BlanksInsideTheBracketsArePartOfTheName", "[ a b ]\n", {section({}, " a b ", {})}},
      {"EmptyBracketsGiveAnEmptyName", "[]\nk=v\n", {section({}, "", {member("k", "v")})}},
      {"AHeaderWithoutClosingBracketEndsAtItsLineFeed",
       "[abc\nk=v\n",
       {section({}, "abc", {member("k", "v")})}},
      {"TheFirstClosingBracketEndsTheName", "[a]b]\n", {section({}, "a", {})}},
      // Zero bytes.
      {"AZeroByteEndsTheValueAndHidesTheMarkerAfterIt",
       S("k=v\0x # c\nn=1\n", 14),
       {section({}, kNone, {member("k", "v"), member("n", "1")})}},
      {"AZeroByteEndsTheCommentAfterTheMarker",
       S("k=v # c\0d\n", 10),
       {section({}, kNone, {member("k", "v", "# c")})}},
      {"AZeroByteEndsAHeaderName", S("[s\0]\nk=v\n", 9), {section({}, "s", {member("k", "v")})}},
      {"AZeroByteEndsACommentLine",
       S("# c\0d\nk=v\n", 10),
       {section({"# c"}, kNone, {member("k", "v")})}},
      {"AZeroByteWhereALineStartsEndsTheText",
       S("a=1\n\0b=2\n", 9),
       {section({}, kNone, {member("a", "1")})}},
      // Grouping lines into sections.
      {"MembersBeforeTheFirstHeaderFormASectionWithoutHeader",
       "k=v\n[s]\na=1\n",
       {section({}, kNone, {member("k", "v")}), section({}, "s", {member("a", "1")})}},
      {"CommentsBeforeAndAfterAHeaderBelongToItsSection",
       "# c1\n[s]\n# c2\nk=v\n",
       {section({"# c1", "# c2"}, "s", {member("k", "v")})}},
      {"AHeaderAfterAHeaderReplacesTheName",
       "[a]\n[b]\nx=1\n",
       {section({}, "b", {member("x", "1")})}},
      {"ACommentBetweenMembersStartsASectionWithoutHeader",
       "[s]\na=1\n# mid\nb=2\n",
       {section({}, "s", {member("a", "1")}), section({"# mid"}, kNone, {member("b", "2")})}},
      {"ACommentAfterTheHeaderAloneStaysInTheSection",
       "[s]\n# only comment at end\n",
       {section({"# only comment at end"}, "s", {})}},
      {"CommentsAfterTheLastMemberFormALastSection",
       "[s]\nk=v\n# end\n; more\n",
       {section({}, "s", {member("k", "v")}), section({"# end", "; more"}, kNone, {})}},
      {"AHeaderWithoutMembersBeforeTheNextHeaderMergesIntoIt",
       "[a]\n# c\n[b]\nx=1\n[c]\n",
       {section({"# c"}, "b", {member("x", "1")}), section({}, "c", {})}},
      {"AnEmptyTextGivesNoSection", "", {}},
      {"ATextOfBlanksGivesNoSection", " \t\r\n\v\f\n", {}},
  };
}

}  // namespace

const std::vector<TextCase>& readerTextCases() {
  static const std::vector<TextCase> kCases = cases();
  return kCases;
}

}  // namespace vask::test

// hasChar reads TCF strings by UTF-16 code unit, as the phone's string class does, so a letter
// outside ASCII before the position shifts it by one unit (two for an emoji), not by its byte
// count; text that is not UTF-8 answers false.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QVRAdKit/Consent/GDPRString.h"

namespace QVRAdKit {
namespace {

TEST(GDPRString, AsciiPositionsAndTheEnd) {
  EXPECT_TRUE(hasChar("1011", u'1', 0));
  EXPECT_FALSE(hasChar("1011", u'1', 1));
  EXPECT_TRUE(hasChar("1011", u'1', 3));
  EXPECT_FALSE(hasChar("1011", u'1', 4)) << "the length itself is past the end";
  EXPECT_FALSE(hasChar("", u'1', 0));
  const std::string withNul{'1', '\0', '1'};
  EXPECT_FALSE(hasChar(withNul, u'1', 1)) << "an embedded NUL is a unit";
  EXPECT_TRUE(hasChar(withNul, u'\0', 1));
}

TEST(GDPRString, NonAsciiLettersCountAsUtf16Units) {
  // "é" is two bytes of UTF-8 but one UTF-16 unit: the '1' after it sits at unit 1, not 2.
  const std::string accented = std::string("\xC3\xA9") + "10";
  EXPECT_TRUE(hasChar(accented, u'\u00E9', 0));
  EXPECT_TRUE(hasChar(accented, u'1', 1));
  EXPECT_TRUE(hasChar(accented, u'0', 2));
  EXPECT_FALSE(hasChar(accented, u'1', 3)) << "three units long, though four bytes";

  // A three-byte letter (the euro sign) is one unit as well.
  EXPECT_TRUE(hasChar(std::string("\xE2\x82\xAC") + "1", u'1', 1));

  // An emoji beyond the basic plane is two units, a surrogate pair; each half is addressable.
  const std::string emoji = std::string("\xF0\x9F\x98\x80") + "1";  // U+1F600
  EXPECT_TRUE(hasChar(emoji, u'\xD83D', 0));
  EXPECT_TRUE(hasChar(emoji, u'\xDE00', 1));
  EXPECT_TRUE(hasChar(emoji, u'1', 2));
  EXPECT_FALSE(hasChar(emoji, u'1', 3));
}

TEST(GDPRString, InvalidUtf8AnswersFalseWhereverTheFaultLies) {
  const std::string faults[] = {
      "1\x80",                     // stray continuation byte
      "1\xC3",                     // truncated two-byte sequence
      "1\xE2\x82",                 // truncated three-byte sequence
      "1\xC0\xB1",                 // overlong form of '1'
      "1\xED\xA0\x80",             // an encoded surrogate
      "1\xF4\x90\x80\x80",         // past U+10FFFF
      "1\xFF",                     // never a UTF-8 byte
      std::string("1\xC3") + "1",  // lead byte followed by a non-continuation
  };
  for (const std::string& text : faults) {
    EXPECT_FALSE(hasChar(text, u'1', 0)) << "the fault lies after the index: " << text.size();
  }
  EXPECT_FALSE(hasChar(std::string("\x80") + "1", u'1', 1)) << "before the index";
}

// Several positions at once answer as each position alone would: every one must hold the unit, in
// ASCII text and where a letter outside ASCII shifts the positions, and none in invalid text.
TEST(GDPRString, EachOfSeveralPositionsAnswersAsAlone) {
  struct Case {
    std::string text;
    std::vector<std::size_t> indices;
    bool expected;
  };
  const std::string accented = std::string("\xC3\xA9") + "1011";
  const Case cases[] = {
      {"1011", {0, 2, 3}, true},   {"1011", {0, 1}, false},
      {"1011", {3, 4}, false},  // the last position is past the end
      {"1011", {}, true},          {"", {0}, false},
      {accented, {1, 3, 4}, true},  // "é" is one unit: the '1's sit at 1, 3 and 4
      {accented, {1, 2}, false},    // by bytes, 2 would be the first '1'
      {accented, {4, 5}, false},    // five units long, though six bytes
      {"1011\x80", {0, 2}, false},  // invalid after the positions
  };
  for (const Case& test : cases) {
    EXPECT_EQ(hasCharAtEach(test.text, u'1', test.indices), test.expected)
        << test.text << " at " << test.indices.size() << " positions";
  }
}

}  // namespace
}  // namespace QVRAdKit

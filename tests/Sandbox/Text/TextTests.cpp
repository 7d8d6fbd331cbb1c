#include <expat.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Sandbox/Banner/BannerPicture.h"
#include "Sandbox/Inspector/InspectorPage.h"
#include "Sandbox/Render/ViewTreeSVGRenderer.h"
#include "Sandbox/Text/MarkupText.h"
#include "Sandbox/Text/TerminalText.h"

namespace QVRAdKit::Sandbox {
namespace {

struct Case {
  std::string input;
  std::string expected;
};

TEST(MarkupTextTest, AnyBytesBecomeValidUtf8ThatXmlAllows) {
  const std::vector<Case> cases = {
      {"Premium \xe2\x9c\x93 free", "Premium \xe2\x9c\x93 free"},        // valid text unchanged
      {std::string("a\xff") + "b", std::string("a\xef\xbf\xbd") + "b"},  // a stray byte
      {"\xc3", "\xef\xbf\xbd"},                                          // cut-off sequence
      {"\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},                          // overlong "/"
      {"\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},          // a lone surrogate
      {"\xf4\x90\x80\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // past U+10FFFF
      {std::string("a\x01\x1f\x7f") + "b",
       std::string("a\x7f") + "b"},                // C0 controls dropped (DEL stays)
      {"tab\tline\nfeed\r", "tab\tline\nfeed\r"},  // the three XML keeps
      {"x\xef\xbf\xbe\xef\xbf\xbfy", "xy"},        // U+FFFE, U+FFFF
      {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},    // beyond the basic plane
      {std::string("nul\0byte", 8), "nulbyte"},
  };
  for (const Case& c : cases) EXPECT_EQ(MarkupText::sanitized(c.input), c.expected) << c.input;
  EXPECT_EQ(ViewTreeSVGRenderer::escapeXML("a\rb\x02<"), "a&#13;b&lt;");
  EXPECT_EQ(InspectorPage::escaped("\xff<"), "\xef\xbf\xbd&lt;");
}

TEST(TerminalTextTest, InvalidBytesControlsAndDirectionChangesAreShownEscaped) {
  const std::vector<Case> cases = {
      {"plain \xc3\xa9t\xc3\xa9 \\ text", "plain \xc3\xa9t\xc3\xa9 \\ text"},
      {"key\xff", "key\\xFF"},
      {"a\x1b[31mred", "a\\x1B[31mred"},  // a terminal escape
      {"tab\there", "tab\\x09here"},
      {"\xc2\x85", "\\u{85}"},                                                  // a C1 control
      {std::string("admin\xe2\x80\xae") + "txt.exe", "admin\\u{202E}txt.exe"},  // right-to-left
      {"\xe2\x81\xa6x\xe2\x81\xa9", "\\u{2066}x\\u{2069}"},                     // isolates
      {"\xe2\x80\x8f", "\\u{200F}"},
  };
  for (const Case& c : cases) EXPECT_EQ(TerminalText::visible(c.input), c.expected) << c.input;
}

// Whether text is a well-formed XML document, as a real parser reads it.
bool wellFormed(const std::string& text, std::string& problem) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  const bool parsed =
      XML_Parse(parser, text.data(), static_cast<int>(text.size()), /*isFinal=*/1) == XML_STATUS_OK;
  if (!parsed) {
    problem = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
              std::to_string(XML_GetCurrentLineNumber(parser));
  }
  XML_ParserFree(parser);
  return parsed;
}

// Titles of random bytes, weighted towards the ones that break documents: markup characters,
// controls, bytes that start or continue UTF-8 sequences, and the encodings of U+FFFE and of
// surrogates.
std::string fuzzedText(std::mt19937& random) {
  static const std::vector<std::string> pieces = {"<",
                                                  ">",
                                                  "&",
                                                  "\"",
                                                  "'",
                                                  "]]>",
                                                  "\x01",
                                                  "\x0b",
                                                  "\r",
                                                  "\n",
                                                  "\t",
                                                  "\x7f",
                                                  "\xc3",
                                                  "\xa9",
                                                  "\xff",
                                                  "\xfe",
                                                  "\xed\xa0\x80",
                                                  "\xef\xbf\xbe",
                                                  "\xef\xbf\xbf",
                                                  "\xf4\x90\x80\x80",
                                                  "\xe2\x80\xae",
                                                  "&amp;",
                                                  "<!--",
                                                  "A",
                                                  " ",
                                                  "Premium"};
  std::string text;
  const int length = std::uniform_int_distribution<int>(0, 24)(random);
  for (int i = 0; i < length; ++i) {
    if (random() % 3 == 0) {
      text += static_cast<char>(random() % 256);
    } else {
      text += pieces[random() % pieces.size()];
    }
  }
  return text;
}

TEST(MarkupTextTest, BannerPicturesOfFuzzedTitlesAreWellFormedXml) {
  std::mt19937 random(17);
  for (int round = 0; round < 60; ++round) {
    BannerPicture::Options options;
    options.title = fuzzedText(random);
    options.subtitle = fuzzedText(random);
    options.partnerName = fuzzedText(random);
    const std::string svg = BannerPicture::svg(options);
    std::string problem;
    EXPECT_TRUE(wellFormed(svg, problem)) << problem << "\n" << svg;
  }
  // And every page: the same parser reads the page's text as an XML fragment.
  for (int round = 0; round < 200; ++round) {
    const std::string text = fuzzedText(random);
    const std::string document = "<p title=\"" + InspectorPage::escaped(text) + "\">" +
                                 InspectorPage::escaped(text) + "</p>";
    std::string problem;
    EXPECT_TRUE(wellFormed(document, problem)) << problem << "\n" << document;
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox

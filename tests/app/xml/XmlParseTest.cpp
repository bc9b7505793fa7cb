// Parsing, navigation, attribute reading and the result log of XmlDocument.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/xml/XmlDocument.h"

namespace kl {
namespace {

// A layout-like document: "a" occurs at two levels and "deep" only inside the first "a".
constexpr const wchar_t* kNested =
    L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    L"<!-- keys -->\r\n"
    L"<root>\r\n"
    L"<a id=\"1\"><deep id=\"d\"/><a id=\"inner\"/></a>\r\n"
    L"<b id=\"2\"/>\r\n"
    L"<a id=\"3\"/>\r\n"
    L"</root>\r\n";

class NavigationTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_doc.ParseText(kNested)) << m_doc.Result();
    ASSERT_TRUE(m_doc.FindElement(L"root"));
    ASSERT_TRUE(m_doc.EnterElement());
  }
  XmlDocument m_doc;
};

TEST_F(NavigationTest, FindElementWalksSiblingsOfOneNameInOrder) {
  ASSERT_TRUE(m_doc.FindElement(L"a"));
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"1");
  ASSERT_TRUE(m_doc.FindElement(L"a"));
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"3");
  EXPECT_FALSE(m_doc.FindElement(L"a"));
  // A failed search leaves the cursor where it was.
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"3");
}

TEST_F(NavigationTest, FindElementDoesNotDescend) {
  EXPECT_FALSE(m_doc.FindElement(L"deep"));
  // Nothing moved: the next search still starts at the first child.
  ASSERT_TRUE(m_doc.FindElement(L"a"));
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"1");
}

TEST_F(NavigationTest, FindElementComparesWholeNamesCaseSensitively) {
  EXPECT_FALSE(m_doc.FindElement(L"A"));
  EXPECT_FALSE(m_doc.FindElement(L"ro"));
  EXPECT_FALSE(m_doc.FindElement(L"bb"));
  EXPECT_FALSE(m_doc.FindElement(L""));
  ASSERT_TRUE(m_doc.FindElement(L"b"));
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"2");
}

TEST_F(NavigationTest, SearchAfterAnotherNameContinuesFromThere) {
  ASSERT_TRUE(m_doc.FindElement(L"b"));
  ASSERT_TRUE(m_doc.FindElement(L"a"));
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"3");
}

TEST_F(NavigationTest, EnterAndLeaveResumeWhereTheyLeftOff) {
  ASSERT_TRUE(m_doc.FindElement(L"a"));
  ASSERT_TRUE(m_doc.EnterElement());
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"");  // no current element inside yet
  ASSERT_TRUE(m_doc.FindElement(L"a"));
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"inner");

  ASSERT_TRUE(m_doc.LeaveElement());
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"1");
  // Entering again goes back to the element left, so the inner search goes on after it.
  ASSERT_TRUE(m_doc.EnterElement());
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"inner");
  EXPECT_FALSE(m_doc.FindElement(L"deep"));

  ASSERT_TRUE(m_doc.LeaveElement());
  ASSERT_TRUE(m_doc.FindElement(L"a"));
  EXPECT_EQ(m_doc.GetAttribute(L"id"), L"3");
}

TEST_F(NavigationTest, EnterNeedsACurrentElementAndLeaveStopsAtTheTop) {
  EXPECT_FALSE(m_doc.EnterElement());  // inside root, nothing found yet
  ASSERT_TRUE(m_doc.LeaveElement());
  EXPECT_FALSE(m_doc.LeaveElement());
  // Back at the top with root as the current element: the search goes on after it.
  EXPECT_FALSE(m_doc.FindElement(L"root"));
}

TEST(XmlDocument, NewDocumentIsEmptyAndInert) {
  XmlDocument doc;
  EXPECT_TRUE(doc.Text().empty());
  EXPECT_TRUE(doc.Result().empty());
  EXPECT_FALSE(doc.IsWellFormed());
  EXPECT_FALSE(doc.FindElement(L"a"));
  EXPECT_FALSE(doc.EnterElement());
  EXPECT_FALSE(doc.LeaveElement());
  EXPECT_EQ(doc.GetAttribute(L"a"), L"");
  EXPECT_FALSE(doc.SetAttribute(L"a", L"1"));
}

TEST(XmlDocument, ParseReplacesTheDocumentAndResetsTheCursor) {
  XmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<a><b v=\"1\"/></a>"));
  ASSERT_TRUE(doc.FindElement(L"a"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.ParseText(L"<c v=\"2\"/>"));
  EXPECT_FALSE(doc.FindElement(L"b"));
  ASSERT_TRUE(doc.FindElement(L"c"));
  EXPECT_EQ(doc.GetAttribute(L"v"), L"2");
}

// Documents whose comments, CDATA, processing instructions, document type or quoted values
// hold text that looks like markup. Each has a root "r" with exactly one child "k" v="1".
TEST(XmlDocument, MarkupInsideOtherNodesIsNotAnElement) {
  const std::vector<std::wstring> documents = {
      L"<r><!-- <k v=\"2\"/> -- - --><k v=\"1\"/></r>",
      L"<r><![CDATA[<k v=\"2\"/></r>]]]><k v=\"1\"/></r>",
      L"<?xml version=\"1.0\"?><?pi <k v=\"2\"/> ? > ?><r><k v=\"1\"/></r>",
      L"<!DOCTYPE r [<!ENTITY e \"]>\"> <!-- ]> ' --> <!ELEMENT r ANY>]><r><k v=\"1\"/></r>",
      L"<!DOCTYPE r SYSTEM \"a>b.dtd\"><r><k v=\"1\"/></r>",
      L"<r a='x>y' b=\"/>\" c='<k v=\"2\"/>'><k v=\"1\"/></r>",
      L"<r\r\n  x = \"1\"\t><k\nv=\"1\"\n/>text &amp; more</r >",
      L"\r\n  <r>\r\n<k v=\"1\"></k></r>\r\n<!-- trailer -->\r\n",
  };
  for (const std::wstring& text : documents) {
    SCOPED_TRACE(testing::Message() << "document: " << testing::PrintToString(text));
    XmlDocument doc;
    EXPECT_TRUE(doc.ParseText(text)) << doc.Result();
    EXPECT_EQ(doc.Result(), L"");
    ASSERT_TRUE(doc.FindElement(L"r"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(L"k"));
    EXPECT_EQ(doc.GetAttribute(L"v"), L"1");
    EXPECT_FALSE(doc.FindElement(L"k"));
  }
}

TEST(XmlDocument, NonAsciiNamesAndValues) {
  XmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<配置 名称=\"方案 1\"><键 值=\"\U0001F600\"/></配置>")) << doc.Result();
  ASSERT_TRUE(doc.FindElement(L"配置"));
  EXPECT_EQ(doc.GetAttribute(L"名称"), L"方案 1");
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.FindElement(L"键"));
  EXPECT_EQ(doc.GetAttribute(L"值"), L"\U0001F600");
}

// ---------------------------------------------------------------------------------------------
// Attributes

TEST(XmlAttributes, QuotingStylesAndMissingAttributes) {
  XmlDocument doc;
  ASSERT_TRUE(doc.ParseText(
      L"<r a=\"1\" b='2' c = \"3\"\td=4 e f=\"it's\" g='say \"hi\"' h=\"\" ab=\"x\" i='a > b'/>"));
  ASSERT_TRUE(doc.FindElement(L"r"));
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"a", L"1"},       {L"b", L"2"},           {L"c", L"3"},  {L"d", L"4"},
      {L"e", L""},        {L"f", L"it's"},        {L"g", L"say \"hi\""},
      {L"h", L""},        {L"ab", L"x"},          {L"i", L"a > b"},
      {L"missing", L""},  {L"A", L""},            {L"r", L""},
  };
  for (const auto& [name, value] : cases) EXPECT_EQ(doc.GetAttribute(name), value) << "attribute " << name;
}

TEST(XmlAttributes, GetAttributeNeedsACurrentElement) {
  XmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<r a=\"1\"/>"));
  EXPECT_EQ(doc.GetAttribute(L"a"), L"");
}

// One code point as wide text: one wchar_t where it has 32 bits, a surrogate pair where 16.
std::wstring CodePointText(char32_t c) {
  if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
    c -= 0x10000;
    return {static_cast<wchar_t>(0xD800 + (c >> 10)), static_cast<wchar_t>(0xDC00 + (c & 0x3FF))};
  }
  return std::wstring(1, static_cast<wchar_t>(c));
}

// Each case is the raw text of an attribute value (between double quotes) and its decoded form.
TEST(XmlAttributes, ReferencesAreDecoded) {
  struct Case {
    const wchar_t* raw;
    std::wstring decoded;
  };
  const std::wstring smiley = CodePointText(0x1F600);
  const Case cases[] = {
      // the five XML names
      {L"&lt;&gt;&amp;&apos;&quot;", L"<>&'\""},
      // HTML names, including ones that differ only in case and the longest ones
      {L"caf&eacute; &Eacute;&Agrave;&agrave;", L"café ÉÀà"},
      {L"&nbsp;&yuml;&Yuml;&euro;&hellip;&thetasym;&alefsym;", L"\u00A0ÿŸ€…ϑℵ"},
      {L"&Dagger;&dagger;&Prime;&prime;&OElig;&oelig;&Omega;&omega;", L"‡†″′ŒœΩω"},
      // other capitalisations read as the lower-case name
      {L"&AMP;&Lt;&QUOT;&EUro;", L"&<\"€"},
      // numeric references
      {L"&#65;&#x42;&#X43;&#x0000044;&#8364;", L"ABCD€"},
      {L"&#x1F600;&#128512;", smiley + smiley},
      {L"&#1114111;&#x10000;", CodePointText(0x10FFFF) + CodePointText(0x10000)},
      // numbers that name no character stay as written
      {L"&#0;&#x0;&#xD800;&#xDFFF;&#55296;&#x110000;&#1114112;", L"&#0;&#x0;&#xD800;&#xDFFF;&#55296;&#x110000;&#1114112;"},
      {L"&#;&#x;&#12a;&#xG1;&#-1;&# 65;", L"&#;&#x;&#12a;&#xG1;&#-1;&# 65;"},
      // unknown names, missing ";", and names over nine characters stay as written
      {L"&bogus; &amp &amp ; & amp;", L"&bogus; &amp &amp ; & amp;"},
      {L"&#00000065;&#000000065;", L"A&#000000065;"},
      {L"&&amp;;&;", L"&&;&;"},
      {L"&eacut&eacute;", L"&eacuté"},
  };
  for (const Case& c : cases) {
    XmlDocument doc;
    ASSERT_TRUE(doc.ParseText(std::wstring(L"<r v=\"") + c.raw + L"\"/>")) << doc.Result();
    ASSERT_TRUE(doc.FindElement(L"r"));
    EXPECT_EQ(doc.GetAttribute(L"v"), c.decoded) << "raw value: " << testing::PrintToString(std::wstring(c.raw));
  }
}

// ---------------------------------------------------------------------------------------------
// The result log

struct MalformedCase {
  const char* what;
  const wchar_t* text;
  const wchar_t* log;
};

void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.what; }

class MalformedTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedTest, IsLoggedAndNotWellFormed) {
  XmlDocument doc;
  EXPECT_FALSE(doc.ParseText(GetParam().text));
  EXPECT_FALSE(doc.IsWellFormed());
  EXPECT_EQ(doc.Result(), GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(
    XmlLog, MalformedTest,
    testing::Values(
        MalformedCase{"bad_tag_start", L"<r>a < b</r>",
                      L"<bad_tag_start offset=\"5\"/><unclosed_element tagname=\"r\" offset=\"0\" offset2=\"12\"/>"},
        MalformedCase{"bad_declaration", L"<r><!foo></r>", L"<bad_declaration offset=\"3\"/>"},
        MalformedCase{"bad_comment", L"<r><!-x></r>", L"<bad_comment offset=\"3\"/>"},
        MalformedCase{"bad_cdata", L"<r><![CDAT[x]]></r>", L"<bad_cdata offset=\"3\"/>"},
        MalformedCase{"bad_doctype", L"<!DOCTYPO r><r/>", L"<bad_doctype offset=\"0\"/>"},
        MalformedCase{"open_start_tag", L"<r><a b='x></r>",
                      L"<unterminated_node type=\"start_tag\" offset=\"3\"/>"
                      L"<unclosed_element tagname=\"r\" offset=\"0\" offset2=\"15\"/>"},
        MalformedCase{"open_end_tag", L"<r></r",
                      L"<unterminated_node type=\"end_tag\" offset=\"3\"/>"
                      L"<unclosed_element tagname=\"r\" offset=\"0\" offset2=\"6\"/>"},
        MalformedCase{"open_cdata", L"<r><![CDATA[x</r>",
                      L"<unterminated_node type=\"cdata_section\" offset=\"3\"/>"
                      L"<unclosed_element tagname=\"r\" offset=\"0\" offset2=\"17\"/>"},
        MalformedCase{"open_processing_instruction", L"<?xml version='1.0'",
                      L"<unterminated_node type=\"processing_instruction\" offset=\"0\"/><missing_root/>"},
        MalformedCase{"open_comment", L"<r/><!-- x", L"<unterminated_node type=\"comment\" offset=\"4\"/>"},
        MalformedCase{"open_doctype", L"<!DOCTYPE r [ <!ENTITY x '>'> ",
                      L"<unterminated_node type=\"document_type\" offset=\"0\"/><missing_root/>"},
        MalformedCase{"open_tag", L"<r/><", L"<unterminated_node type=\"tag\" offset=\"4\"/>"},
        MalformedCase{"unclosed_inside", L"<a><b></a>",
                      L"<unclosed_element tagname=\"b\" offset=\"3\" offset2=\"6\"/>"},
        MalformedCase{"unclosed_at_end", L"<a><b>",
                      L"<unclosed_element tagname=\"b\" offset=\"3\" offset2=\"6\"/>"
                      L"<unclosed_element tagname=\"a\" offset=\"0\" offset2=\"6\"/>"},
        MalformedCase{"unmatched_end_tag", L"<a></b></a>", L"<unmatched_end_tag tagname=\"b\" offset=\"3\"/>"},
        MalformedCase{"unmatched_at_top", L"<a/></a>", L"<unmatched_end_tag tagname=\"a\" offset=\"4\"/>"},
        MalformedCase{"missing_root_empty", L"", L"<missing_root/>"},
        MalformedCase{"missing_root_comment", L"<?xml version=\"1.0\"?>\r\n<!-- only -->", L"<missing_root/>"},
        MalformedCase{"extra_root", L"<a/>\r\n<b/>", L"<extra_root tagname=\"b\" offset=\"6\"/>"}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.what); });

// The elements recognised in a broken document can still be read.
TEST(XmlLog, UnclosedElementKeepsItsChildren) {
  XmlDocument doc;
  EXPECT_FALSE(doc.ParseText(L"<a><b><c v=\"1\"/></a><d/>"));
  ASSERT_TRUE(doc.FindElement(L"a"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.FindElement(L"b"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.FindElement(L"c"));
  EXPECT_EQ(doc.GetAttribute(L"v"), L"1");
  ASSERT_TRUE(doc.LeaveElement());
  ASSERT_TRUE(doc.LeaveElement());
  EXPECT_TRUE(doc.FindElement(L"d"));  // after "</a>" the top level goes on
}

TEST(XmlLog, EndTagClosesTheInnermostElementOfItsName) {
  XmlDocument doc;
  EXPECT_FALSE(doc.ParseText(L"<a><x><a><y></a></x></a>"));
  EXPECT_EQ(doc.Result(), L"<unclosed_element tagname=\"y\" offset=\"9\" offset2=\"12\"/>");
}

// Entries stop once the log has reached 1000 characters; the log stays a readable fragment.
TEST(XmlLog, StopsGrowingAtItsBound) {
  std::wstring text = L"<r>";
  for (int i = 0; i < 200; ++i) text += L"</x>";
  text += L"</r>";
  XmlDocument doc;
  EXPECT_FALSE(doc.ParseText(text));
  const std::wstring log = doc.Result();
  EXPECT_GE(log.size(), 1000u);
  const size_t lastEntry = log.rfind(L"<unmatched_end_tag");
  ASSERT_NE(lastEntry, std::wstring::npos);
  EXPECT_LT(lastEntry, 1000u);
  EXPECT_TRUE(log.starts_with(L"<unmatched_end_tag tagname=\"x\" offset=\"3\"/>"));

  XmlDocument reader;
  ASSERT_TRUE(reader.ParseText(L"<log>" + log + L"</log>")) << reader.Result();
  ASSERT_TRUE(reader.FindElement(L"log"));
  ASSERT_TRUE(reader.EnterElement());
  int entries = 0;
  while (reader.FindElement(L"unmatched_end_tag")) ++entries;
  EXPECT_GT(entries, 10);
  EXPECT_LT(entries, 200);
}

TEST(XmlLog, IsClearedByEachParse) {
  XmlDocument doc;
  EXPECT_FALSE(doc.ParseText(L"<a>"));
  EXPECT_NE(doc.Result(), L"");
  EXPECT_TRUE(doc.ParseText(L"<a/>"));
  EXPECT_EQ(doc.Result(), L"");
}

// Deep nesting followed by stray end tags: every end tag misses every open element. This must
// neither recurse nor rescan the stack for each end tag.
TEST(XmlLog, DeepNestingWithStrayEndTags) {
  constexpr int kDepth = 100000;
  std::wstring text;
  for (int i = 0; i < kDepth; ++i) text += L"<a>";
  for (int i = 0; i < kDepth; ++i) text += L"</b>";
  XmlDocument doc;
  EXPECT_FALSE(doc.ParseText(text));
  EXPECT_LT(doc.Result().size(), 1100u);
  // All the elements are there, one inside the other.
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_TRUE(doc.FindElement(L"a")) << "depth " << i;
    ASSERT_TRUE(doc.EnterElement());
  }
  EXPECT_FALSE(doc.FindElement(L"a"));
}

TEST(XmlLog, DeepNestingClosesInOrder) {
  constexpr int kDepth = 100000;
  std::wstring text;
  for (int i = 0; i < kDepth; ++i) text += L"<a n=\"" + std::to_wstring(i) + L"\">";
  text += L"<leaf/>";
  for (int i = 0; i < kDepth; ++i) text += L"</a>";
  XmlDocument doc;
  ASSERT_TRUE(doc.ParseText(text)) << doc.Result();
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_TRUE(doc.FindElement(L"a"));
    ASSERT_TRUE(doc.EnterElement());
  }
  EXPECT_TRUE(doc.FindElement(L"leaf"));
  ASSERT_TRUE(doc.LeaveElement());
  EXPECT_EQ(doc.GetAttribute(L"n"), std::to_wstring(kDepth - 1));
}

// ---------------------------------------------------------------------------------------------
// Encoding names

TEST(XmlEncodingNames, MapToWindowsCodePages) {
  const std::pair<const wchar_t*, int> cases[] = {
      {L"utf-8", 65001},       {L"UTF-8", 65001},         {L"Utf8", 65001},
      {L"utf-16", 1200},       {L"unicode", 1200},        {L"UTF-16BE", 1201},
      {L"utf-7", 65000},       {L"us-ascii", 20127},      {L"ISO-8859-1", 28591},
      {L"latin1", 28591},      {L"iso-8859-15", 28605},   {L"windows-1252", 1252},
      {L"Windows-1250", 1250}, {L"shift_jis", 932},       {L"Shift_JIS", 932},
      {L"gb2312", 936},        {L"GBK", 936},             {L"gb18030", 54936},
      {L"big5", 950},          {L"euc-kr", 51949},        {L"ks_c_5601-1987", 949},
      {L"euc-jp", 51932},      {L"koi8-r", 20866},        {L"KOI8-U", 21866},
      {L"ibm850", 850},        {L"macintosh", 10000},     {L"iso-2022-jp", 50220},
      {L"UTF-32", 65005},      {L"utf-32le", 65005},      {L"UTF-32BE", 65005},
      {L"", -1},               {L"utf", -1},              {L"utf-8 ", -1},
      {L"windows-1252x", -1},  {L"ANSI", -1},             {L"ütf-8", -1},
  };
  for (const auto& [name, codePage] : cases) EXPECT_EQ(XmlDocument::EncodingToCodePage(name), codePage) << name;
}

}  // namespace
}  // namespace kl

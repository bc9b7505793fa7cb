// Editing an XmlDocument in place: SetAttribute and AddElement.
#include <gtest/gtest.h>

#include <string>

#include "app/xml/XmlDocument.h"

namespace kl {
namespace {

constexpr const wchar_t* kDeclaration = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// The edited text must index exactly as it reads: a fresh parse of it is clean.
void ExpectReparsesCleanly(const XmlDocument& doc) {
  XmlDocument fresh;
  EXPECT_TRUE(fresh.ParseText(doc.Text())) << fresh.Result();
}

TEST(XmlEdit, BuildsOneElementPerLineFromTheDeclaration) {
  XmlDocument doc;
  EXPECT_FALSE(doc.ParseText(kDeclaration));  // no root element yet
  ASSERT_TRUE(doc.AddElement(L"profile"));
  ASSERT_TRUE(doc.SetAttribute(L"name", L"a & b <c> \"d\" 'e'"));
  ASSERT_TRUE(doc.SetAttribute(L"id", 7));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"key"));
  ASSERT_TRUE(doc.SetAttribute(L"code", L"29"));
  ASSERT_TRUE(doc.AddElement(L"key"));
  ASSERT_TRUE(doc.SetAttribute(L"code", -1));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"macro"));
  ASSERT_TRUE(doc.SetAttribute(L"text", L"宏 1"));
  ASSERT_TRUE(doc.LeaveElement());
  ASSERT_TRUE(doc.AddElement(L"key"));
  EXPECT_TRUE(doc.IsWellFormed());

  EXPECT_EQ(doc.Text(),
            L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            L"<profile name=\"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;\" id=\"7\">\r\n"
            L"<key code=\"29\"/>\r\n"
            L"<key code=\"-1\">\r\n"
            L"<macro text=\"宏 1\"/>\r\n"
            L"</key>\r\n"
            L"<key/>\r\n"
            L"</profile>");
  ExpectReparsesCleanly(doc);

  // The edited index answers like a fresh one.
  ASSERT_TRUE(doc.LeaveElement());
  EXPECT_EQ(doc.GetAttribute(L"name"), L"a & b <c> \"d\" 'e'");
  ASSERT_TRUE(doc.EnterElement());
  EXPECT_EQ(doc.GetAttribute(L"code"), L"");  // the third key
  EXPECT_FALSE(doc.FindElement(L"key"));
}

TEST(XmlEdit, SetAttributeTwiceKeepsOneAttributeWithTheSecondValue) {
  XmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<r>\r\n<k a='1' b=\"x\"/>\r\n<k a=\"3\"/>\r\n</r>"));
  ASSERT_TRUE(doc.FindElement(L"r"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.FindElement(L"k"));
  ASSERT_TRUE(doc.SetAttribute(L"a", L"first value"));
  ASSERT_TRUE(doc.SetAttribute(L"a", L"2"));
  EXPECT_EQ(doc.GetAttribute(L"a"), L"2");
  EXPECT_EQ(doc.GetAttribute(L"b"), L"x");
  EXPECT_EQ(doc.Text(), L"<r>\r\n<k a=\"2\" b=\"x\"/>\r\n<k a=\"3\"/>\r\n</r>");
  // The element after the edit moved with the text.
  ASSERT_TRUE(doc.FindElement(L"k"));
  EXPECT_EQ(doc.GetAttribute(L"a"), L"3");
}

TEST(XmlEdit, SetAttributeWritesIntoEachFormOfStartTag) {
  struct Case {
    const wchar_t* before;
    const wchar_t* name;
    const wchar_t* value;
    const wchar_t* after;
  };
  const Case cases[] = {
      {L"<r/>", L"a", L"1", L"<r a=\"1\"/>"},
      {L"<r />", L"a", L"1", L"<r a=\"1\" />"},
      {L"<r>x</r>", L"a", L"1", L"<r a=\"1\">x</r>"},
      {L"<r b=\"2\" >x</r>", L"a", L"1", L"<r b=\"2\" a=\"1\" >x</r>"},
      {L"<r\r\nb=\"2\"\r\n/>", L"a", L"1", L"<r\r\nb=\"2\" a=\"1\"\r\n/>"},
      {L"<r disabled/>", L"disabled", L"1", L"<r disabled=\"1\"/>"},
      {L"<r a = '0'/>", L"a", L"1", L"<r a = \"1\"/>"},
      {L"<r a=0 b=\"2\"/>", L"a", L"1", L"<r a=\"1\" b=\"2\"/>"},
      {L"<r a=\"\"/>", L"a", L"<&>\"'", L"<r a=\"&lt;&amp;&gt;&quot;&apos;\"/>"},
      {L"<r a=\"long old value\"/>", L"a", L"", L"<r a=\"\"/>"},
      {L"<r ab=\"1\"/>", L"a", L"2", L"<r ab=\"1\" a=\"2\"/>"},
      // quotes inside a name or an unquoted value pair up as the parser pairs them
      {L"<r v=a\"b c\"d/>", L"v", L"1", L"<r v=\"1\"/>"},
      {L"<r a\"b c\"d/>", L"v", L"1", L"<r a\"b c\"d v=\"1\"/>"},
      // a dangling "=" keeps an empty value; the new attribute does not become it
      {L"<r a= >x</r>", L"v", L"1", L"<r a= v=\"1\" >x</r>"},
      {L"<r a= b/>", L"a", L"1", L"<r a=\"1\" b/>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.before)));
    XmlDocument doc;
    ASSERT_TRUE(doc.ParseText(c.before)) << doc.Result();
    ASSERT_TRUE(doc.FindElement(L"r"));
    ASSERT_TRUE(doc.SetAttribute(c.name, c.value));
    EXPECT_EQ(doc.Text(), c.after);
    EXPECT_EQ(doc.GetAttribute(c.name), c.value);
    ExpectReparsesCleanly(doc);
  }
}

TEST(XmlEdit, AddElementPlacesTheElementOnALineOfItsOwn) {
  struct Case {
    const wchar_t* before;
    const wchar_t* current;  // child of "r" to find before adding, or empty
    const wchar_t* after;
  };
  const Case cases[] = {
      // no current element: after the last child
      {L"<r>\r\n<a/>\r\n<a/>\r\n</r>", L"", L"<r>\r\n<a/>\r\n<a/>\r\n<b/>\r\n</r>"},
      // the first child: before the end tag, which moves to a line of its own
      {L"<r></r>", L"", L"<r>\r\n<b/>\r\n</r>"},
      {L"<r>\r\n</r>", L"", L"<r>\r\n<b/>\r\n</r>"},
      {L"<r>text</r>", L"", L"<r>text\r\n<b/>\r\n</r>"},
      // a parent in empty form is rewritten with an end tag
      {L"<r/>", L"", L"<r>\r\n<b/>\r\n</r>"},
      {L"<r x=\"1\" />", L"", L"<r x=\"1\">\r\n<b/>\r\n</r>"},
      {L"<r x=1/ />", L"", L"<r x=1/ >\r\n<b/>\r\n</r>"},
      // after the current element, before its next sibling
      {L"<r>\r\n<a/>\r\n<c/>\r\n</r>", L"a", L"<r>\r\n<a/>\r\n<b/>\r\n<c/>\r\n</r>"},
      {L"<r><a><x/></a><c/></r>", L"a", L"<r><a><x/></a>\r\n<b/><c/></r>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.before)));
    XmlDocument doc;
    ASSERT_TRUE(doc.ParseText(c.before)) << doc.Result();
    ASSERT_TRUE(doc.FindElement(L"r"));
    ASSERT_TRUE(doc.EnterElement());
    if (*c.current) {
      ASSERT_TRUE(doc.FindElement(c.current));
    }
    ASSERT_TRUE(doc.AddElement(L"b"));
    EXPECT_EQ(doc.Text(), c.after);
    EXPECT_TRUE(doc.IsWellFormed());
    ExpectReparsesCleanly(doc);
    // The new element is current and linked in order: "c" follows it where there is one.
    EXPECT_FALSE(doc.FindElement(L"b"));
    EXPECT_EQ(doc.FindElement(L"c"), std::wstring_view(c.before).find(L"<c/>") != std::wstring_view::npos);
  }
}

TEST(XmlEdit, AddElementWithTextAndWithASpacedEmptyForm) {
  XmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<r/>"));
  ASSERT_TRUE(doc.FindElement(L"r"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"note", L"a < b & c > d \"q\" 'e'"));
  EXPECT_EQ(doc.Text(), L"<r>\r\n<note>a &lt; b &amp; c &gt; d \"q\" 'e'</note>\r\n</r>");
  // A child of an element with text goes before its end tag.
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"y"));
  ASSERT_TRUE(doc.LeaveElement());
  ASSERT_TRUE(doc.AddElement(L"x", L"", XmlDocument::kSpaceBeforeSlash));
  ASSERT_TRUE(doc.SetAttribute(L"n", 1));
  EXPECT_NE(doc.Text().find(L"</note>\r\n<x n=\"1\" />\r\n</r>"), std::wstring::npos) << doc.Text();
  // " />" gives way to ">" and an end tag like "/>" does.
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.AddElement(L"z"));
  EXPECT_EQ(doc.Text(),
            L"<r>\r\n<note>a &lt; b &amp; c &gt; d \"q\" 'e'\r\n<y/>\r\n</note>\r\n"
            L"<x n=\"1\">\r\n<z/>\r\n</x>\r\n</r>");
  ExpectReparsesCleanly(doc);
}

// An edit inside an element makes it and its ancestors longer; the next insertion after the
// ancestor must land after its end tag, not inside it.
TEST(XmlEdit, EditsInsideAnElementMoveItsEnd) {
  XmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<r><p><c/></p><q v=\"1\"/></r>"));
  ASSERT_TRUE(doc.FindElement(L"r"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.FindElement(L"p"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.FindElement(L"c"));
  ASSERT_TRUE(doc.SetAttribute(L"value", L"a longer value"));
  ASSERT_TRUE(doc.AddElement(L"d"));
  ASSERT_TRUE(doc.LeaveElement());
  ASSERT_TRUE(doc.AddElement(L"n"));
  ASSERT_TRUE(doc.SetAttribute(L"x", L""));
  EXPECT_EQ(doc.Text(), L"<r><p><c value=\"a longer value\"/>\r\n<d/></p>\r\n<n x=\"\"/><q v=\"1\"/></r>");
  ASSERT_TRUE(doc.FindElement(L"q"));
  EXPECT_EQ(doc.GetAttribute(L"v"), L"1");
  ExpectReparsesCleanly(doc);
}

TEST(XmlEdit, NamesThatWouldNotReadBackAreRefused) {
  XmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<r/>"));
  ASSERT_TRUE(doc.FindElement(L"r"));
  const std::wstring before = doc.Text();
  for (const wchar_t* name : {L"", L"a b", L"a/b", L"a>b", L"a=b", L"a\"b", L"a'b", L"a<b", L"a\r\nb", L"a;b", L"a?b"}) {
    EXPECT_FALSE(doc.SetAttribute(name, L"1")) << testing::PrintToString(std::wstring(name));
    EXPECT_FALSE(doc.AddElement(name)) << testing::PrintToString(std::wstring(name));
  }
  EXPECT_EQ(doc.Text(), before);
  EXPECT_EQ(doc.GetAttribute(L"a"), L"");
}

TEST(XmlEdit, ASecondTopLevelElementIsNotWellFormed) {
  XmlDocument doc;
  doc.ParseText(kDeclaration);
  ASSERT_TRUE(doc.AddElement(L"a"));
  EXPECT_TRUE(doc.IsWellFormed());
  ASSERT_TRUE(doc.AddElement(L"b"));
  EXPECT_FALSE(doc.IsWellFormed());
  EXPECT_EQ(doc.Text(), std::wstring(kDeclaration) + L"<a/>\r\n<b/>");
}

}  // namespace
}  // namespace kl

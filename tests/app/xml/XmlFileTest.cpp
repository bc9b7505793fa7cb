// Loading and saving XmlDocument files: byte-order marks, declared and detected encodings,
// and the result log entries of reading and writing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/xml/XmlDocument.h"
#include "base/Encoding.h"
#include "tests/TestSupport.h"

namespace kl {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class XmlFileTest : public testing::Test {
 protected:
  void SetUp() override { m_folder = test::ScratchFolder(); }

  // Writes the bytes to a file and loads it; the load itself must succeed.
  void Load(const std::string& bytes) {
    const std::filesystem::path path = m_folder / "in.xml";
    test::WriteBytes(path, bytes);
    ASSERT_TRUE(m_doc.LoadFile(test::Wide(path))) << m_doc.Result();
  }

  std::string Save() {
    const std::filesystem::path path = m_folder / "out.xml";
    EXPECT_TRUE(m_doc.SaveFile(test::Wide(path))) << m_doc.Result();
    return ReadBytes(path);
  }

  // The value of attribute "v" of the root element "r".
  std::wstring RootValue() {
    XmlDocument copy;
    copy.ParseText(m_doc.Text());
    if (!copy.FindElement(L"r")) return L"<no root r>";
    return copy.GetAttribute(L"v");
  }

  std::filesystem::path m_folder;
  XmlDocument m_doc;
};

// ---------------------------------------------------------------------------------------------
// Loading

TEST_F(XmlFileTest, Utf8WithMarkWithDeclarationAndWithNeitherReadTheSame) {
  const std::string body = "<r v=\"caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80\"/>";
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  Load("\xEF\xBB\xBF" + declaration + body);
  const std::wstring withMark = m_doc.Text();
  EXPECT_TRUE(m_doc.IsWellFormed());
  EXPECT_EQ(RootValue(), L"café 中 \U0001F600");
  EXPECT_EQ(m_doc.Result(), L"<decoded encoding=\"UTF-8\" length=\"" + std::to_wstring(withMark.size()) +
                                L"\"/><read encoding=\"UTF-8\" length=\"" +
                                std::to_wstring(3 + declaration.size() + body.size()) + L"\"/>");

  Load(declaration + body);
  EXPECT_EQ(m_doc.Text(), withMark);
  EXPECT_EQ(m_doc.Result().find(L"utf8_check"), std::wstring::npos);

  // Neither a mark nor a declaration; the first byte is not "<", so the bytes are tested.
  Load("\r\n" + body);
  EXPECT_EQ(m_doc.Text(), L"\r\n" + withMark.substr(withMark.find(L"<r")));
  EXPECT_TRUE(m_doc.Result().starts_with(L"<utf8_check encoding=\"UTF-8\"")) << m_doc.Result();
  EXPECT_EQ(RootValue(), L"café 中 \U0001F600");
}

TEST_F(XmlFileTest, Utf16WithMarkInBothByteOrders) {
  const std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<r v=\"café 中 \U0001F600\"/>";
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    Load((bigEndian ? "\xFE\xFF" : "\xFF\xFE") + WideToUtf16Bytes(text, bigEndian));
    EXPECT_EQ(m_doc.Text(), text);
    EXPECT_TRUE(m_doc.IsWellFormed());
    EXPECT_NE(m_doc.Result().find(bigEndian ? L"<read encoding=\"UTF-16BE\"" : L"<read encoding=\"UTF-16LE\""),
              std::wstring::npos)
        << m_doc.Result();
  }
}

TEST_F(XmlFileTest, DeclaredLegacyCodePages) {
  struct Case {
    const char* encoding;
    std::string value;  // the attribute value's bytes in that encoding
    std::wstring expected;
  };
  const Case cases[] = {
      {"windows-1252", "caf\xE9 \x80 \x96", L"café € –"},
      {"ISO-8859-1", "caf\xE9", L"café"},
      {"gb2312", "\xD6\xD0\xCE\xC4", L"中文"},
      {"GBK", "\xC5\xE4\xD6\xC3\xB7\xBD\xB0\xB8", L"配置方案"},
      {"shift_jis", "\x93\xFA\x96\x7B", L"日本"},
      {"big5", "\xA4\xA4\xA4\xE5", L"中文"},
      {"koi8-r", "\xF0\xD2\xC9\xD7\xC5\xD4", L"Привет"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encoding);
    Load(std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding + "\"?>\r\n<r v=\"" + c.value + "\"/>");
    EXPECT_TRUE(m_doc.IsWellFormed());
    EXPECT_EQ(RootValue(), c.expected);
    EXPECT_NE(m_doc.Result().find(L"<decoded encoding=\"" + Utf8ToWide(c.encoding) + L"\""), std::wstring::npos)
        << m_doc.Result();
  }
}

// 8-bit text that declares nothing, does not start with "<" and is not UTF-8 is read in the
// system code page.
TEST_F(XmlFileTest, UndeclaredNonUtf8FallsBackToTheSystemCodePage) {
  Load("\r\n<r v=\"caf\xE9 \x80\"/>\r\n");
  EXPECT_TRUE(m_doc.IsWellFormed()) << m_doc.Result();
  EXPECT_EQ(RootValue(), L"café €");
  EXPECT_TRUE(m_doc.Result().starts_with(L"<utf8_check encoding=\"ANSI\"")) << m_doc.Result();
}

// An unknown declared name reads as the system code page too.
TEST_F(XmlFileTest, UnknownDeclaredEncodingReadsAsTheSystemCodePage) {
  Load("<?xml version=\"1.0\" encoding=\"x-no-such-set\"?><r v=\"caf\xE9\"/>");
  EXPECT_EQ(RootValue(), L"café");
}

TEST_F(XmlFileTest, HtmlCharsetIsFollowed) {
  Load("<html><head><meta name=\"author\" content=\"x\"><meta http-equiv=\"content-type\" "
       "content=\"text/html; charset=windows-1251\"><title>\xCF\xF0\xE8\xE2\xE5\xF2</title></head></html>");
  EXPECT_NE(m_doc.Text().find(L"<title>Привет</title>"), std::wstring::npos);
  EXPECT_NE(m_doc.Result().find(L"<decoded encoding=\"windows-1251\""), std::wstring::npos) << m_doc.Result();
}

// A UTF-16 file without a mark starts with "<" and a zero byte: it is taken for UTF-8 and the
// zero characters are dropped, which recovers ASCII content.
TEST_F(XmlFileTest, ZeroCharactersAreDropped) {
  Load(WideToUtf16Bytes(L"<r v=\"1\"/>", false));
  EXPECT_EQ(m_doc.Text(), L"<r v=\"1\"/>");
  EXPECT_TRUE(m_doc.IsWellFormed());
  EXPECT_NE(m_doc.Result().find(L"<zero_chars_dropped count=\"10\"/>"), std::wstring::npos) << m_doc.Result();
}

TEST_F(XmlFileTest, ACharacterCutOffAtTheEndIsLoggedAndDropped) {
  Load("<r v=\"1\"/>\xE4\xB8");
  EXPECT_EQ(m_doc.Text(), L"<r v=\"1\"/>");
  EXPECT_NE(m_doc.Result().find(L"<partial_character encoding=\"UTF-8\" length=\"2\"/>"), std::wstring::npos)
      << m_doc.Result();

  Load("\xFF\xFE" + WideToUtf16Bytes(L"<r/>", false) + "\x20");
  EXPECT_EQ(m_doc.Text(), L"<r/>");
  EXPECT_NE(m_doc.Result().find(L"<partial_character encoding=\"UTF-16LE\" length=\"1\"/>"), std::wstring::npos)
      << m_doc.Result();
}

TEST_F(XmlFileTest, MalformedFileLoadsButIsNotWellFormed) {
  Load("<r><k></r>");
  EXPECT_FALSE(m_doc.IsWellFormed());
  EXPECT_NE(m_doc.Result().find(L"<unclosed_element tagname=\"k\""), std::wstring::npos) << m_doc.Result();
  Load("");
  EXPECT_FALSE(m_doc.IsWellFormed());
  EXPECT_NE(m_doc.Result().find(L"<missing_root/>"), std::wstring::npos) << m_doc.Result();
}

TEST_F(XmlFileTest, UnreadableFilesFail) {
  const std::wstring missing = test::Wide(m_folder / "missing.xml");
  EXPECT_FALSE(m_doc.LoadFile(missing));
  EXPECT_EQ(m_doc.Result(),
            L"<file_error msg=\"No such file or directory\" n=\"2\" file=\"" + missing + L"\"/>");
  // A folder opens but cannot be read.
  EXPECT_FALSE(m_doc.LoadFile(test::Wide(m_folder)));
  EXPECT_TRUE(m_doc.Result().starts_with(L"<file_error msg=\"Is a directory\"")) << m_doc.Result();
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(XmlFileTest, EditedDocumentRoundTripsByteForByte) {
  m_doc.ParseText(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  ASSERT_TRUE(m_doc.AddElement(L"macros"));
  ASSERT_TRUE(m_doc.EnterElement());
  ASSERT_TRUE(m_doc.AddElement(L"macro"));
  ASSERT_TRUE(m_doc.SetAttribute(L"name", L"宏 <1> & \"2\" 'x'"));
  ASSERT_TRUE(m_doc.SetAttribute(L"count", 2));
  ASSERT_TRUE(m_doc.AddElement(L"macro"));
  ASSERT_TRUE(m_doc.SetAttribute(L"name", L"a>b"));
  const std::string bytes = Save();
  EXPECT_EQ(bytes,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<macros>\r\n"
            "<macro name=\"\xE5\xAE\x8F &lt;1&gt; &amp; &quot;2&quot; &apos;x&apos;\" count=\"2\"/>\r\n"
            "<macro name=\"a&gt;b\"/>\r\n"
            "</macros>");
  EXPECT_EQ(m_doc.Result(), L"<encoded encoding=\"UTF-8\" length=\"" + std::to_wstring(bytes.size()) +
                                L"\"/><write encoding=\"UTF-8\" length=\"" + std::to_wstring(bytes.size()) + L"\"/>");

  Load(bytes);
  ASSERT_TRUE(m_doc.IsWellFormed()) << m_doc.Result();
  ASSERT_TRUE(m_doc.FindElement(L"macros"));
  ASSERT_TRUE(m_doc.EnterElement());
  ASSERT_TRUE(m_doc.FindElement(L"macro"));
  EXPECT_EQ(m_doc.GetAttribute(L"name"), L"宏 <1> & \"2\" 'x'");
  EXPECT_EQ(m_doc.GetAttribute(L"count"), L"2");
  ASSERT_TRUE(m_doc.FindElement(L"macro"));
  EXPECT_EQ(m_doc.GetAttribute(L"name"), L"a>b");
  EXPECT_EQ(Save(), bytes);
}

TEST_F(XmlFileTest, SavesInTheDeclaredEncoding) {
  m_doc.ParseText(L"<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<r v=\"café €\"/>");
  EXPECT_EQ(Save(), "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<r v=\"caf\xE9 \x80\"/>");
  EXPECT_EQ(m_doc.Result().find(L"lossy_encoding"), std::wstring::npos);

  m_doc.ParseText(L"<?xml version=\"1.0\" encoding='gb2312'?><r v=\"中文\"/>");
  EXPECT_EQ(Save(), "<?xml version=\"1.0\" encoding='gb2312'?><r v=\"\xD6\xD0\xCE\xC4\"/>");

  // UTF-16 and UTF-32 are written little-endian, without a mark.
  const std::wstring utf16 = L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r v=\"中\"/>";
  m_doc.ParseText(utf16);
  EXPECT_EQ(Save(), WideToUtf16Bytes(utf16, false));
  const std::wstring utf32 = L"<?xml version=\"1.0\" encoding=\"utf-32\"?><r/>";
  m_doc.ParseText(utf32);
  const std::string bytes = Save();
  ASSERT_EQ(bytes.size(), 4 * utf32.size());
  EXPECT_EQ(bytes.substr(0, 8), std::string("<\0\0\0?\0\0\0", 8));
  // Without a mark such a file reads back as 8-bit text with its zero bytes dropped.
  Load(bytes);
  EXPECT_EQ(m_doc.Text(), utf32);

  // No declaration: UTF-8.
  m_doc.ParseText(L"<r v=\"é\"/>");
  EXPECT_EQ(Save(), "<r v=\"\xC3\xA9\"/>");
}

TEST_F(XmlFileTest, CharactersWithoutAnEquivalentAreLogged) {
  m_doc.ParseText(L"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r v=\"é中\"/>");
  EXPECT_EQ(Save(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r v=\"\xE9?\"/>");
  EXPECT_NE(m_doc.Result().find(L"<lossy_encoding encoding=\"ISO-8859-1\"/>"), std::wstring::npos) << m_doc.Result();
}

TEST_F(XmlFileTest, UnwritableFileFails) {
  m_doc.ParseText(L"<r/>");
  EXPECT_FALSE(m_doc.SaveFile(test::Wide(m_folder / "no-such-folder" / "out.xml")));
  EXPECT_TRUE(m_doc.Result().find(L"<file_error msg=\"No such file or directory\" n=\"2\"") != std::wstring::npos)
      << m_doc.Result();
}

}  // namespace
}  // namespace kl

// XmlDocument: every XML file the program reads or writes goes through this class.
//
// The document is one wide text (declaration, comments and white space included) plus an index
// of its elements; there is no node tree. A cursor of three positions walks the index:
//   parent   the element whose children are searched (0 = above the root element),
//   current  the element found last at that level (0 = none yet),
//   child    where the search inside `current` resumes after EnterElement (0 = from the start).
// Edits change the text in place and keep the index in step, so after AddElement and
// SetAttribute the text is exactly what SaveFile writes.
//
// Nothing throws. Problems are returned as false and described in Result(), a log of empty
// elements such as <unclosed_element tagname="b" offset="9" offset2="13"/> (offsets count
// characters of the wide text), cleared by each load, save and parse and given no more
// entries once it holds 1000 characters:
//   file_error msg n file            open/read/write failed: system text, errno, path
//   utf8_check encoding length       undeclared 8-bit text tested: "UTF-8" or "ANSI"
//   decoded encoding length          8-bit text converted; length in characters
//   zero_chars_dropped count         zero characters removed from the decoded text
//   partial_character encoding length  the file ends inside a character; its bytes dropped
//   read encoding length             the file's size in bytes
//   encoded / write encoding length  bytes produced / written
//   lossy_encoding encoding          some character had no equivalent and became "?"
//   bad_tag_start, bad_declaration, bad_comment, bad_cdata, bad_doctype  offset
//   unterminated_node type offset    the text ends inside a start_tag, end_tag, cdata_section,
//                                    processing_instruction, comment, document_type or tag
//   unclosed_element tagname offset offset2   no end tag; ends at offset2
//   unmatched_end_tag tagname offset
//   missing_root, extra_root tagname offset
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kl {

class XmlDocument {
 public:
  XmlDocument();

  // AddElement flag: write an element without text as "<name />" rather than "<name/>".
  static constexpr int kSpaceBeforeSlash = 4;

  // Replaces the text and indexes it; the cursor returns to the top. Returns IsWellFormed().
  bool ParseText(std::wstring text);
  // Reads and decodes a file (byte-order mark, declared or detected encoding), then parses it.
  // False only when the file cannot be opened or read, and the document is then left as it
  // was; check IsWellFormed() for the content.
  bool LoadFile(const std::wstring& path);
  // Writes the text in the encoding its XML declaration names (UTF-8 when none), no BOM.
  bool SaveFile(const std::wstring& path);

  // Moves to the next element called `name` at the current level (case-sensitive).
  bool FindElement(std::wstring_view name);
  bool EnterElement();
  bool LeaveElement();

  // The value of an attribute of the current element with its references (&amp; &eacute;
  // &#233; &#xE9;) resolved; empty when there is no such attribute or no current element.
  std::wstring GetAttribute(std::wstring_view name) const;
  // Replaces the attribute's value or appends the attribute to the current element's start tag.
  bool SetAttribute(std::wstring_view name, std::wstring_view value);
  bool SetAttribute(std::wstring_view name, int value);
  // Inserts an element on a line of its own after the current element (at the end of the
  // parent's children when there is none) and makes it the current element.
  bool AddElement(std::wstring_view name, std::wstring_view text = {}, int flags = 0);

  // The last parse found no error and the document has exactly one root element.
  bool IsWellFormed() const;
  const std::wstring& Result() const { return m_result; }
  const std::wstring& Text() const { return m_text; }

  // The Windows code page number for an encoding name of an XML declaration, -1 when unknown.
  static int EncodingToCodePage(std::wstring_view name);

 private:
  // One record per element, found by its index; index 0 stands for the whole document and its
  // first child is the root element.
  struct Element {
    size_t start = 0;           // offset of "<"
    size_t length = 0;          // start tag through end tag
    size_t startTagLength = 0;
    size_t endTagLength = 0;    // 0 for the empty form and for an element never closed
    int flags = 0;
    int parent = 0;
    int firstChild = 0;
    int next = 0;
    int prev = 0;               // for a first child: the last sibling, so the end is one step away
  };
  enum ElementFlags {
    kEmptyForm = 0x1,
    kParseError = 0x800000,     // on index 0: the last parse logged an error
  };

  // A growable array of element records allocated in blocks, so growing never moves a record
  // and a reference stays valid while records are added.
  class ElementArray {
   public:
    Element& operator[](int index) { return m_blocks[index >> kBlockShift][index & (kBlockSize - 1)]; }
    const Element& operator[](int index) const {
      return m_blocks[index >> kBlockShift][index & (kBlockSize - 1)];
    }
    int Size() const { return m_size; }
    int Add();
    void Clear();

   private:
    static constexpr int kBlockShift = 9;
    static constexpr int kBlockSize = 1 << kBlockShift;
    std::vector<std::unique_ptr<Element[]>> m_blocks;
    int m_size = 0;
  };

  // An element whose end tag the parser has not met yet.
  struct OpenElement {
    int index;
    size_t nameStart;
    size_t nameLength;
    int outerSameName;  // stack depth of the next open element of the same name, -1 when none
  };

  // Where an attribute sits in a start tag, or where a new one would go.
  struct AttributeSpot {
    bool found = false;
    bool hasValue = false;
    size_t nameEnd = 0;
    size_t valueStart = 0;  // the value without its quotes
    size_t valueEnd = 0;
    size_t tokenStart = 0;  // the value with its quotes
    size_t tokenEnd = 0;
    size_t listEnd = 0;     // just after the last attribute (or the name)
  };

  class Parser;

  void Parse();
  bool NameEquals(int index, std::wstring_view name) const;
  size_t NameLength(int index) const;
  AttributeSpot FindAttribute(int index, std::wstring_view name) const;
  void ReplaceText(size_t pos, size_t oldLength, std::wstring_view replacement);
  void LinkAfter(int index, int parent, int after);
  void AddResult(std::wstring_view entry, std::initializer_list<std::pair<std::wstring_view, std::wstring>> attributes = {});

  // The code point named by the text between "&" and ";", 0 when it names none.
  static char32_t ReferenceCodePoint(std::wstring_view name);
  static char32_t NamedReferenceCodePoint(std::string_view name);

  std::wstring m_text;
  std::wstring m_result;
  ElementArray m_elements;
  int m_parent = 0;
  int m_current = 0;
  int m_child = 0;
};

}  // namespace kl

#include "app/xml/XmlDocument.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <type_traits>
#include <unordered_map>

#include "base/Encoding.h"

namespace kl {
namespace {

// Entries are appended to the result log only while it is shorter than this.
constexpr size_t kResultLimit = 1000;
// Bytes at the start of a file that are searched for a declared encoding.
constexpr size_t kDetectionBytes = 1024;
// A reference name ("amp", "#x1F600") is read up to ";" over at most this many characters.
constexpr size_t kReferenceNameMax = 9;

bool IsAscii(wchar_t c) { return static_cast<std::make_unsigned_t<wchar_t>>(c) < 0x80; }

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

wchar_t LowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; }

// The characters that end a tag name.
constexpr std::array<bool, 128> kNameEnd = [] {
  std::array<bool, 128> table{};
  for (char c : std::string_view(" \t\r\n<>=\\/?!\"';")) table[static_cast<unsigned char>(c)] = true;
  return table;
}();

bool IsNameEnd(wchar_t c) { return IsAscii(c) && kNameEnd[c]; }

// The characters a start tag scan has to stop at: its end, the empty-form slash and quotes,
// since a quoted value may hold ">".
constexpr std::array<bool, 128> kStartTagStop = [] {
  std::array<bool, 128> table{};
  for (char c : std::string_view(">/\"'")) table[static_cast<unsigned char>(c)] = true;
  return table;
}();

// Names that the editing operations write must read back as the same name, so they may not
// hold any character that ends a name.
bool IsValidName(std::wstring_view name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), IsNameEnd);
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return LowerAscii(x) == LowerAscii(y); });
}

std::wstring Number(size_t value) { return std::to_wstring(value); }

// Element text escapes "<", "&" and ">"; attribute values also both quote characters.
void AppendEscaped(std::wstring& out, std::wstring_view text, bool attribute) {
  for (wchar_t c : text) {
    if (c == L'<') out += L"&lt;";
    else if (c == L'&') out += L"&amp;";
    else if (c == L'>') out += L"&gt;";
    else if (attribute && c == L'"') out += L"&quot;";
    else if (attribute && c == L'\'') out += L"&apos;";
    else out += c;
  }
}

// A code point is one wchar_t where wchar_t has 32 bits and a surrogate pair where it has 16.
void AppendCodePoint(std::wstring& out, char32_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c > 0xFFFF) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(c);
}

// "#65" or "#x41" (the "#" already removed). 0 when the digits are malformed or name no
// character: 0, a surrogate half or a value past U+10FFFF would put invalid code units into
// the text, so such a reference stays as written.
char32_t NumericReference(std::string_view digits) {
  char32_t radix = 10;
  if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X')) {
    radix = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty()) return 0;
  char32_t value = 0;
  for (char d : digits) {
    char32_t digit;
    if (d >= '0' && d <= '9') digit = d - '0';
    else if (d >= 'a' && d <= 'f') digit = d - 'a' + 10;
    else if (d >= 'A' && d <= 'F') digit = d - 'A' + 10;
    else return 0;
    if (digit >= radix) return 0;
    value = value * radix + digit;
    if (value > 0x10FFFF) return 0;
  }
  if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return value;
}

// The encoding pseudo-attribute of an XML declaration at the start of the text, or empty.
std::wstring DeclaredEncoding(std::wstring_view text) {
  const size_t start = text.find_first_not_of(L" \t\r\n");
  if (start == std::wstring_view::npos || text.substr(start, 5) != L"<?xml" || text.size() <= start + 5 ||
      !IsSpace(text[start + 5]))
    return {};
  std::wstring_view declaration = text.substr(start);
  declaration = declaration.substr(0, declaration.find(L"?>"));
  size_t i = declaration.find(L"encoding");
  if (i == std::wstring_view::npos) return {};
  i += 8;
  while (i < declaration.size() && IsSpace(declaration[i])) ++i;
  if (i >= declaration.size() || declaration[i] != L'=') return {};
  ++i;
  while (i < declaration.size() && IsSpace(declaration[i])) ++i;
  if (i >= declaration.size() || (declaration[i] != L'"' && declaration[i] != L'\'')) return {};
  const size_t close = declaration.find(declaration[i], i + 1);
  if (close == std::wstring_view::npos) return {};
  return std::wstring(declaration.substr(i + 1, close - i - 1));
}

// The charset of an HTML text's <meta http-equiv="Content-Type" content="...; charset=...">
// inside <html><head>, or empty.
std::wstring HtmlCharset(std::wstring_view head) {
  XmlDocument html;
  html.ParseText(std::wstring(head));
  if (!html.FindElement(L"html") || !html.EnterElement() || !html.FindElement(L"head") || !html.EnterElement())
    return {};
  bool found = html.FindElement(L"meta");
  while (found) {
    if (EqualsNoCase(html.GetAttribute(L"http-equiv"), L"content-type")) {
      const std::wstring content = html.GetAttribute(L"content");
      std::wstring lower(content.size(), L'\0');
      std::transform(content.begin(), content.end(), lower.begin(), LowerAscii);
      size_t i = lower.find(L"charset=");
      if (i == std::wstring::npos) return {};
      i += 8;
      const size_t end = content.find_first_of(L"; \t\r\n\"'", i);
      return content.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i);
    }
    // HTML leaves <meta> unclosed, which puts the next <meta> inside this one.
    found = html.FindElement(L"meta") || (html.EnterElement() && html.FindElement(L"meta"));
  }
  return {};
}

// The encoding a file without a byte-order mark names in its first bytes, or empty.
std::wstring DetectEncoding(std::string_view head) {
  const std::wstring text = Utf8ToWide(head);
  std::wstring encoding = DeclaredEncoding(text);
  if (encoding.empty()) encoding = HtmlCharset(text);
  // An XML text that declares nothing is UTF-8.
  if (encoding.empty() && !head.empty() && head[0] == '<') encoding = L"UTF-8";
  return encoding;
}

// The number of bytes at the end that begin a UTF-8 character the data cuts off.
size_t TruncatedUtf8Tail(std::string_view bytes) {
  for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((c & 0xC0) == 0x80) continue;
    const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return need > back ? back : 0;
  }
  return 0;
}

bool IsWideCodePage(int codePage) {
  return codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE || codePage == kCodePageUtf32;
}

// Reads the whole file into `bytes`. Returns 0, or the errno of the failure.
int ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  // One byte more than the size, so the read that finds the end has room and needs no growth.
  bytes.resize(regular ? static_cast<size_t>(info.st_size) + 1 : 65536);
  size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      return error;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(used);
  return 0;
}

// Creates or truncates the file and writes the bytes. Returns 0, or the errno of the failure.
int WriteWholeFile(const std::wstring& path, std::string_view bytes) {
  const int fd = ::open(WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      return error;
    }
    done += static_cast<size_t>(n);
  }
  return ::close(fd) == 0 ? 0 : errno;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Element records

int XmlDocument::ElementArray::Add() {
  if ((m_size >> kBlockShift) == static_cast<int>(m_blocks.size()))
    m_blocks.push_back(std::make_unique<Element[]>(kBlockSize));
  (*this)[m_size] = Element{};
  return m_size++;
}

void XmlDocument::ElementArray::Clear() {
  m_size = 0;
  // Keep one block for the next parse; a large document's blocks go with it.
  if (m_blocks.size() > 1) m_blocks.resize(1);
}

// ---------------------------------------------------------------------------------------------
// Parsing: one pass over the text, left to right. Element text, comments and the like are
// skipped with wmemchr; only tags are looked at character by character.

class XmlDocument::Parser {
 public:
  explicit Parser(XmlDocument& document)
      : m_doc(document), m_elements(document.m_elements), m_text(document.m_text.data()),
        m_size(document.m_text.size()) {}

  void Run() {
    size_t pos = 0;
    while (pos < m_size) {
      const wchar_t* open = std::wmemchr(m_text + pos, L'<', m_size - pos);
      if (!open) break;
      pos = Node(static_cast<size_t>(open - m_text));
    }
    while (!m_open.empty()) CloseUnclosed(m_size);
    // A missing or second root element is logged but not marked as a parse error: editing can
    // add the root to a document started from its declaration, so IsWellFormed looks at the
    // root elements as they are when asked.
    const Element& top = m_elements[0];
    if (!top.firstChild) {
      m_doc.AddResult(L"missing_root");
    } else if (const int extra = m_elements[top.firstChild].next) {
      m_doc.AddResult(L"extra_root", {{L"tagname", std::wstring(m_text + m_elements[extra].start + 1,
                                                                  m_doc.NameLength(extra))},
                                      {L"offset", Number(m_elements[extra].start)}});
    }
  }

 private:
  static constexpr size_t npos = std::wstring::npos;

  // Handles the node whose "<" is at `pos`; returns where scanning goes on, npos to stop.
  size_t Node(size_t pos) {
    if (pos + 1 >= m_size) return Unterminated(L"tag", pos);
    const wchar_t c = m_text[pos + 1];
    if (c == L'/') return EndTag(pos);
    if (c == L'?') return SkipPast(pos, pos + 2, L"?>", L"processing_instruction");
    if (c == L'!') return Declaration(pos);
    if (IsNameEnd(c)) return Error(L"bad_tag_start", pos);
    return StartTag(pos);
  }

  size_t StartTag(size_t pos) {
    size_t q = pos + 1;
    while (q < m_size && !IsNameEnd(m_text[q])) ++q;
    const size_t nameEnd = q;
    bool emptyForm = false;
    for (;;) {
      if (q >= m_size) return Unterminated(L"start_tag", pos);
      const wchar_t c = m_text[q];
      if (!IsAscii(c) || !kStartTagStop[c]) {
        ++q;
      } else if (c == L'>') {
        break;
      } else if (c == L'/') {
        if (q + 1 < m_size && m_text[q + 1] == L'>') {
          emptyForm = true;
          ++q;
          break;
        }
        ++q;
      } else {
        const wchar_t* close = std::wmemchr(m_text + q + 1, c, m_size - q - 1);
        if (!close) return Unterminated(L"start_tag", pos);
        q = static_cast<size_t>(close - m_text) + 1;
      }
    }
    const size_t end = q + 1;
    const int parent = m_open.empty() ? 0 : m_open.back().index;
    const int index = m_elements.Add();
    Element& element = m_elements[index];
    element.start = pos;
    element.startTagLength = end - pos;
    const Element& parentElement = m_elements[parent];
    m_doc.LinkAfter(index, parent, parentElement.firstChild ? m_elements[parentElement.firstChild].prev : 0);
    if (emptyForm) {
      element.length = element.startTagLength;
      element.flags |= kEmptyForm;
    } else {
      Push({index, pos + 1, nameEnd - pos - 1, -1});
    }
    return end;
  }

  size_t EndTag(size_t pos) {
    size_t q = pos + 2;
    while (q < m_size && !IsNameEnd(m_text[q])) ++q;
    const std::wstring_view name(m_text + pos + 2, q - pos - 2);
    const wchar_t* close = std::wmemchr(m_text + q, L'>', m_size - q);
    if (!close) return Unterminated(L"end_tag", pos);
    const size_t end = static_cast<size_t>(close - m_text) + 1;

    int depth = -1;
    if (!m_open.empty() && Name(m_open.back()) == name) {
      depth = static_cast<int>(m_open.size()) - 1;
    } else if (!m_open.empty()) {
      if (!m_indexed) IndexOpenNames();
      if (const auto found = m_innermost.find(name); found != m_innermost.end()) depth = found->second;
    }
    if (depth < 0) {
      SetError();
      m_doc.AddResult(L"unmatched_end_tag", {{L"tagname", std::wstring(name)}, {L"offset", Number(pos)}});
      return end;
    }
    // Elements left open inside the one closed here end where its end tag starts; their
    // children stay where they were found.
    while (static_cast<int>(m_open.size()) > depth + 1) CloseUnclosed(pos);
    const OpenElement top = Pop();
    Element& element = m_elements[top.index];
    element.length = end - element.start;
    element.endTagLength = end - pos;
    return end;
  }

  // "<!" begins a comment, a CDATA section or a document type declaration.
  size_t Declaration(size_t pos) {
    if (pos + 2 >= m_size) return Unterminated(L"tag", pos);
    switch (m_text[pos + 2]) {
      case L'-':
        if (pos + 3 >= m_size) return Unterminated(L"comment", pos);
        if (m_text[pos + 3] != L'-') return Error(L"bad_comment", pos);
        return SkipPast(pos, pos + 4, L"-->", L"comment");
      case L'[':
        switch (StartsWith(pos, L"<![CDATA[")) {
          case Match::Yes: return SkipPast(pos, pos + 9, L"]]>", L"cdata_section");
          case Match::CutOff: return Unterminated(L"cdata_section", pos);
          case Match::No: return Error(L"bad_cdata", pos);
        }
        break;
      case L'D':
        if (StartsWith(pos, L"<!DOCTYPE") == Match::CutOff || pos + 9 >= m_size)
          return Unterminated(L"document_type", pos);
        if (StartsWith(pos, L"<!DOCTYPE") == Match::No || !IsSpace(m_text[pos + 9]))
          return Error(L"bad_doctype", pos);
        return DocumentType(pos);
      default:
        break;
    }
    return Error(L"bad_declaration", pos);
  }

  // "<!DOCTYPE name ... [internal subset] >": quoted strings and comments may hold ">" and
  // "]"; the declaration ends at the first ">" outside them and outside the subset.
  size_t DocumentType(size_t pos) {
    bool inSubset = false;
    size_t q = pos + 9;
    while (q < m_size) {
      const wchar_t c = m_text[q];
      if (c == L'"' || c == L'\'') {
        const wchar_t* close = std::wmemchr(m_text + q + 1, c, m_size - q - 1);
        if (!close) break;
        q = static_cast<size_t>(close - m_text) + 1;
        continue;
      }
      if (inSubset && c == L'<' && StartsWith(q, L"<!--") == Match::Yes) {
        q = Find(q + 4, L"-->");
        if (q == npos) break;
        continue;
      }
      if (c == L'[' && !inSubset) inSubset = true;
      else if (c == L']' && inSubset) inSubset = false;
      else if (c == L'>' && !inSubset) return q + 1;
      ++q;
    }
    return Unterminated(L"document_type", pos);
  }

  enum class Match { No, Yes, CutOff };
  Match StartsWith(size_t pos, std::wstring_view word) const {
    const size_t n = std::min(word.size(), m_size - pos);
    if (std::wmemcmp(m_text + pos, word.data(), n) != 0) return Match::No;
    return n == word.size() ? Match::Yes : Match::CutOff;
  }

  // The position just after the first `terminator` at or after `from`, or npos.
  size_t Find(size_t from, std::wstring_view terminator) const {
    size_t q = from;
    while (q < m_size) {
      const wchar_t* hit = std::wmemchr(m_text + q, terminator[0], m_size - q);
      if (!hit) break;
      q = static_cast<size_t>(hit - m_text);
      if (StartsWith(q, terminator) == Match::Yes) return q + terminator.size();
      ++q;
    }
    return npos;
  }

  size_t SkipPast(size_t pos, size_t from, std::wstring_view terminator, const wchar_t* type) {
    const size_t end = Find(from, terminator);
    return end == npos ? Unterminated(type, pos) : end;
  }

  // Logs a syntax error at `pos` and goes on after the next ">".
  size_t Error(const wchar_t* entry, size_t pos) {
    SetError();
    m_doc.AddResult(entry, {{L"offset", Number(pos)}});
    const wchar_t* close = std::wmemchr(m_text + pos + 1, L'>', m_size - pos - 1);
    return close ? static_cast<size_t>(close - m_text) + 1 : npos;
  }

  size_t Unterminated(const wchar_t* type, size_t pos) {
    SetError();
    m_doc.AddResult(L"unterminated_node", {{L"type", type}, {L"offset", Number(pos)}});
    return npos;
  }

  void SetError() { m_elements[0].flags |= kParseError; }

  std::wstring_view Name(const OpenElement& open) const {
    return std::wstring_view(m_text + open.nameStart, open.nameLength);
  }

  // Most end tags close the innermost open element. The name index below is only built for
  // the first one that does not, and kept from then on, so that matching an end tag further
  // out (or none) never scans the stack: deep nesting with stray end tags stays linear.
  void IndexOpenNames() {
    for (int depth = 0; depth < static_cast<int>(m_open.size()); ++depth) Index(m_open[depth], depth);
    m_indexed = true;
  }

  void Index(OpenElement& open, int depth) {
    const auto [entry, inserted] = m_innermost.try_emplace(Name(open), depth);
    if (!inserted) {
      open.outerSameName = entry->second;
      entry->second = depth;
    }
  }

  void Push(OpenElement open) {
    if (m_indexed) Index(open, static_cast<int>(m_open.size()));
    m_open.push_back(open);
  }

  OpenElement Pop() {
    const OpenElement top = m_open.back();
    m_open.pop_back();
    if (m_indexed) {
      if (top.outerSameName < 0) m_innermost.erase(Name(top));
      else m_innermost[Name(top)] = top.outerSameName;
    }
    return top;
  }

  // Ends the innermost open element at `at` without an end tag.
  void CloseUnclosed(size_t at) {
    const OpenElement top = Pop();
    Element& element = m_elements[top.index];
    element.length = at - element.start;
    SetError();
    m_doc.AddResult(L"unclosed_element", {{L"tagname", std::wstring(Name(top))},
                                          {L"offset", Number(element.start)},
                                          {L"offset2", Number(at)}});
  }

  XmlDocument& m_doc;
  ElementArray& m_elements;
  const wchar_t* const m_text;
  const size_t m_size;
  std::vector<OpenElement> m_open;
  std::unordered_map<std::wstring_view, int> m_innermost;  // name -> innermost stack depth
  bool m_indexed = false;
};

// ---------------------------------------------------------------------------------------------

XmlDocument::XmlDocument() { m_elements.Add(); }

bool XmlDocument::ParseText(std::wstring text) {
  m_result.clear();
  m_text = std::move(text);
  Parse();
  return IsWellFormed();
}

void XmlDocument::Parse() {
  m_elements.Clear();
  m_elements.Add();
  m_elements[0].length = m_text.size();
  m_parent = m_current = m_child = 0;
  Parser(*this).Run();
}

bool XmlDocument::LoadFile(const std::wstring& path) {
  m_result.clear();
  std::string bytes;
  if (const int error = ReadWholeFile(path, bytes)) {
    AddResult(L"file_error", {{L"msg", Utf8ToWide(std::strerror(error))}, {L"n", Number(error)}, {L"file", path}});
    return false;
  }

  std::string_view data = bytes;
  std::wstring encoding;
  int byteOrder = 0;  // 0: 8-bit text, 1: UTF-16LE, 2: UTF-16BE
  if (data.starts_with("\xEF\xBB\xBF")) {
    encoding = L"UTF-8";
    data.remove_prefix(3);
  } else if (data.starts_with("\xFF\xFE")) {
    encoding = L"UTF-16LE";
    byteOrder = 1;
    data.remove_prefix(2);
  } else if (data.starts_with("\xFE\xFF")) {
    encoding = L"UTF-16BE";
    byteOrder = 2;
    data.remove_prefix(2);
  } else {
    encoding = DetectEncoding(data.substr(0, kDetectionBytes));
  }

  std::wstring text;
  size_t partial = 0;
  if (byteOrder) {
    partial = data.size() % 2;
    text = Utf16BytesToWide(data, byteOrder == 2);
  } else {
    if (encoding.empty()) {
      // A buffer that ends inside a character still counts as UTF-8.
      encoding = IsValidUtf8(data, true) ? L"UTF-8" : L"ANSI";
      AddResult(L"utf8_check", {{L"encoding", encoding}, {L"length", Number(data.size())}});
    }
    int codePage = EncodingToCodePage(encoding);
    if (codePage < 0) codePage = kSystemCodePage;
    // The name was read byte by byte, so the text is not in a 16- or 32-bit form whatever it
    // says; such files are saved by programs that wrote the declaration but not the encoding.
    if (IsWideCodePage(codePage)) codePage = kCodePageUtf8;
    if (codePage == kCodePageUtf8) {
      partial = TruncatedUtf8Tail(data);
      data.remove_suffix(partial);
    }
    text = CodePageToWide(data, codePage);
    AddResult(L"decoded", {{L"encoding", encoding}, {L"length", Number(text.size())}});
  }
  const size_t zeros = static_cast<size_t>(std::count(text.begin(), text.end(), L'\0'));
  if (zeros) {
    text.erase(std::remove(text.begin(), text.end(), L'\0'), text.end());
    AddResult(L"zero_chars_dropped", {{L"count", Number(zeros)}});
  }
  if (partial) AddResult(L"partial_character", {{L"encoding", encoding}, {L"length", Number(partial)}});
  AddResult(L"read", {{L"encoding", encoding}, {L"length", Number(bytes.size())}});

  m_text = std::move(text);
  Parse();
  return true;
}

bool XmlDocument::SaveFile(const std::wstring& path) {
  m_result.clear();
  std::wstring encoding = DeclaredEncoding(m_text);
  if (encoding.empty()) encoding = L"UTF-8";
  int codePage = EncodingToCodePage(encoding);
  if (codePage < 0) codePage = kSystemCodePage;

  // iconv's plain "UTF-32" begins with a byte-order mark, which the files never carry.
  if (codePage == kCodePageUtf32) codePage = kCodePageUtf32LE;
  std::string bytes;
  if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE) {
    bytes = WideToUtf16Bytes(m_text, codePage == kCodePageUtf16BE);
  } else {
    bool lossy = false;
    bytes = WideToCodePage(m_text, codePage, &lossy);
    AddResult(L"encoded", {{L"encoding", encoding}, {L"length", Number(bytes.size())}});
    if (lossy) AddResult(L"lossy_encoding", {{L"encoding", encoding}});
  }
  if (const int error = WriteWholeFile(path, bytes)) {
    AddResult(L"file_error", {{L"msg", Utf8ToWide(std::strerror(error))}, {L"n", Number(error)}, {L"file", path}});
    return false;
  }
  AddResult(L"write", {{L"encoding", encoding}, {L"length", Number(bytes.size())}});
  return true;
}

// ---------------------------------------------------------------------------------------------
// Navigation

bool XmlDocument::FindElement(std::wstring_view name) {
  const int first = m_current ? m_elements[m_current].next : m_elements[m_parent].firstChild;
  for (int index = first; index; index = m_elements[index].next) {
    if (NameEquals(index, name)) {
      m_current = index;
      m_child = 0;
      return true;
    }
  }
  return false;
}

bool XmlDocument::EnterElement() {
  if (!m_current) return false;
  m_parent = m_current;
  m_current = m_child;
  m_child = 0;
  return true;
}

bool XmlDocument::LeaveElement() {
  if (!m_parent) return false;
  m_child = m_current;
  m_current = m_parent;
  m_parent = m_elements[m_parent].parent;
  return true;
}

bool XmlDocument::IsWellFormed() const {
  const Element& top = m_elements[0];
  return !(top.flags & kParseError) && top.firstChild && !m_elements[top.firstChild].next;
}

bool XmlDocument::NameEquals(int index, std::wstring_view name) const {
  const size_t start = m_elements[index].start + 1;
  if (m_text.size() - start < name.size() || std::wmemcmp(m_text.data() + start, name.data(), name.size()) != 0)
    return false;
  const size_t end = start + name.size();
  return end > start && (end == m_text.size() || IsNameEnd(m_text[end]));
}

size_t XmlDocument::NameLength(int index) const {
  const size_t start = m_elements[index].start + 1;
  size_t end = start;
  while (end < m_text.size() && !IsNameEnd(m_text[end])) ++end;
  return end - start;
}

// ---------------------------------------------------------------------------------------------
// Attributes

XmlDocument::AttributeSpot XmlDocument::FindAttribute(int index, std::wstring_view name) const {
  const Element& element = m_elements[index];
  const wchar_t* text = m_text.data();
  // The attributes lie between the name and ">" (or "/>").
  const size_t end = element.start + element.startTagLength - ((element.flags & kEmptyForm) ? 2 : 1);
  // Moves past a name (up to white space or "=") or an unquoted value (up to white space). A
  // quote inside either starts a quoted run, as it does for the parser, so that an edit never
  // lands inside what the parser reads as quoted.
  const auto skipToken = [&](size_t i, bool isName) {
    while (i < end && !IsSpace(text[i]) && !(isName && text[i] == L'=')) {
      if (text[i] == L'"' || text[i] == L'\'') {
        const wchar_t* close = std::wmemchr(text + i + 1, text[i], end - i - 1);
        i = close ? static_cast<size_t>(close - text) + 1 : end;
      } else {
        ++i;
      }
    }
    return i;
  };

  size_t i = element.start + 1 + NameLength(index);
  AttributeSpot spot;
  spot.listEnd = i;
  for (;;) {
    while (i < end && IsSpace(text[i])) ++i;
    if (i >= end) return spot;
    const size_t nameStart = i;
    i = skipToken(i, true);
    AttributeSpot attribute;
    attribute.nameEnd = i;
    size_t tokenEnd = i;
    size_t j = i;
    while (j < end && IsSpace(text[j])) ++j;
    if (j < end && text[j] == L'=') {
      ++j;
      size_t quote = j;
      while (quote < end && IsSpace(text[quote])) ++quote;
      attribute.hasValue = true;
      if (quote < end && (text[quote] == L'"' || text[quote] == L'\'')) {
        attribute.tokenStart = quote;
        attribute.valueStart = quote + 1;
        const wchar_t* close = std::wmemchr(text + quote + 1, text[quote], end - quote - 1);
        attribute.valueEnd = close ? static_cast<size_t>(close - text) : end;
        tokenEnd = close ? attribute.valueEnd + 1 : end;
      } else {
        // An unquoted value starts right at "=": in "a= b" the value of a is empty and b is
        // an attribute of its own, so an attribute appended after "a=" stays one.
        attribute.tokenStart = attribute.valueStart = j;
        attribute.valueEnd = tokenEnd = skipToken(j, false);
      }
      attribute.tokenEnd = tokenEnd;
      i = tokenEnd;
    }
    if (!name.empty() && std::wstring_view(text + nameStart, attribute.nameEnd - nameStart) == name) {
      attribute.found = true;
      return attribute;
    }
    spot.listEnd = tokenEnd;
  }
}

std::wstring XmlDocument::GetAttribute(std::wstring_view name) const {
  if (!m_current) return {};
  const AttributeSpot spot = FindAttribute(m_current, name);
  if (!spot.found || !spot.hasValue) return {};
  const std::wstring_view value(m_text.data() + spot.valueStart, spot.valueEnd - spot.valueStart);

  std::wstring decoded;
  decoded.reserve(value.size());
  size_t i = 0;
  for (;;) {
    const size_t amp = value.find(L'&', i);
    decoded.append(value.substr(i, amp == std::wstring_view::npos ? std::wstring_view::npos : amp - i));
    if (amp == std::wstring_view::npos) return decoded;
    i = amp + 1;
    const size_t limit = std::min(value.size(), amp + 2 + kReferenceNameMax);
    size_t semicolon = amp + 1;
    while (semicolon < limit && value[semicolon] != L';') ++semicolon;
    if (semicolon < limit && semicolon > amp + 1) {
      if (const char32_t c = ReferenceCodePoint(value.substr(amp + 1, semicolon - amp - 1))) {
        AppendCodePoint(decoded, c);
        i = semicolon + 1;
        continue;
      }
    }
    // Not a reference: the "&" stays as it is.
    decoded += L'&';
  }
}

char32_t XmlDocument::ReferenceCodePoint(std::wstring_view name) {
  if (name.empty() || name.size() > kReferenceNameMax) return 0;
  std::array<char, kReferenceNameMax> ascii{};
  for (size_t i = 0; i < name.size(); ++i) {
    if (!IsAscii(name[i])) return 0;
    ascii[i] = static_cast<char>(name[i]);
  }
  std::string_view reference(ascii.data(), name.size());
  if (reference[0] == '#') return NumericReference(reference.substr(1));
  // Names that differ only in case name different characters ("Agrave", "agrave"), so an
  // exact match comes first; any other capitalisation ("AMP", "Lt") reads as the lower-case name.
  if (const char32_t c = NamedReferenceCodePoint(reference)) return c;
  for (char& c : ascii) c = static_cast<char>(LowerAscii(c));
  return NamedReferenceCodePoint(reference);
}

bool XmlDocument::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (!m_current || !IsValidName(name)) return false;
  std::wstring quoted = L"\"";
  AppendEscaped(quoted, value, true);
  quoted += L'"';

  const AttributeSpot spot = FindAttribute(m_current, name);
  size_t pos = spot.listEnd;
  size_t oldLength = 0;
  std::wstring replacement;
  if (spot.found && spot.hasValue) {
    pos = spot.tokenStart;
    oldLength = spot.tokenEnd - spot.tokenStart;
    replacement = std::move(quoted);
  } else if (spot.found) {
    // An attribute written without a value ("<key disabled>") gets one.
    pos = spot.nameEnd;
    replacement = L"=" + quoted;
  } else {
    replacement = L" ";
    replacement += name;
    replacement += L"=";
    replacement += quoted;
  }
  Element& element = m_elements[m_current];
  element.startTagLength = element.startTagLength - oldLength + replacement.size();
  ReplaceText(pos, oldLength, replacement);
  return true;
}

bool XmlDocument::SetAttribute(std::wstring_view name, int value) { return SetAttribute(name, std::to_wstring(value)); }

// ---------------------------------------------------------------------------------------------
// Adding elements

bool XmlDocument::AddElement(std::wstring_view name, std::wstring_view text, int flags) {
  if (!IsValidName(name)) return false;
  std::wstring node = L"<";
  node += name;
  size_t startTagLength;
  size_t endTagLength = 0;
  if (text.empty()) {
    node += (flags & kSpaceBeforeSlash) ? L" />" : L"/>";
    startTagLength = node.size();
  } else {
    node += L'>';
    startTagLength = node.size();
    AppendEscaped(node, text, false);
    node += L"</";
    node += name;
    node += L'>';
    endTagLength = name.size() + 3;
  }

  Element& parent = m_elements[m_parent];
  const int after = m_current ? m_current : (parent.firstChild ? m_elements[parent.firstChild].prev : 0);
  size_t start;
  if (after) {
    // On a line of its own just after the element before it.
    const Element& before = m_elements[after];
    const size_t pos = before.start + before.length;
    ReplaceText(pos, 0, L"\r\n" + node);
    start = pos + 2;
  } else if (parent.flags & kEmptyForm) {
    // "<p/>" cannot hold a child: it becomes "<p>", the child on a line of its own, "</p>".
    const size_t listEnd = FindAttribute(m_parent, {}).listEnd;
    const std::wstring parentName = m_text.substr(parent.start + 1, NameLength(m_parent));
    // An attribute list ending in "/" ("<p a=b/ />") needs a space, or "/>" would read as the
    // empty form again.
    const std::wstring close = m_text[listEnd - 1] == L'/' ? L" >" : L">";
    ReplaceText(listEnd, parent.start + parent.length - listEnd,
                close + L"\r\n" + node + L"\r\n</" + parentName + L">");
    parent.startTagLength = listEnd + close.size() - parent.start;
    parent.endTagLength = parentName.size() + 3;
    parent.flags &= ~kEmptyForm;
    start = listEnd + close.size() + 2;
  } else {
    // The first child goes before the parent's end tag (at the end of the text for the
    // root element), on a line of its own, with the end tag on the next line.
    const size_t pos = parent.start + parent.length - parent.endTagLength;
    const bool lineStart = pos == 0 || m_text[pos - 1] == L'\n';
    std::wstring insert = lineStart ? node : L"\r\n" + node;
    if (m_parent) insert += L"\r\n";
    ReplaceText(pos, 0, insert);
    start = lineStart ? pos : pos + 2;
  }

  const int index = m_elements.Add();
  Element& element = m_elements[index];
  element.start = start;
  element.length = node.size();
  element.startTagLength = startTagLength;
  element.endTagLength = endTagLength;
  if (text.empty()) element.flags = kEmptyForm;
  LinkAfter(index, m_parent, after);
  m_current = index;
  m_child = 0;
  return true;
}

// Replaces part of the text and moves the index with it: records after the replaced part are
// shifted and the records around it (the element being edited and its ancestors) grow.
void XmlDocument::ReplaceText(size_t pos, size_t oldLength, std::wstring_view replacement) {
  m_text.replace(pos, oldLength, replacement);
  const size_t oldEnd = pos + oldLength;
  for (int index = 1; index < m_elements.Size(); ++index) {
    Element& element = m_elements[index];
    if (element.start >= oldEnd) element.start = element.start - oldLength + replacement.size();
    else if (element.start + element.length > pos) element.length = element.length - oldLength + replacement.size();
  }
  m_elements[0].length = m_text.size();
}

// Links a new record into its parent's children after `after`, or as the only child when
// `after` is 0.
void XmlDocument::LinkAfter(int index, int parent, int after) {
  Element& element = m_elements[index];
  Element& parentElement = m_elements[parent];
  element.parent = parent;
  if (!after) {
    parentElement.firstChild = index;
    element.prev = index;
    element.next = 0;
    return;
  }
  Element& before = m_elements[after];
  element.prev = after;
  element.next = before.next;
  before.next = index;
  if (element.next) m_elements[element.next].prev = index;
  else m_elements[parentElement.firstChild].prev = index;
}

void XmlDocument::AddResult(std::wstring_view entry,
                            std::initializer_list<std::pair<std::wstring_view, std::wstring>> attributes) {
  if (m_result.size() >= kResultLimit) return;
  m_result += L'<';
  m_result += entry;
  for (const auto& [name, value] : attributes) {
    m_result += L' ';
    m_result += name;
    m_result += L"=\"";
    AppendEscaped(m_result, value, true);
    m_result += L'"';
  }
  m_result += L"/>";
}

}  // namespace kl

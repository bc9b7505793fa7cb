// Fuzzes XmlDocument::ParseText and what follows a parse: navigation, attribute reads and the
// editing operations. The bytes are fed twice: decoded as UTF-8, and as raw wide characters
// made of byte pairs (which reaches lone surrogates and other values no decoder produces).
//
// Besides crashes, a well-formed document is checked after editing: the edited index must
// answer like a fresh parse of the edited text, and a value just set must read back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/xml/XmlDocument.h"
#include "base/Encoding.h"

namespace {

constexpr int kMaxDepth = 32;
constexpr size_t kMaxNames = 6;

bool EndsName(wchar_t c) {
  return c < 0x80 && std::wstring_view(L" \t\r\n<>=\\/?!\"';").find(c) != std::wstring_view::npos;
}

// Element names that occur in the text, so that the walk finds something.
std::vector<std::wstring> NamesIn(std::wstring_view text) {
  std::vector<std::wstring> names = {L"k"};
  for (size_t i = text.find(L'<'); i != std::wstring_view::npos && names.size() < kMaxNames;
       i = text.find(L'<', i + 1)) {
    size_t end = i + 1;
    while (end < text.size() && end - i <= 16 && !EndsName(text[end])) ++end;
    if (end == i + 1) continue;
    std::wstring name(text.substr(i + 1, end - i - 1));
    bool known = false;
    for (const std::wstring& n : names) known = known || n == name;
    if (!known) names.push_back(std::move(name));
  }
  return names;
}

// Walks the document from the cursor: at each level, every name in turn, each search going
// on from where the last one stopped, and down into each element found. The same structure
// always gives the same record.
void Walk(kl::XmlDocument& doc, const std::vector<std::wstring>& names, int depth, int& budget,
          std::wstring& record) {
  for (const std::wstring& name : names) {
    while (budget > 0 && doc.FindElement(name)) {
      --budget;
      record += L'<' + name + L' ' + std::to_wstring(depth);
      for (const std::wstring& attribute : {std::wstring(L"v"), std::wstring(L"id"), names.back()})
        record += L'|' + doc.GetAttribute(attribute);
      if (depth < kMaxDepth && doc.EnterElement()) {
        Walk(doc, names, depth + 1, budget, record);
        if (!doc.LeaveElement()) std::abort();  // it was entered, so there is a level to leave
      }
      record += L'>';
    }
  }
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// The first of `names` found from the cursor, or null.
const std::wstring* FindAny(kl::XmlDocument& doc, const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) {
    if (doc.FindElement(name)) return &name;
  }
  return nullptr;
}

void Exercise(const std::wstring& text) {
  const std::vector<std::wstring> names = NamesIn(text);
  kl::XmlDocument doc;
  const bool wellFormed = doc.ParseText(text);
  Check(doc.IsWellFormed() == wellFormed);
  // The log stops taking entries at 1000 characters; only the last entry may pass the bound.
  Check(doc.Result().size() < 1000 || doc.Result().rfind(L'<') < 1000);
  int budget = 2000;
  std::wstring record;
  Walk(doc, names, 0, budget, record);

  // Edit: the root's start tag, then a new element "k" after the root's first child found
  // (or at the end of its children), with a child of its own.
  doc.ParseText(text);
  const std::wstring value = L"<&>\"' " + text.substr(0, 8);
  const std::wstring* root = FindAny(doc, names);
  const std::wstring* first = nullptr;
  if (root) {
    Check(doc.SetAttribute(L"v", value));
    Check(doc.GetAttribute(L"v") == value);
    Check(doc.SetAttribute(L"v", 42));
    Check(doc.GetAttribute(L"v") == L"42");
    Check(doc.EnterElement());
    first = FindAny(doc, names);
    if (first) Check(doc.SetAttribute(L"id", value));
  }
  Check(doc.AddElement(L"k"));
  Check(doc.SetAttribute(L"id", value));
  Check(doc.GetAttribute(L"id") == value);
  Check(doc.EnterElement());
  Check(doc.AddElement(L"x", L"text <&>", kl::XmlDocument::kSpaceBeforeSlash));
  Check(doc.SetAttribute(names.back(), L"y"));
  Check(doc.GetAttribute(names.back()) == L"y");
  Check(doc.LeaveElement());
  Check(!doc.SetAttribute(L"a b", L"1") && !doc.AddElement(L""));
  if (!wellFormed || !root) return;

  // The edited index must answer like a fresh parse of the edited text. Put a fresh parse's
  // cursor on the new "k" by the same path; from there both walk the rest of the root's
  // children, which all moved with the edits.
  kl::XmlDocument fresh;
  Check(fresh.ParseText(doc.Text()));
  Check(fresh.FindElement(*root) && fresh.EnterElement());
  if (first) Check(fresh.FindElement(*first));
  Check(fresh.FindElement(L"k"));
  Check(fresh.GetAttribute(L"id") == value);
  std::wstring edited, reparsed;
  int editedBudget = 2000, reparsedBudget = 2000;
  Walk(doc, names, 1, editedBudget, edited);
  Walk(fresh, names, 1, reparsedBudget, reparsed);
  Check(edited == reparsed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Exercise(kl::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size)));
  std::wstring wide(size / 2, L'\0');
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
  Exercise(wide);
  return 0;
}

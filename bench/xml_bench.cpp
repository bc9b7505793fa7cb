// XmlDocument next to pugixml and tinyxml2, parsing the same bytes:
//   Layout   the shipped layout file data/layouts/TR640.xml
//   Large    a generated layout-like document of about 20 MB: many keyboards of 104 keys, with
//            references and non-ASCII text in the attribute values
// XmlDocument/Utf8 starts from the UTF-8 bytes as the others do, so decoding to the wide text
// is part of its cost; XmlDocument/ParseText starts from the decoded text.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <tinyxml2.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "app/xml/XmlDocument.h"
#include "base/Encoding.h"

namespace {

constexpr size_t kLargeSize = 20u << 20;

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string MakeLargeDocument() {
  static const char* const kNames[] = {"Esc", "F1", "&amp;", "&lt;Ctrl&gt;", "空格", "Größe", "Fn", "&#x41;&#66;"};
  uint32_t seed = 12345;
  const auto next = [&seed](uint32_t range) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % range;
  };
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<!-- generated: many keyboards of one layout -->\r\n"
      "<device_list>\r\n"
      "<menu macro=\"1\" light_mode=\"1\"/>\r\n"
      "<function sleep_time=\"1\"/>\r\n";
  out.reserve(kLargeSize + 65536);
  char line[512];
  for (int board = 0; out.size() < kLargeSize; ++board) {
    std::snprintf(line, sizeof line,
                  "<Keyboard xpos=\"%u\" ypos=\"%u\" width=\"1090\" height=\"355\" image=\"board%d.png\" "
                  "row_count=\"6\" col_count=\"21\">\r\n<KeyItems>\r\n",
                  next(400), next(300), board);
    out += line;
    for (int key = 0; key < 104; ++key) {
      std::snprintf(line, sizeof line,
                    "<key code=\"%x\" name=\"%s\" desc=\"Key &quot;%d&quot; 按键 %d\" key_index=\"%d\" "
                    "light_index=\"%d\" icon=\"\" fnlayer_disable=\"%u\" row_col=\"%d,%d\" rect=\"%u#%u#%u#%u\"/>\r\n",
                    next(256), kNames[next(8)], key, board, key, key, next(2), key / 21, key % 21, next(1200),
                    next(400), 30 + next(60), 30 + next(20));
      out += line;
    }
    out += "</KeyItems>\r\n</Keyboard>\r\n";
  }
  out += "</device_list>\r\n";
  return out;
}

const std::string& LayoutBytes() {
  static const std::string bytes = ReadFile(KL_DATA_DIR "/layouts/TR640.xml");
  return bytes;
}

const std::string& LargeBytes() {
  static const std::string bytes = MakeLargeDocument();
  return bytes;
}

using Source = const std::string& (*)();

bool Ready(benchmark::State& state, const std::string& bytes) {
  if (bytes.empty()) {
    state.SkipWithError("data/layouts/TR640.xml is missing");
    return false;
  }
  return true;
}

void XmlDocumentUtf8(benchmark::State& state, Source source) {
  const std::string& bytes = source();
  if (!Ready(state, bytes)) return;
  for (auto _ : state) {
    kl::XmlDocument doc;
    if (!doc.ParseText(kl::Utf8ToWide(bytes))) state.SkipWithError("not well-formed");
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void XmlDocumentParseText(benchmark::State& state, Source source) {
  const std::string& bytes = source();
  if (!Ready(state, bytes)) return;
  const std::wstring text = kl::Utf8ToWide(bytes);
  for (auto _ : state) {
    state.PauseTiming();
    std::wstring copy = text;
    state.ResumeTiming();
    kl::XmlDocument doc;
    if (!doc.ParseText(std::move(copy))) state.SkipWithError("not well-formed");
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void Pugixml(benchmark::State& state, Source source) {
  const std::string& bytes = source();
  if (!Ready(state, bytes)) return;
  for (auto _ : state) {
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes.data(), bytes.size())) state.SkipWithError("not well-formed");
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void Tinyxml2(benchmark::State& state, Source source) {
  const std::string& bytes = source();
  if (!Ready(state, bytes)) return;
  for (auto _ : state) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(bytes.data(), bytes.size()) != tinyxml2::XML_SUCCESS) state.SkipWithError("not well-formed");
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const std::pair<const char*, Source> sources[] = {{"Layout", LayoutBytes}, {"Large", LargeBytes}};
  for (const auto& [name, source] : sources) {
    const std::string suffix = std::string("/") + name;
    const auto unit = source == LargeBytes ? benchmark::kMillisecond : benchmark::kMicrosecond;
    benchmark::RegisterBenchmark(("XmlDocument/Utf8" + suffix).c_str(), XmlDocumentUtf8, source)->Unit(unit);
    benchmark::RegisterBenchmark(("XmlDocument/ParseText" + suffix).c_str(), XmlDocumentParseText, source)
        ->Unit(unit);
    benchmark::RegisterBenchmark(("pugixml" + suffix).c_str(), Pugixml, source)->Unit(unit);
    benchmark::RegisterBenchmark(("tinyxml2" + suffix).c_str(), Tinyxml2, source)->Unit(unit);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

#include "velaui/core/Fonts.h"

#include <fontconfig/fontconfig.h>
// (fcfreetype.h needs fontconfig.h first)
#include <fontconfig/fcfreetype.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <utility>

#include "base/Encoding.h"

namespace kl::vela {

namespace {

// Face names the program uses, and the installed faces that stand in for them.
constexpr std::pair<const wchar_t*, const char*> kAliases[] = {
    {L"SourceHanSansCN-Regular", "Noto Sans CJK SC"},
    {L"Source Han Sans CN", "Noto Sans CJK SC"},
    {L"Microsoft YaHei", "Noto Sans CJK SC"},
    {L"Open Sans Semibold", "Noto Sans CJK SC"},
};
constexpr const char* kDefaultFace = "Noto Sans CJK SC";

PangoFontMap* FontMap() { return pango_cairo_font_map_get_default(); }

}  // namespace

std::wstring AddApplicationFont(const std::wstring& path) {
  const std::string utf8 = WideToUtf8(path);
  if (utf8.empty()) return {};
  const auto* file = reinterpret_cast<const FcChar8*>(utf8.c_str());
  int count = 0;
  FcPattern* pattern = FcFreeTypeQuery(file, 0, nullptr, &count);
  if (!pattern) return {};
  FcChar8* family = nullptr;
  std::wstring name;
  if (FcPatternGetString(pattern, FC_FAMILY, 0, &family) == FcResultMatch && family)
    name = Utf8ToWide(reinterpret_cast<const char*>(family));
  FcPatternDestroy(pattern);
  if (name.empty() || !FcConfigAppFontAddFile(FcConfigGetCurrent(), file)) return {};
  if (PANGO_IS_FC_FONT_MAP(FontMap())) pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(FontMap()));
  pango_context_changed(SharedPangoContext());
  return name;
}

std::string ResolveFontFace(const std::wstring& face) {
  if (face.empty()) return kDefaultFace;
  for (const auto& [name, real] : kAliases)
    if (face == name) return real;
  return WideToUtf8(face);
}

bool HasFontFamily(const std::wstring& face) {
  const std::string wanted = ResolveFontFace(face);
  PangoFontFamily** families = nullptr;
  int count = 0;
  pango_font_map_list_families(FontMap(), &families, &count);
  bool found = false;
  for (int i = 0; i < count && !found; ++i) found = wanted == pango_font_family_get_name(families[i]);
  g_free(families);
  return found;
}

PangoFontDescription* CreateFontDescription(const Font& font) {
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, ResolveFontFace(font.face).c_str());
  pango_font_description_set_absolute_size(desc, (font.pixelSize > 0 ? font.pixelSize : 14) * PANGO_SCALE);
  pango_font_description_set_weight(desc, (font.style & FontStyleBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(desc, (font.style & FontStyleItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return desc;
}

PangoContext* SharedPangoContext() {
  static PangoContext* context = [] {
    PangoContext* c = pango_font_map_create_context(FontMap());
    pango_context_set_language(c, pango_language_from_string("zh-cn"));
    // Grey antialiasing without hinting: the same pixels on every machine and in every buffer.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(c, options);
    cairo_font_options_destroy(options);
    return c;
  }();
  return context;
}

}  // namespace kl::vela

// Fonts: application font files, face aliases and the shared Pango context.
//
// The program names its faces as it always has ("SourceHanSansCN-Regular"); the alias table
// maps such names to faces the system has. The Pango context pins the language to Simplified
// Chinese so that Han characters take the Chinese forms, not the Japanese face of the same
// family. UI thread only.
#pragma once

#include <pango/pango.h>

#include <string>

#include "velaui/core/Canvas.h"

namespace kl::vela {

// Adds a font file (OTF/TTF) for this process only and returns the family it holds; empty when
// the file cannot be read or added.
std::wstring AddApplicationFont(const std::wstring& path);
// The face to ask fontconfig for: the alias when `face` has one, else `face` itself
// (an empty face gives the library's default face).
std::string ResolveFontFace(const std::wstring& face);
// True when fontconfig has a family of exactly this name (after aliasing).
bool HasFontFamily(const std::wstring& face);
// A new description for `font` (the caller frees it with pango_font_description_free).
PangoFontDescription* CreateFontDescription(const Font& font);
// The shared context all layouts are made from.
PangoContext* SharedPangoContext();

}  // namespace kl::vela

// Paths. Names inside the program's data use "\" and sometimes "//" (they were written for
// Windows); every path is built with JoinPath, which turns both into a single "/".
#pragma once

#include <string>
#include <string_view>

namespace kl {

// Joins `base` and `name` with one separator and normalises every "\" and every run of
// separators to a single "/". An empty part contributes nothing.
std::wstring JoinPath(std::wstring_view base, std::wstring_view name);

// The same normalisation for a single path.
std::wstring NormalizePath(std::wstring_view path);

// A wide path as the bytes the file system takes (UTF-8).
std::string NativePath(std::wstring_view path);

}  // namespace kl

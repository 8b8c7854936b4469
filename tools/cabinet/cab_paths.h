#pragma once
// Path and name helpers for the cabinet tools. The tools are called with
// Windows-style command lines ("files\netdrv\*.*", "/l DOS\"), so they accept
// both separators, find existing path components regardless of letter case and
// match names with the wildcard rules of the Windows file search.
#include <string>

namespace kiv::cab {

// Removes one pair of double quotes around the whole text, and the quotes of a
// value after ':' or '=' ("-f:\"x y\"" -> "-f:x y").
std::string Unquote(const std::string& arg);

// '\' -> '/'.
std::string ForwardSlashes(std::string path);
// '/' -> '\'.
std::string BackSlashes(std::string path);

// Last component of a path written with either separator.
std::string BaseName(const std::string& path);

// Windows wildcard match, case-insensitive (ASCII): '*' any run, '?' one
// character; "*.*" matches every name; a pattern ending in ".*" also matches
// the same name without any extension ("ndis.*" matches "ndis"); "*." matches
// names without a dot.
bool WildcardMatch(const std::string& pattern, const std::string& name);
bool HasWildcards(const std::string& text);

// Finds an existing path by matching each component that does not exist as
// spelled case-insensitively. Accepts '\' separators. Components that cannot be
// found are kept as spelled (so the result can name the missing part).
std::string ResolvePath(const std::string& path);

// A stored cabinet name that must never be written: empty, absolute ('/' or
// '\' first, or a drive letter), or with a ".." component. The reason is set.
bool IsUnsafeStoredName(const std::string& stored, std::string* reason = nullptr);

// A path -> relative path with '/' separators, empty components (a leading
// '/' too) and "." dropped: a stored name as extraction writes it (only for
// names IsUnsafeStoredName accepted), a gathered file's name as it is stored.
std::string NormaliseRelative(const std::string& path);

// A mkstemp() template for a hidden temporary file in the same folder as
// `path` ("dir/.name.XXXXXX"). The name part is shortened (on a UTF-8
// character boundary) so the whole component stays within 255 bytes: a file
// whose own name is 248 to 255 bytes long still gets a temporary beside it.
std::string TempTemplateBeside(const std::string& path);

}  // namespace kiv::cab

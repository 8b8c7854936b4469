#pragma once
// Path text helpers. The data files and settings speak Windows paths
// ("files\base_files\*.*"); NativePath converts them at the boundary. Folder
// paths used for joining carry a trailing separator.
#include <string>

namespace kiv {

#ifdef _WIN32
inline constexpr char kSep = '\\';
#else
inline constexpr char kSep = '/';
#endif

// '\' -> '/' on POSIX (unchanged on Windows).
std::string NativePath(const std::string& path);
// Native separators -> '\' (for texts that must look like Windows paths).
std::string WindowsPath(const std::string& path);

// Trim blanks (spaces and tabs) on both ends / on the right only.
std::string Trim(const std::string& s);
std::string TrimRight(const std::string& s);

// If the trimmed path ends neither in '/' nor '\': the path with trailing blanks
// removed and the native separator appended; otherwise unchanged.
std::string AddSlash(const std::string& path);
// Trims blanks; removes one enclosing pair of double quotes.
std::string Unquote(const std::string& text);
// Wraps in double quotes unless already enclosed in them. trimFirst trims blanks
// first; force quotes even an empty text ("" -> "\"\"").
std::string Quote(const std::string& text, bool force = true, bool trimFirst = true);
// Text up to the first NUL.
std::string StripNull(const std::string& text);
// Short 8.3 form; on POSIX the path unchanged.
std::string ShortPath(const std::string& path);
// Last '\' or '/': at the end -> false, nothing set; elsewhere -> folder before,
// file after, true; none -> folder = current directory, file = path, false.
bool SplitPath(const std::string& path, std::string& folder, std::string& file);
// The folder part SplitPath yields.
std::string FolderOf(const std::string& path);
// Absolute: "/x" on POSIX, or a second character ':' (drive letter) anywhere.
bool IsAbsolutePath(const std::string& path);
// folder + separator + relative (separators normalised, no doubled separator).
std::string JoinPath(const std::string& folder, const std::string& relative);
// Case-insensitive ASCII compare / lower-case.
bool EqualsNoCase(const std::string& a, const std::string& b);
std::string ToLower(std::string s);
std::string ToUpper(std::string s);
// Windows wildcard match, case-insensitive: '*' any run, '?' one character;
// "*.*" matches every name, with or without a dot; "*." matches names without dot.
bool WildcardMatch(const std::string& pattern, const std::string& name);

// Finds an existing path by case-insensitive match of each component that does
// not exist as spelled ("/cd/i386/txtsetup.sif" finds "/cd/I386/TXTSETUP.SIF").
// Accepts '\' separators. Returns the real path when found, otherwise the input
// with native separators (so callers can still name it in a message).
std::string ResolvePath(const std::string& path);
// Like ResolvePath, but for paths that may not exist yet: every leading
// component that exists (as spelled or in another letter case) is replaced by
// its real name; the rest is kept as given. Used before creating files and
// folders so "KIVCD\Boot\x" lands in an existing "kivcd/boot/".
std::string ResolvePathPrefix(const std::string& path);

// Where `path` really leads, relative to where `folder` really is, both with
// every symbolic link resolved (also one whose target does not exist yet, as
// writing through it would create that target) and "." and ".." applied:
// "sub/x" for a path inside, "." for the folder itself, and an empty text when
// the path leads outside the folder (or either cannot be examined).
std::string RealPathWithin(const std::string& folder, const std::string& path);

}  // namespace kiv

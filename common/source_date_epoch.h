#pragma once
// Reproducible output: SOURCE_DATE_EPOCH, when set, is the date every program
// of the kit writes where it would write the time of the build, and the seed
// of what would otherwise be random (salts, volume serials). One parser for
// all of them, header-only so the stand-alone tools (cabarc, bfi) share it
// (Environment's look-ups are inline too).
// A value that is not a plain decimal count of seconds is refused, never
// half-used: a build that promised reproducible dates and cannot keep the
// promise stops before it writes anything.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "common/environment.h"

namespace kiv {

// `text` as seconds since 1970. Nothing when `text` is null or empty; nothing
// and a message naming the variable and the value in `error` when it is not
// a plain decimal count.
inline std::optional<int64_t> ParseSourceDateEpoch(const char* text, std::string* error) {
  if (!text || !*text) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long seconds = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || seconds < 0 || text[0] < '0' || text[0] > '9') {
    if (error) *error = std::string("SOURCE_DATE_EPOCH=") + text + " is not a number of seconds since 1970";
    return std::nullopt;
  }
  return seconds;
}

// SOURCE_DATE_EPOCH of `environment`, parsed as above.
inline std::optional<int64_t> SourceDateEpoch(const Environment& environment, std::string* error) {
  const std::optional<std::string> text = environment.Find("SOURCE_DATE_EPOCH");
  return ParseSourceDateEpoch(text ? text->c_str() : nullptr, error);
}

// For the stand-alone tools' main(), which have no Environment value: this
// process's own SOURCE_DATE_EPOCH.
inline std::optional<int64_t> SourceDateEpochOfThisProcess(std::string* error) {
  return ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), error);
}

// "" when SOURCE_DATE_EPOCH is unset or a number; otherwise why a build
// refuses to start, naming the variable, its value and the way out.
inline std::string SourceDateEpochProblem(const Environment& environment) {
  std::string error;
  SourceDateEpoch(environment, &error);
  return error.empty() ? error : error + " (set it to one, for example SOURCE_DATE_EPOCH=$(date +%s), or unset it)";
}

}  // namespace kiv

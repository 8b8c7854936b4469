#include "cdtool/build/mkisofs_output.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <utility>

namespace kiv {
namespace {

bool Contains(const std::string& s, const char* phrase) { return s.find(phrase) != std::string::npos; }

std::string TrimBlanks(const std::string& s) {
  const char* ws = " \t\r\n";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

// Plain decimal: optional sign, digits with at most one '.', at least one digit.
std::optional<double> ReadDecimal(const std::string& t) {
  if (t.empty()) return std::nullopt;
  size_t i = 0;
  if (t[0] == '+' || t[0] == '-') i = 1;
  bool digit = false, dot = false;
  for (size_t k = i; k < t.size(); ++k) {
    char c = t[k];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !dot) {
      dot = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digit) return std::nullopt;
  return std::strtod(t.c_str(), nullptr);  // C locale: '.' is the decimal point
}

// xorriso's progress line: the number right before the first '%' after its
// "UPDATE :" tag, however long it is.
std::optional<std::string> XorrisoPercent(const std::string& chunk) {
  const std::string tag = "xorriso : UPDATE :";
  size_t at = chunk.find(tag);
  if (at == std::string::npos) return std::nullopt;
  size_t pct = chunk.find("% done", at);
  if (pct == std::string::npos) return std::nullopt;
  size_t from = chunk.find_last_not_of("0123456789.", pct - 1);
  from = from == std::string::npos ? 0 : from + 1;
  if (from == pct) return std::nullopt;
  return chunk.substr(from, pct - from);
}

// The bar value for a percentage text: rounded half to even, within 0..100.
std::optional<int> BarValue(const std::string& t) {
  auto v = ReadDecimal(t);
  if (!v) return std::nullopt;
  double rounded = std::nearbyint(*v);  // default rounding: halves to the even neighbour
  if (rounded < 0 || rounded > 100) return std::nullopt;
  return static_cast<int>(rounded);
}

}  // namespace

ChunkEffect ParseMkisofsChunk(const std::string& chunk) {
  ChunkEffect fx;
  if (Contains(chunk, "Calculating MD5 digests")) fx.caption = "Calculating MD5 digests";
  if (Contains(chunk, "Finding duplicate files")) fx.caption = "Finding duplicate files";

  if (Contains(chunk, "Scanning") && !Contains(chunk, "Scanning tree...")) {
    const std::string word = "Scanning";
    size_t p = chunk.find(word) + word.size();
    size_t q = chunk.find(word, p);
    fx.caption = "Scanning : " + chunk.substr(p, q == std::string::npos ? std::string::npos : q - p);
  }

  if (Contains(chunk, "Eltorito")) fx.caption = "Writing Booting Info";

  size_t pct = chunk.find('%');
  if (pct != std::string::npos && chunk.find("%)") != pct && pct >= 5) {
    std::string t = XorrisoPercent(chunk).value_or(TrimBlanks(chunk.substr(pct - 5, 5)));
    if (auto value = BarValue(t)) {
      fx.barValue = value;
      fx.caption = "Creating ISO File : " + t + "% Done";
    }
  }

  if (size_t w = chunk.find("Writing to '");
      w != std::string::npos && chunk.find("completed successfully", w) != std::string::npos) {
    fx.barValue = 100;  // the caption keeps the size, which xorriso gives just before
  }

  size_t e = chunk.find("extents written");
  if (e != std::string::npos) {
    size_t m = std::string::npos;
    for (const char* unit : {"Mb", "MB", "MiB"}) {
      size_t at = chunk.find(unit, e);
      if (at < m) m = at;
    }
    size_t from = e + 17;  // past "extents written ("
    if (m != std::string::npos && from <= m) fx.caption = "Total ISO size : " + chunk.substr(from, m - from) + "MB";
  }

  const std::string produced = "ISO image produced: ";
  if (size_t p = chunk.find(produced); p != std::string::npos) {
    p += produced.size();
    size_t end = chunk.find_first_not_of("0123456789", p);
    if (end != p && end != std::string::npos && chunk.compare(end, 8, " sectors") == 0) {
      const unsigned long long sectors = std::strtoull(chunk.c_str() + p, nullptr, 10);
      fx.caption = "Total ISO size : " + std::to_string(sectors * 2048 / (1024 * 1024)) + " MB";
    }
  }

  // xorriso measures the free space before it writes, and says so instead.
  if (Contains(chunk, "No space left on device") || Contains(chunk, "exceeds free space on media")) fx.noSpace = true;
  return fx;
}

namespace {

constexpr size_t kKeptProblems = 3;

// "xorriso : FAILURE : text" -> the severity and the text; nothing for a
// line that is not a message of the tool or of its libraries.
std::optional<std::pair<std::string, std::string>> ToolMessage(const std::string& line) {
  const size_t first = line.find(':');
  if (first == std::string::npos) return std::nullopt;
  const std::string who = TrimBlanks(line.substr(0, first));
  if (who != "xorriso" && who != "libisofs" && who != "libburn" && who != "libisoburn") return std::nullopt;
  const size_t second = line.find(':', first + 1);
  if (second == std::string::npos) return std::nullopt;
  return std::make_pair(TrimBlanks(line.substr(first + 1, second - first - 1)), TrimBlanks(line.substr(second + 1)));
}

}  // namespace

void MasteringProblems::Add(const std::string& chunk) {
  pending_ += chunk;
  size_t from = 0;
  for (size_t end; (end = pending_.find_first_of("\r\n", from)) != std::string::npos; from = end + 1)
    Line(pending_.substr(from, end - from));
  pending_.erase(0, from);
  // A line that never ends is not a message.
  if (pending_.size() > 4096) pending_.clear();
}

void MasteringProblems::Line(const std::string& line) {
  const auto message = ToolMessage(line);
  const bool awaiting = awaitingCause_;
  awaitingCause_ = false;
  if (!message) return;
  const auto& [severity, text] = *message;
  static const char* const kProblems[] = {"SORRY", "MISHAP", "FAILURE", "FATAL", "ABORT"};
  if (std::find(std::begin(kProblems), std::end(kProblems), severity) != std::end(kProblems)) {
    if (problems_.size() < kKeptProblems && !text.empty()) {
      problems_.push_back(text);
      awaitingCause_ = true;
    }
    return;
  }
  // The note right after a problem that says what caused it.
  const std::string caused = "> Caused by:";
  if (awaiting && severity == "NOTE" && text.rfind(caused, 0) == 0)
    problems_.back() += " (" + TrimBlanks(text.substr(caused.size())) + ")";
}

std::string MasteringProblems::Text() const {
  std::string joined;
  for (const std::string& p : problems_) joined += (joined.empty() ? "" : "; ") + p;
  return joined;
}

}  // namespace kiv

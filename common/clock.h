#pragma once
// The time of day as a program's work sees it. Whatever is dated "now" (a
// log line, the summary, a floppy's files when no fixed date is set) asks a
// Clock it was handed, never the system itself, so a test fixes the time. A
// reproducible build dates by SOURCE_DATE_EPOCH and asks no clock at all.
#include <ctime>

namespace kiv {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since 1970 (UTC).
  virtual std::time_t Now() const = 0;
};

// `t` broken down in the local time zone.
std::tm LocalTime(std::time_t t);

}  // namespace kiv

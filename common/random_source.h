#pragma once
// Chance as a program's work sees it: password salts and unguessable folder
// names take their bytes from a RandomSource they were handed, never from a
// generator of their own, so a test gets the same bytes on every run. A
// reproducible build derives its salts from SOURCE_DATE_EPOCH instead.
#include <cstddef>
#include <cstdint>

namespace kiv {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // Fills bytes[0, size) with bytes nobody can foresee (the system's own
  // source of randomness, in the programs).
  virtual void FillRandom(uint8_t* bytes, size_t size) const = 0;
};

}  // namespace kiv

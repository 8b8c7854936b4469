#pragma once
// Random bytes for tests: a generator with a fixed seed, so a test gets the
// same bytes on every run; sources of different seeds give different bytes.
#include <cstddef>
#include <cstdint>
#include <random>

#include "common/random_source.h"

namespace kiv::testing {

class SeededRandom : public RandomSource {
 public:
  explicit SeededRandom(uint32_t seed = 1) : generator_(seed) {}
  void FillRandom(uint8_t* bytes, size_t size) const override {
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(generator_());
  }

 private:
  mutable std::mt19937 generator_;
};

}  // namespace kiv::testing

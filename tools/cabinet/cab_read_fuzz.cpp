// libFuzzer target for the cabinet reading path: opening, name checks,
// pattern matching and decoding of every file (output thrown away).
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/cabinet/cab_reader.h"
#include "tools/cabinet/extract_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kiv::cab::CabReader reader;
  std::string error;
  if (!reader.OpenMemory(data, size, error)) return 0;
  std::string unsafe;
  reader.FindUnsafeName(unsafe);
  const auto& files = reader.Files();
  for (size_t i = 0; i < files.size() && i < 64; ++i) {
    kiv::cab::StoredNameMatches("*.t?t", files[i].name);
    kiv::cab::StoredNameMatches("sub\\*.*", files[i].name);
    reader.Test(i, error);
  }
  return 0;
}

#pragma once
// Writes the finished image under a temporary name in the target folder and
// renames it into place, so a failed or interrupted run never leaves a
// half-written image behind.
#include <cstdint>
#include <string>
#include <vector>

namespace kiv::bfi {

// False with a message naming the file when it could not be written; the
// temporary file is gone then. SIGINT/SIGTERM/SIGHUP during the write remove
// the temporary file too.
bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes,
                     std::string& error);

}  // namespace kiv::bfi

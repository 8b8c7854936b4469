#pragma once
// The boot password as GRUB's password_pbkdf2 command takes it, for the CD's
// UEFI menu: PBKDF2-HMAC-SHA512 of the password with a salt, written as
//   grub.pbkdf2.sha512.<iterations>.<salt hex>.<hash hex>
// (the form grub-mkpasswd-pbkdf2 prints). The clear password never goes on
// the CD.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/random_source.h"

namespace kiv {

// GRUB's own defaults: 10000 rounds, 64 bytes of salt, 64 bytes of hash.
inline constexpr int kGrubPbkdf2Iterations = 10000;
inline constexpr size_t kGrubSaltBytes = 64;

// PBKDF2-HMAC-SHA512 of `password` with `salt`, `bytes` long.
std::vector<uint8_t> Pbkdf2Sha512(const std::string& password, const std::vector<uint8_t>& salt, int iterations,
                                  size_t bytes);

// A salt for one build: bytes of `random`, or, for a reproducible build (the
// fixed date `epoch`), derived from it, so that two builds of the same inputs
// give the same CD.
std::vector<uint8_t> NewGrubSalt(std::optional<int64_t> epoch, const RandomSource& random);

// The password_pbkdf2 text of `password` with `salt`.
std::string GrubPasswordHash(const std::string& password, const std::vector<uint8_t>& salt,
                             int iterations = kGrubPbkdf2Iterations);

}  // namespace kiv

#include "cdtool/bootmenu/grub_password.h"

#include <openssl/evp.h>

#include <cctype>
#include <cstdlib>

#include "cdtool/bootmenu/password_hash.h"

namespace kiv {

namespace {

// GRUB writes its hashes in upper-case hex.
std::string UpperHex(const std::vector<uint8_t>& bytes) {
  std::string out = HexDigits(bytes.data(), bytes.size());
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::vector<uint8_t> Pbkdf2Sha512(const std::string& password, const std::vector<uint8_t>& salt, int iterations,
                                  size_t bytes) {
  std::vector<uint8_t> out(bytes);
  PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(), static_cast<int>(salt.size()),
                    iterations, EVP_sha512(), static_cast<int>(out.size()), out.data());
  return out;
}

std::vector<uint8_t> NewGrubSalt(std::optional<int64_t> epoch, const RandomSource& random) {
  std::vector<uint8_t> salt(kGrubSaltBytes);
  if (epoch) {
    // One round is enough: the salt only has to be the same for the same
    // epoch, and different from the salts of other epochs.
    return Pbkdf2Sha512("kivcd uefi menu salt " + std::to_string(*epoch), {}, 1, kGrubSaltBytes);
  }
  random.FillRandom(salt.data(), salt.size());
  return salt;
}

std::string GrubPasswordHash(const std::string& password, const std::vector<uint8_t>& salt, int iterations) {
  return "grub.pbkdf2.sha512." + std::to_string(iterations) + "." + UpperHex(salt) + "." +
         UpperHex(Pbkdf2Sha512(password, salt, iterations, 64));
}

}  // namespace kiv

#include "common/environment.h"

#include <cstdlib>
#include <cstring>

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX declares it in no header

namespace kiv {

Environment Environment::OfThisProcess() {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; entry && *entry; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (!equals) continue;
    // The first definition of a name is the one getenv() gives.
    variables.emplace(std::string(*entry, static_cast<size_t>(equals - *entry)), std::string(equals + 1));
  }
  return Environment(std::move(variables));
}

void Environment::DropIfEmptyInThisProcess(const char* name) {
  const char* value = std::getenv(name);
  if (value && !*value) unsetenv(name);
}

}  // namespace kiv

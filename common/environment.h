#pragma once
// The variables a program was started with, as a value. Each program reads
// its own environment once, in main, and hands this value to whatever needs
// a variable (the search path for tools, the fixed date of a reproducible
// build, the password of a scripted build); tests build one from a list and
// never change the process's environment, which other threads may be reading.
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace kiv {

class Environment {
 public:
  Environment() = default;
  explicit Environment(std::map<std::string, std::string> variables) : variables_(std::move(variables)) {}

  // This process's environment as it is now.
  static Environment OfThisProcess();

  // Removes `name` from this process's environment when it is set but empty,
  // so the programs it starts see it unset too. For main(), before any thread
  // or child exists.
  static void DropIfEmptyInThisProcess(const char* name);

  // The value; nothing when the variable is not set (set but empty is "").
  std::optional<std::string> Find(const std::string& name) const {
    const auto it = variables_.find(name);
    if (it == variables_.end()) return std::nullopt;
    return it->second;
  }
  // The value, "" when unset or empty.
  std::string Get(const std::string& name) const { return Find(name).value_or(""); }
  bool IsSet(const std::string& name) const { return !Get(name).empty(); }

  Environment& Set(const std::string& name, std::string value) {
    variables_[name] = std::move(value);
    return *this;
  }
  Environment& Unset(const std::string& name) {
    variables_.erase(name);
    return *this;
  }

 private:
  std::map<std::string, std::string> variables_;
};

}  // namespace kiv

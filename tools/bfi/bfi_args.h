#pragma once
// Command line of bfi:
//   bfi -b=<boot sector file> -l=<label> -t=144|288 -f=<image> <tree>
// Values may arrive wrapped in double quotes (-f="x y.img"); they are removed.
#include <string>
#include <vector>

namespace kiv::bfi {

struct Arguments {
  bool help = false;
  std::string bootSector;  // -b
  std::string label;       // -l
  std::string type;        // -t: "144" or "288"
  std::string image;       // -f
  std::string tree;        // the folder the image is made from
};

// Fills `args` from argv[1..]; false with a message naming the argument at
// fault. "--help", "-h", "-?" and "/?" ask for the usage text.
bool ParseArguments(const std::vector<std::string>& argv, Arguments& args, std::string& error);

// Removes one pair of enclosing double quotes.
std::string StripQuotes(const std::string& text);

// Finds an existing path for a name given in DOS style: the name as given when
// it exists; otherwise '\' taken as the separator and each missing component
// matched case-insensitively. Unchanged (with '/' separators) when not found.
std::string ResolveDosPath(const std::string& path);

std::string UsageText();

}  // namespace kiv::bfi

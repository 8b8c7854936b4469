// dfl <folder> link
// Replaces duplicate files below <folder> by hard links to one copy. Prints
// the phase lines the CD builder shows as its progress caption, then a summary.
// Exit status: 0 done, 1 some file could not be read or linked, 2 bad usage.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/dfl/duplicate_linker.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::string(argv[2]) != "link") {
    std::fprintf(stderr,
                 "usage: dfl <folder> link\n"
                 "  hard-links files of equal content below <folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  std::error_code ec;
  if (!std::filesystem::is_directory(root, ec)) {
    std::fprintf(stderr, "dfl: folder not found: %s\n", root.c_str());
    return 1;
  }
  const kiv::dfl::LinkReport report = kiv::dfl::LinkDuplicates(root, [](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  });
  for (const auto& e : report.errors) std::fprintf(stderr, "dfl: %s\n", e.c_str());
  std::printf("%llu files scanned, %llu duplicate files linked, %llu bytes saved\n",
              static_cast<unsigned long long>(report.filesScanned), static_cast<unsigned long long>(report.filesLinked),
              static_cast<unsigned long long>(report.bytesSaved));
  return report.errors.empty() ? 0 : 1;
}

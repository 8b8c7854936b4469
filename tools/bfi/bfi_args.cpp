#include "tools/bfi/bfi_args.h"

#include <dirent.h>
#include <strings.h>

#include <filesystem>
#include <system_error>

namespace kiv::bfi {

std::string StripQuotes(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

bool ParseArguments(const std::vector<std::string>& argv, Arguments& args, std::string& error) {
  args = Arguments();
  bool typeSeen = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (a == "--help" || a == "-h" || a == "-?" || a == "/?") {
      args.help = true;
      return true;
    }
    if (a.size() >= 3 && (a[0] == '-' || a[0] == '/') && a[2] == '=') {
      std::string value = a.substr(3);
      // A quoted value that a caller split at its blanks: join it again.
      if (!value.empty() && value.front() == '"' && (value.size() == 1 || value.back() != '"')) {
        while (i + 1 < argv.size() && (value.size() == 1 || value.back() != '"')) value += " " + argv[++i];
      }
      value = StripQuotes(value);
      switch (a[1]) {
        case 'b':
        case 'B':
          args.bootSector = value;
          break;
        case 'l':
        case 'L':
          args.label = value;
          break;
        case 't':
        case 'T':
          args.type = value;
          typeSeen = true;
          break;
        case 'f':
        case 'F':
          args.image = value;
          break;
        default:
          error = "unknown option " + a;
          return false;
      }
      continue;
    }
    if (!a.empty() && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    }
    if (!args.tree.empty()) {
      error = "more than one tree given (" + args.tree + ", " + a + ")";
      return false;
    }
    args.tree = StripQuotes(a);
  }
  if (!typeSeen) {
    error = "no floppy size given (-t=144 or -t=288)";
    return false;
  }
  if (args.type != "144" && args.type != "288") {
    error = "-t=" + args.type + ": the floppy size must be 144 or 288";
    return false;
  }
  if (args.image.empty()) {
    error = "no image file given (-f=<image>)";
    return false;
  }
  if (args.tree.empty()) {
    error = "no tree given (the folder the image is made from)";
    return false;
  }
  return true;
}

namespace {

// True when the path leads to an entry, links followed.
bool Exists(const std::string& path) {
  std::error_code ec;
  static_cast<void>(std::filesystem::status(path, ec));
  return !ec;
}

}  // namespace

std::string ResolveDosPath(const std::string& path) {
  if (path.empty() || Exists(path)) return path;
  std::string native = path;
  for (char& c : native)
    if (c == '\\') c = '/';
  if (Exists(native)) return native;

  std::string done = native[0] == '/' ? "/" : "";
  size_t pos = native[0] == '/' ? 1 : 0;
  while (pos <= native.size()) {
    size_t slash = native.find('/', pos);
    if (slash == std::string::npos) slash = native.size();
    std::string part = native.substr(pos, slash - pos);
    pos = slash + 1;
    if (part.empty()) continue;
    std::string candidate = done + part;
    if (!Exists(candidate)) {
      DIR* d = opendir(done.empty() ? "." : done.c_str());
      if (d == nullptr) return native;
      std::string found;
      while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, part.c_str()) == 0) {
          found = e->d_name;
          break;
        }
      }
      closedir(d);
      if (found.empty()) return native;
      candidate = done + found;
    }
    done = candidate + "/";
  }
  if (done.size() > 1) done.pop_back();
  return done;
}

std::string UsageText() {
  return "Usage: bfi -b=<boot sector file> -l=<label> -t=144|288 -f=<image> <tree>\n"
         "Writes a FAT12 floppy image of the folder <tree>.\n"
         "  -b=<file>   boot sector (512 bytes ending in 55 AA) whose boot code is used;\n"
         "              without it the floppy gets a non-system boot sector\n"
         "  -l=<label>  volume label, up to 11 characters (stored upper-case)\n"
         "  -t=144      1.44 MB floppy (1,474,560 bytes)\n"
         "  -t=288      2.88 MB floppy (2,949,120 bytes)\n"
         "  -f=<image>  image file to write (replaced when it exists)\n"
         "IO.SYS and MSDOS.SYS, found in the tree's top folder in any letter case,\n"
         "become the first two root entries, IO.SYS contiguous from cluster 2.\n"
         "With SOURCE_DATE_EPOCH set, time stamps and the volume serial come from it,\n"
         "so equal trees give byte-identical images.\n";
}

}  // namespace kiv::bfi

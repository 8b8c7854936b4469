// bootsmith's command-line grammar.
#include "disktool/batch/command_line.h"

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"

namespace kiv {

namespace {

struct Token {
  std::string text;
  size_t start;  // offset in the raw command line
};

// Splits at every single blank: two blanks in a row give an empty token.
std::vector<Token> SplitAtBlanks(const std::string& raw) {
  std::vector<Token> tokens;
  size_t start = 0;
  for (;;) {
    const size_t blank = raw.find(' ', start);
    if (blank == std::string::npos) {
      tokens.push_back({raw.substr(start), start});
      return tokens;
    }
    tokens.push_back({raw.substr(start, blank - start), start});
    start = blank + 1;
  }
}

bool StartsLikeSwitch(const std::string& token) { return !token.empty() && (token[0] == '-' || token[0] == '/'); }

// A plugin is a folder directly inside plugins: a value that names a path
// (separators, "..") could reach any folder, and its preparation program
// would be run.
bool PluginFolderExists(const std::string& programFolder, const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\:") != std::string::npos) return false;
  return FolderExists(ResolvePath(JoinPath(JoinPath(programFolder, "plugins"), name)));
}

bool Is(const std::string& lower, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (lower == name) return true;
  }
  return false;
}

}  // namespace

std::string UsageText() {
  static const char* const kLines[] = {
      "Usage: bootsmith [-t type] [-plugin name] [-sel] [-keyfile] name [target]",
      "",
      "name : is the name of the disk or image to build, see files\\disklist.ini for details.",
      ("target : target drive or file, if it is not a full path it will be saved relevant to bootsmith current "
       "folder."),
      "-t type : Specify image type (144 or 288).",
      "-plugin name : Add a plugin to the created image (see the PlugIns folder).",
      "-sel : Show the Select Drivers window before creating the floppy image.",
      "-keyfile : Load the Windows 9x product key from the keyfile.txt file instead of the Windows Registry.",
  };
  std::string text;
  for (const char* line : kLines) text += std::string(line) + "\r\n";
  return text;
}

std::optional<std::string> InfoSwitchText(const std::vector<std::string>& args, const std::string& version) {
  if (args.size() != 1) return std::nullopt;
  const std::string& a = args[0];
  if (a == "--version") return "bootsmith " + version + " (Kiv rescue CD toolkit)\n";
  if (a != "--help" && a != "-h" && a != "-?") return std::nullopt;
  return "Usage: bootsmith [-t type] [-plugin name] [-sel] [-keyfile] name [target]\n"
         "       bootsmith --try [--headless] image\n"
         "                                 boot a floppy image in QEMU's window; with --headless, or\n"
         "                                 without a display, on this terminal (Ctrl-A X ends it)\n"
         "       bootsmith                 the wizard; it needs a display (without one, name the disk)\n"
         "\n"
         "name : the disk to build, one of the names in files/disklist.ini of the program folder.\n"
         "target : the image file to write; a relative path is taken from the program folder.\n"
         "-t type : the image type, 144 (1.44 MB) or 288 (2.88 MB).\n"
         "-plugin name : add a plugin of the plugins/ folder to the image.\n"
         "-sel : choose the network drivers before the image is made.\n"
         "-keyfile : take the Windows 9x product key from keyfile.txt.\n"
         "--over-window=x,y,width,height : given first, the Please Wait window opens centred over\n"
         "    that frame (the CD builder passes its own window's).\n"
         "\n"
         "Without a display (or with KIVCD_UI=console) messages go to standard error and a\n"
         "question is asked at the terminal; when the input is no terminal (a pipe, a\n"
         "script) each question takes its answer without asking, Cancel where no answer is\n"
         "safe, and says so (\"(no terminal)\").\n";
}

std::optional<ScreenRect> TakeOverWindow(std::vector<std::string>& args) {
  const std::string prefix = kOverWindowSwitch;
  if (args.empty() || args[0].rfind(prefix, 0) != 0) return std::nullopt;
  const std::optional<ScreenRect> frame = ParseScreenRect(args[0].substr(prefix.size()));
  if (frame) args.erase(args.begin());
  return frame;
}

std::string RawCommandLine(const std::vector<std::string>& args) {
  std::string raw;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) raw += ' ';
    raw += args[i];
  }
  return raw;
}

BatchOptions ParseCommandLine(const std::string& raw, const std::string& programFolder, Prompter& prompter) {
  BatchOptions o;
  auto say = [&](const std::string& text, const std::string& title = kCommandLineTitle) {
    prompter.Inform(text, title, Icon::None);
  };
  const std::vector<Token> tokens = SplitAtBlanks(raw);
  const size_t last = tokens.size() - 1;
  size_t diskToken = 0;

  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string& token = tokens[i].text;
    const std::string lower = ToLower(token);

    if (Is(lower, {"-o", "/o", "-os", "/os"})) {
      // A switch without its value fails the run like any other: a disk
      // built while the screen says "Invalid OS" would pass for a good one.
      if (i == last) say("OS not specified");
      else ++i;
      if (StartsLikeSwitch(tokens[i].text)) {
        say("Invalid OS", "bootsmith");
        o.HadError = true;
      } else {
        o.OS = tokens[i].text;
      }
    } else if (Is(lower, {"-k", "/k", "-keyfile", "/keyfile"})) {
      o.UseKeyFile = true;
    } else if (Is(lower, {"-d", "/d"})) {
      o.DFlag = true;
    } else if (Is(lower, {"-p", "/p", "-plugin", "/plugin"})) {
      if (i == last || StartsLikeSwitch(tokens[i + 1].text)) {
        say("Plugin not specified");
        o.HadError = true;
      } else if (!PluginFolderExists(programFolder, tokens[i + 1].text)) {
        say("The Plugin specified was not found in the PlugIns folder.", "Invalid Plugin Name");
        o.HadError = true;
      } else {
        o.Plugin = tokens[i + 1].text;
      }
      if (i != last) ++i;
    } else if (Is(lower, {"-sel", "/sel"})) {
      o.SelectDrivers = true;
    } else if (Is(lower, {"-i", "/i"})) {
      o.IFlag = true;
    } else if (Is(lower, {"-t", "/t"})) {
      if (i == last) {
        say("Image type not specified");
        o.HadError = true;
      } else {
        ++i;
      }
      const std::string& value = tokens[i].text;
      if (StartsLikeSwitch(value)) {
        say("Invalid Image type");
        o.HadError = true;
      } else if (value == "144") {
        o.ImageType = 1;
      } else if (value == "288") {
        o.ImageType = 2;
      } else {
        say("Invalid Image type: " + value);
        o.HadError = true;
      }
    } else if (StartsLikeSwitch(token) && !(token[0] == '/' && !o.DiskName.empty())) {
      // After the disk name, a "/" that is not one of the switches above
      // begins a full path ("/tmp/x.img"): the target, not an argument.
      say("Invalid Argument : " + token + "\r\n\r\n" + UsageText());
      o.HadError = true;
    } else if (o.DiskName.empty()) {
      o.DiskName = token;
      diskToken = i;
    } else {
      // The rest of the line after the disk name and the blank behind it. The
      // disk name's own token marks the place (a search for its text could
      // find it earlier, inside a switch value).
      const size_t from = tokens[diskToken].start + tokens[diskToken].text.size() + 1;
      o.Target = from < raw.size() ? Trim(raw.substr(from)) : std::string();
      break;
    }
  }
  return o;
}

}  // namespace kiv

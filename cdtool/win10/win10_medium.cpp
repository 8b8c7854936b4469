#include "cdtool/win10/win10_medium.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/process_runner.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

// The install image under the names Microsoft's media use, in the order
// they are looked for.
const char* const kInstallImages[] = {"sources/install.wim", "sources/install.esd", "sources/install.swm"};

void AddFile(Win10Medium& m, const std::string& path, int64_t size) {
  m.files[ToLower(path)] = Win10MediumFile{path, size};
}

void ListFolderMedium(Win10Medium& m) {
  std::error_code ec;
  const fs::path root(m.source);
  for (fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string relative = it->path().lexically_relative(root).generic_string();
    AddFile(m, relative, static_cast<int64_t>(it->file_size(ec)));
  }
  if (ec) m.problem = "the folder \"" + m.source + "\" cannot be read (" + ec.message() + ")";
}

// `7z l -slt`: after the archive's own block, one block of "Key = value"
// lines a file or folder.
void ListIsoMedium(ProcessLauncher& tools, Win10Medium& m) {
  const RunResult r = tools.RunAndCapture({"7z", "l", "-slt", "-bsp0", m.source}, RunOptions{"", 120000, {}});
  if (!r.started) {
    m.problem = "7z cannot be started (" + r.error + "; package 7zip) to read the ISO image \"" + m.source + "\"";
    return;
  }
  std::istringstream lines(r.output);
  std::string line, path, type;
  bool folder = false, inFiles = false;
  int64_t size = 0;
  auto flush = [&] {
    if (inFiles && !path.empty() && !folder) AddFile(m, path, size);
    path.clear();
    folder = false;
    size = 0;
  };
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "----------") {
      inFiles = true;
      continue;
    }
    if (line.rfind("Type = ", 0) == 0 && !inFiles) type = line.substr(7);
    if (line.rfind("Path = ", 0) == 0) {
      flush();
      path = line.substr(7);
      std::replace(path.begin(), path.end(), '\\', '/');
    } else if (line.rfind("Folder = ", 0) == 0) {
      folder = line.substr(9) == "+";
    } else if (line.rfind("Size = ", 0) == 0) {
      size = std::atoll(line.c_str() + 7);
    }
  }
  flush();
  if (r.exitCode != 0 || (type != "Udf" && type != "Iso")) {
    std::string last = RunOutputForMessage(r);
    if (const size_t cut = last.find_last_of('\n'); cut != std::string::npos) last = last.substr(cut + 1);
    m.files.clear();
    m.problem =
        "\"" + m.source + "\" cannot be read as an ISO image" + (last.empty() ? "" : " (7z: " + Trim(last) + ")");
  }
}

// The install image's XML document: from `wiminfo --xml` for a file on the
// disk; from an ISO, its bytes streamed through 7z and only the header and
// the document kept.
std::string InstallImageXml(ProcessLauncher& tools, const Win10Medium& m, std::string* problem) {
  if (!m.isIso) {
    const std::string file = JoinPath(m.source, m.installImage);
    const RunResult r = tools.RunAndCapture({"wiminfo", "--xml", file}, RunOptions{"", 120000, {}});
    if (!r.started) *problem = "wiminfo cannot be started (" + r.error + "; package wimtools)";
    else if (r.exitCode != 0) *problem = "wiminfo cannot read \"" + file + "\": " + RunOutputForMessage(r);
    return r.output;
  }
  std::unique_ptr<ChildProcess> child = tools.NewChild();
  WimXmlCollector collector;
  bool ended = false, enough = false;
  child->DataReceived = [&](const std::string& piece) {
    if (!enough && !collector.Feed(piece)) enough = true;
  };
  child->ProcessEnded = [&ended] { ended = true; };
  if (!child->Start({"7z", "x", "-so", "-bso0", "-bsp0", "-bse0", m.source, m.installImage})) {
    *problem = "7z cannot be started (" + child->Error() + "; package 7zip)";
    return "";
  }
  bool killed = false;
  while (!ended) {
    child->Poll(std::chrono::milliseconds(20));
    // What follows the document is not needed: the rest is not read.
    if (enough && !killed && child->Running()) {
      child->Kill();
      killed = true;
    }
  }
  if (const auto xml = collector.Xml()) return *xml;
  *problem = collector.NotAWim() ? "its " + m.installImage + " is no Windows image file"
                                 : "7z could not read its " + m.installImage + " to the end";
  return "";
}

std::string Join(const std::vector<std::string>& items, const std::string& separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

// A key that changes when the install image does: the size and the
// modification time of the ISO image or of the install image's file.
std::string ImageStamp(const Win10Medium& m) {
  std::error_code ec;
  const fs::path file = m.isIso ? fs::path(m.source) : fs::path(JoinPath(m.source, m.installImage));
  const auto size = fs::file_size(file, ec);
  if (ec) return "";
  const auto time = fs::last_write_time(file, ec);
  if (ec) return "";
  return file.string() + "|" + m.installImage + "|" + std::to_string(size) + "|" +
         std::to_string(time.time_since_epoch().count());
}

// The editions of install images read before, for the run of the program:
// reading an ISO's install image takes a while.
std::map<std::string, std::vector<WimImage>>& RememberedEditions() {
  static std::map<std::string, std::vector<WimImage>> editions;
  return editions;
}

Win10Medium ReadMedium(ProcessLauncher& tools, const std::string& source) {
  Win10Medium m;
  m.source = ResolvePath(TrimRight(source));
  std::error_code ec;
  if (fs::is_directory(m.source, ec)) {
    // A folder without a sources folder is no medium: it is not walked (a
    // path typed into the wizard may be "/" on its way).
    if (FolderExists(ResolvePath(JoinPath(m.source, "sources")))) ListFolderMedium(m);
  } else if (fs::is_regular_file(m.source, ec)) {
    m.isIso = true;
    ListIsoMedium(tools, m);
  } else {
    m.problem = "\"" + m.source + "\" is neither a folder nor an ISO image file";
  }
  if (!m.problem.empty()) return m;

  for (const char* name : kInstallImages)
    if (const std::string spelled = m.Spelled(name); !spelled.empty()) {
      m.installImage = spelled;
      break;
    }
  if (m.Spelled(kWin10BootImage).empty()) m.missing.push_back(kWin10BootImage);
  if (m.installImage.empty()) m.missing.push_back("sources/install.wim (or install.esd)");
  for (const char* boot : {kWin10BootManager, kWin10BiosBoot, kWin10BiosBcd, kWin10UefiBoot, kWin10UefiBcd})
    if (m.Spelled(boot).empty()) m.missing.push_back(boot);
  if (m.installImage.empty()) return m;

  const std::string stamp = ImageStamp(m);
  if (const auto it = RememberedEditions().find(stamp); !stamp.empty() && it != RememberedEditions().end()) {
    m.editions = it->second;
    return m;
  }
  std::string problem;
  const std::string xml = InstallImageXml(tools, m, &problem);
  if (!problem.empty()) {
    m.problem = problem;
    return m;
  }
  const auto images = ParseWimXml(xml);
  if (!images) {
    m.problem = "its " + m.installImage + " holds no image list Windows Setup could read";
  } else if (images->empty()) {
    m.problem = "its " + m.installImage + " holds no edition of Windows";
  } else if (const int major = images->front().major; major != 10) {
    m.problem = "its " + m.installImage + " holds Windows " + std::to_string(major) + "." +
                std::to_string(images->front().minor) + " (build " + std::to_string(images->front().build) +
                "), not Windows 10 or 11";
  } else {
    m.editions = *images;
    if (!stamp.empty()) RememberedEditions()[stamp] = m.editions;
  }
  return m;
}

}  // namespace

std::string Win10Medium::Spelled(const std::string& path) const {
  const auto it = files.find(ToLower(path));
  return it == files.end() ? std::string() : it->second.path;
}

std::string Win10Medium::Architecture() const {
  for (const WimImage& e : editions)
    if (!e.architecture.empty()) return e.architecture;
  return "amd64";
}

bool Win10Medium::HasEdition(const std::string& name) const {
  return std::any_of(editions.begin(), editions.end(),
                     [&](const WimImage& e) { return EqualsNoCase(Trim(e.name), Trim(name)); });
}

Win10Medium ReadWin10Medium(ProcessLauncher& tools, const std::string& source) { return ReadMedium(tools, source); }

std::string Win10MediumCaption(const Win10Medium& m) {
  if (!m.Usable()) {
    const std::string why = !m.problem.empty() ? m.problem : "missing: " + Join(m.missing, ", ");
    return "Unknown Windows Version (" + why + ")";
  }
  // "Windows 11 Pro, Home": the first name whole, the others without the
  // words they share with it.
  const std::string& first = m.editions.front().name;
  std::string shared;
  if (const size_t space = first.rfind(' '); space != std::string::npos) shared = first.substr(0, space + 1);
  std::vector<std::string> names;
  std::vector<std::string> builds;
  for (const WimImage& e : m.editions) {
    std::string name = e.name.empty() ? "image " + std::to_string(e.index) : e.name;
    if (!names.empty() && !shared.empty() && name.rfind(shared, 0) == 0 && name.size() > shared.size())
      name = name.substr(shared.size());
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    const std::string build = std::to_string(e.build);
    if (std::find(builds.begin(), builds.end(), build) == builds.end()) builds.push_back(build);
  }
  return Join(names, ", ") + " (build" + (builds.size() > 1 ? "s " : " ") + Join(builds, ", ") + ")";
}

std::string Win10MediumProblem(const Win10Medium& m) {
  if (m.Usable()) return "";
  if (!m.problem.empty()) return m.problem;
  return "it lacks " + Join(m.missing, ", ");
}

}  // namespace kiv

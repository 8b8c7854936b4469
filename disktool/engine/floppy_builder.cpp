// The engine's construction and the small helpers every step shares.
#include "disktool/engine/floppy_builder.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "common/environment.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "common/source_date_epoch.h"
#include "disktool/output/floppy_drive.h"

namespace kiv {

FloppyBuilder::FloppyBuilder(std::string programFolder, Prompter& prompter, ProgressSink& progress,
                             const BuildContext& context)
    : environment(context.environment),
      Drivers(programFolder, context.launcher),
      Catalogue(programFolder),
      programFolder_(std::move(programFolder)),
      prompter_(prompter),
      progress_(progress),
      launcher_(context.launcher),
      cabarc_(programFolder_, context.launcher),
      platform_(&context.platform) {
  Drivers.Pump = [this] { progress_.PumpEvents(); };
}

FloppyBuilder::~FloppyBuilder() = default;

void FloppyBuilder::SetFloppyDrive(std::unique_ptr<FloppyDrive> drive) { floppy_ = std::move(drive); }

FloppyDrive& FloppyBuilder::Floppy() {
  if (!floppy_)
    floppy_ = MakeFat12FloppyDrive(DefaultFloppyDevice(environment), SourceDateEpoch(environment, nullptr), *platform_);
  return *floppy_;
}

std::string FloppyBuilder::Resolve(const std::string& relative) const {
  return ResolvePathPrefix(JoinPath(programFolder_, NativePath(relative)));
}

std::string FloppyBuilder::ToolPath(const std::string& tool) const {
#ifdef _WIN32
  return JoinPath(programFolder_, tool + ".exe");
#else
  return JoinPath(programFolder_, tool);
#endif
}

void FloppyBuilder::Notify() {
  if (Changed) Changed();
  progress_.PumpEvents();
}

void FloppyBuilder::SetStatus(const std::string& text) {
  LblStatus = text;
  Notify();
}

void FloppyBuilder::RemoveWorkFiles() {
  const std::string ini = Resolve("Drivers.ini");
  if (FileExists(ini)) std::remove(ini.c_str());
  const std::string cabs = Resolve("cabs");
  if (FolderExists(cabs)) DeleteTree(cabs);
  const std::string temp = Resolve("Temp");
  if (FolderExists(temp)) DeleteTree(temp);
}

std::string FloppyBuilder::SelectedDiskName() const {
  if (SelectedDisk < 1 || SelectedDisk > static_cast<int>(LV_Disk.size())) return "";
  return LV_Disk[SelectedDisk - 1].Name;
}

long LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value > 100000000L) break;  // far beyond any count or flag
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

bool StaysInside(const std::string& relative) {
  const std::string path = Trim(relative);
  if (path.empty()) return true;
  if (path[0] == '\\' || path[0] == '/') return false;
  if (IsAbsolutePath(path)) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    if (Trim(path.substr(start, end - start)) == "..") return false;
    start = end + 1;
  }
  return true;
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return true;
}

}  // namespace kiv

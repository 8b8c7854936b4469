#include "cdtool/build/program_folder_files.h"

#include "cdtool/build/add_disks.h"
#include "cdtool/build/build_log.h"
#include "cdtool/build/build_run.h"
#include "cdtool/build/content_order.h"
#include "cdtool/build/iso_step.h"
#include "common/setup_answer.h"

namespace kiv {

std::vector<std::string> BuildWrittenFiles() {
  std::vector<std::string> names = {kMakeCdScript,      kMkisofsLog,   kSortWeightList, kGraftPathList,
                                    kGraftDateCommands, kBuildLogName, kCdBuildLock,    kKeyFile,
                                    kKeyFile2,          "Drivers.ini", "bootsmith.lock"};
  for (const BootImageRow& row : BootImageTable()) names.push_back(row.leftImage);
  return names;
}

}  // namespace kiv

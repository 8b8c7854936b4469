#pragma once
// Packing one staged folder below files\ into one cabinet below cabs\ with the
// outside archiver (cabinet_tool.h), and checking that the cabinet appeared:
// what the disk definitions' [Create_CABs] and the setup modules do.
#include <string>

#include "disktool/drivers/cabinet_tool.h"

namespace kiv {

class FloppyWorkspace;

class CabinetMaker {
 public:
  explicit CabinetMaker(const FloppyWorkspace& workspace);

  // Packs <SourceFolder> into <CabFolder><Name>.cab (CabFolder gains its
  // trailing '\'). False when the cabinet is missing afterwards; the message
  // (with what the tool printed) is shown unless the build was stopped while
  // the tool ran.
  bool MakeCab(std::string& Name, std::string& SourceFolder, std::string& CabFolder);
  const CabinetTool& Tool() const { return cabarc_; }

 private:
  const FloppyWorkspace& workspace_;
  CabinetTool cabarc_;
};

}  // namespace kiv

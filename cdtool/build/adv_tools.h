#pragma once
// Step 4 of the build run: the recovery tools ERD Commander and O&O BlueCon
// (each tool CD's I386 folder renamed ERDC / OOBC on the CD, its loader,
// setup information file and boot sector patched to look there), then the
// user's utilities folder (kivcd/kiv) and additional files (the CD root).
#include <string>

namespace kiv {

class BuildRun;

// Moves everything inside `fromFolder` into `toFolder`, merging folders that
// exist on both sides and replacing files of the same name (the shell move
// with every confirmation answered yes). False with `error` on a failure.
bool MoveFolderContents(const std::string& fromFolder, const std::string& toFolder, std::string* error = nullptr);

void AddAdvTools(BuildRun& run, bool GetErdC, bool GetBCon, const std::string& ErdCLoc, const std::string& BConLoc);

void AddKiv_Files(BuildRun& run, bool AddUtils, bool AddAddFiles, const std::string& Utils_Loc,
                  const std::string& AddFiles_Loc);

}  // namespace kiv

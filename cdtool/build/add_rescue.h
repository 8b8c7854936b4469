#pragma once
// Step 4 of the build run: the Linux rescue system (Debian) on the CD. It is
// built in the program folder the first time (or when its package list
// changed), with its progress on the step's bar and Cancel live, and reused
// after; its kernel, initramfs and squashfs are then linked into the CD's
// /live folder, so a build that reuses it copies nothing.
#include <string>

namespace kiv {

class BuildRun;

// `mirror`: where the packages come from ("" for this machine's apt sources,
// a mirror's URL, or a local mirror's folder).
void AddRescueSystem(BuildRun& run, const std::string& mirror);

}  // namespace kiv

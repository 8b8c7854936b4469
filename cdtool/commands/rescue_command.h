#pragma once
// discsmith --rescue-system: builds the Linux rescue system (Debian) in the
// program folder ahead of a CD build, or says that the one kept there is
// built from the current package list. Its progress goes to the console;
// Ctrl-C cancels it and removes what was half built.
namespace kiv {

class Environment;

int RunRescueSystemCommandLine(int argc, char** argv, const Environment& environment);

}  // namespace kiv

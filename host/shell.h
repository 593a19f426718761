#pragma once
// The shell's launcher: opening a file with the program that handles it, or
// starting a program, with Windows' answers (above 32 on success, an error
// code of 32 or less otherwise).
#include <cstdint>
#include <string>
#include <vector>

#include "host/host_types.h"

// An address ("https://...") opens in the default browser through the
// desktop's opener. A file or directory that does not exist gives 2 (file)
// or 3 (its folder is missing too); an executable file is started with the
// parameters in the directory; any other existing file or folder is opened
// with the desktop's opener: by default the system's own handler (xdg-open
// found on PATH, or Windows' file associations). Without one, addresses and
// documents give 31 (no association).
constexpr int SW_SHOWNORMAL = 1;

HINSTANCE ShellExecuteW(HWND owner, const MCHAR* operation, const MCHAR* file, const MCHAR* parameters,
                        const MCHAR* directory, int showCmd);

namespace host {

// A program the launcher opens documents and addresses with, in place of
// the system's own handler; an empty name means none is installed.
void setDesktopOpener(std::string opener);
// Back to the system's own handler.
void useDefaultDesktopOpener();
// Waits for every program the launcher has started to end; returns how
// many there were.
int waitForLaunchedPrograms();
// With `recorded`, programs are not started but written down as they would
// have been ("program arguments (in directory)"), for runs that must start
// nothing, such as fuzzing the jobs; the record starts empty.
void setLaunchesRecorded(bool recorded);
std::vector<std::string> recordedLaunches();

}  // namespace host

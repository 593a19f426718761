#pragma once
// The system's part of the shell's launcher (host/shell.cpp decides what to
// start): starting programs without waiting for them, and opening documents
// and addresses with what the system has for them. Neutral types only: the
// Windows side includes the system's headers, whose names the stand-in's
// own headers also define. Answers are the shell's: 42 when started, an
// error code of 32 or less otherwise.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace host::launcher {

constexpr std::intptr_t kStarted = 42;
constexpr std::intptr_t kNoAssociation = 31;

// A file the system runs as a program (executable on POSIX; .exe, .com,
// .bat or .cmd on Windows).
bool isProgram(const std::filesystem::path& file);
// Starts `program` with `arguments` in `directory` (empty: the current one).
std::intptr_t start(const std::string& program, const std::vector<std::string>& arguments,
                    const std::string& directory);
// Opens a document, folder or address with the system's handler for it:
// xdg-open found on PATH on POSIX, the file associations on Windows.
std::intptr_t openWithSystem(const std::string& target, const std::string& directory);
// Waits for every program started so far; how many there were.
int waitForStarted();

}  // namespace host::launcher

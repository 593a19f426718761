#pragma once
// What the product needs from the operating system beyond the C++ library,
// behind plain functions: with the stand-in host, the one place a port to
// another system rewrites. Any layer may use it. One implementation per
// system (posix/, win32/), chosen by the build; text, numbers and parallel
// loops are the same code on every system.
//
// Paths and texts are UTF-8 inside the program on every system; on Windows
// they meet the system through its wide (UTF-16) calls.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Format checking for printf-style functions. MinGW's C++ runtime prints
// through its own C99 printf (%zu, %lld), which GCC checks as gnu_printf;
// plain "printf" there means Microsoft's.
#if defined(__MINGW32__)
#define CVIMP_PRINTF_FORMAT(string, first) __attribute__((format(gnu_printf, string, first)))
#else
#define CVIMP_PRINTF_FORMAT(string, first) __attribute__((format(printf, string, first)))
#endif

namespace cvimp::platform {

// An open C stream, closed when its holder goes.
struct FileCloser {
  void operator()(std::FILE* file) const;
};
using File = std::unique_ptr<std::FILE, FileCloser>;
// Null when the file cannot be opened (`mode` as fopen's; always give "b":
// Windows turns "\n" into "\r\n" in text mode).
File openFile(const std::string& path, const char* mode);
// Closes the stream now; false when what was written did not all reach the file.
bool closeFile(File& file);
// The size of an open file, from its end; the stream is left at its start.
// Nothing when it cannot be told (a pipe, an error).
std::optional<std::uint64_t> fileSize(std::FILE* file);

// Moves the file `from` to `to`, replacing a file there in one step: `to`
// names the old file or the new one at every moment. False, with nothing
// moved, when it cannot.
bool replaceFile(const std::string& from, const std::string& to);

// Text in the system's 8-bit code page, UTF-8 here, and UTF-16. A broken,
// overlong or surrogate sequence, or one beyond U+10FFFF, becomes one
// U+FFFD for what was read of it, and so does an unpaired surrogate, as
// the system's conversions do.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
std::string toValidUtf8(std::string_view bytes);
// A path from its UTF-8 name and back, on every system: a std::string made
// into a path directly is read in the code page on Windows.
std::filesystem::path pathFromUtf8(std::string_view name);
std::string utf8FromPath(const std::filesystem::path& path);
// The file name for a name given as bytes (an archive entry's, a scene's),
// the same on every system: UTF-8 stays as it is; other bytes (a legacy
// code page) become UTF-8 that every system can name a file with and that
// maps back to them exactly (each byte of a double-byte character, and
// every byte from 0x80, as U+F700 + the byte).
std::string fileNameFromBytes(std::string_view name);

// The UTF-8 text as a JSON string literal, quotes included; also a valid
// JavaScript literal (U+2028 and U+2029 escaped).
std::string jsonQuoted(std::string_view text);

// Numbers as strtod and strtoll read them in the "C" locale, whatever the
// process locale and C runtime are; safe on any thread.
double parseDoubleC(const char* text, char** end);
long long parseIntegerC(const char* text, char** end);

// An environment variable's value as UTF-8 (on Windows read from the wide
// environment, so that no character outside the code page is lost);
// nothing when it is not set.
std::optional<std::string> environmentVariable(const char* name);
// Sets an environment variable (UTF-8); null removes it.
void setEnvironmentVariable(const char* name, const char* value);

// The program's arguments, its own name first, as UTF-8: on Windows read
// from the wide command line, since `argv` holds them in the code page.
std::vector<std::string> programArguments(int argc, char** argv);
// The arguments as one Windows command line, each quoted where needed so
// that CommandLineToArgvW, and every C runtime, reads them back unchanged;
// the first, a program's path, only in plain quotes, as Windows reads it.
std::string windowsCommandLine(const std::vector<std::string>& arguments);
// Makes standard output and error take UTF-8 bytes as they are, "\n"
// included, on a Windows console too. Call first thing in main.
void useUtf8Console();
// Whether standard error is a terminal (a console), where progress is drawn.
bool standardErrorIsTerminal();

// Ctrl-C (and, on POSIX, a request to terminate) for a program that serves
// until it is stopped: from the waiter's making on, these no longer end the
// program, and wait() returns once one came. Make it before starting any
// thread.
class InterruptWait {
 public:
  InterruptWait();
  ~InterruptWait();
  InterruptWait(const InterruptWait&) = delete;
  InterruptWait& operator=(const InterruptWait&) = delete;
  void wait();
};

// The bytes an unprivileged user may still write on the file system that
// holds `path` (or, when it does not exist yet, its nearest existing
// ancestor); nothing when it cannot be told.
std::optional<std::uint64_t> availableBytes(const std::string& path);

// The user's folder for caches (UTF-8): $XDG_CACHE_HOME or ~/.cache on
// POSIX, the local application data folder on Windows; empty when there is
// none.
std::string userCacheDirectory();

// A new, empty directory under the system's temporary folder, its name
// starting with `prefix`; empty when none can be made.
std::string makeTemporaryDirectory(const std::string& prefix);

// The running program's file; empty when it cannot be told.
std::string executablePath();
// Runs `program` with `arguments` (its own name first) in this process's
// place: its exit status becomes this process's, and it shares the terminal
// (on POSIX it replaces this process; on Windows it is a child on the same
// console, ".exe" added to a name without one, while this one waits and
// leaves Ctrl-C to it). Returns only when it cannot be started, with the
// reason.
std::string runInPlaceOfThisProcess(const std::string& program, const std::vector<std::string>& arguments);

// What this process has used so far.
struct ProcessUsage {
  double userSeconds = 0;
  double systemSeconds = 0;  // mostly page faults, for loaders
  long pageFaults = 0;
  double cpuSeconds() const { return userSeconds + systemSeconds; }
};
ProcessUsage processUsage();
// Busy CPU time of the whole machine, every core, since it started.
double machineBusySeconds();
// Hands memory the allocator keeps free back to the system.
void releaseFreeMemory();

// Parallel work, on the process's worker threads: a loop over indices,
// every index once, the calling thread taking part and waiting for all (a
// single index runs on the calling thread); and a group of tasks started one
// by one while the caller goes on, waited for together.
void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body);

// Runs `work` so that, while it waits for parallel work of its own, this
// thread takes on no other pending task (whose output would mix with its).
void isolated(const std::function<void()>& work);

class TaskGroup {
 public:
  TaskGroup();
  TaskGroup(const TaskGroup&) = delete;
  TaskGroup& operator=(const TaskGroup&) = delete;
  ~TaskGroup();  // waits

  // The task must not throw.
  void run(std::function<void()> task);
  void wait();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Memory of at least `bytes` for large data (kMappedBytes or more): fresh,
// zero-filled pages from the kernel, offered transparent huge pages where
// they fill whole huge pages, so filling them costs far fewer page faults;
// freed with freePages and the same size. Null when there is none.
inline constexpr std::size_t kMappedBytes = std::size_t{4} << 20;
void* allocatePages(std::size_t bytes);
void freePages(void* pages, std::size_t bytes);
// Gives the memory of the whole pages inside [start, start + bytes) back to
// the system; they read as zero afterwards. For memory that will not be
// used after all, in blocks that stay.
void releasePages(void* start, std::size_t bytes);

// Uninitialised memory for large data (file texts, decoded lists): a block
// of a few megabytes or more comes straight from the kernel as pages that
// may be transparent huge pages, so filling it costs far fewer page faults,
// and goes back to the kernel when freed. Throws std::bad_alloc.
class ByteBlock {
 public:
  ByteBlock() = default;
  explicit ByteBlock(std::size_t size);
  ByteBlock(ByteBlock&& other) noexcept;
  ByteBlock& operator=(ByteBlock&& other) noexcept;
  ByteBlock(const ByteBlock&) = delete;
  ByteBlock& operator=(const ByteBlock&) = delete;
  ~ByteBlock();

  std::uint8_t* data() const { return data_; }
  char* chars() const { return reinterpret_cast<char*>(data_); }
  std::size_t size() const { return size_; }

 private:
  void release();
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

// One program run to its end, as the process that started it saw it.
struct ProgramRun {
  bool started = false;
  int exitStatus = -1;     // -1 when it did not start or was ended by a signal
  double wallSeconds = 0;  // from starting it to having collected it
  double userSeconds = 0;
  double systemSeconds = 0;
  std::uint64_t peakResidentBytes = 0;  // the kernel's high-water mark of its resident set
};

// Runs programs one at a time, their standard output and error going to the
// null device. On POSIX from a helper process made with the runner and ended
// with it: the kernel starts a child's peak resident set from its parent's
// memory (what the parent holds, after fork; the parent's own peak, after
// vfork), so the helper is made while this process is still small and
// single-threaded: make the runner first thing in main. On Windows a
// process's peak working set is its own, and programs start directly.
class ProgramRunner {
 public:
  ProgramRunner();
  ~ProgramRunner();
  ProgramRunner(const ProgramRunner&) = delete;
  ProgramRunner& operator=(const ProgramRunner&) = delete;

  bool ready() const;
  // `arguments` without the program's own name.
  ProgramRun run(const std::string& program, const std::vector<std::string>& arguments);

 private:
  int channel_ = -1;  // POSIX: the helper's socket and process id
  int helper_ = -1;
};

}  // namespace cvimp::platform

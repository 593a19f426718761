// Under Wine a test program that crashes can end with status 0, which ctest
// takes for a pass. Every suite of the Windows build links this: a crash
// ends the program with a status of its own, after saying what happened.
#include <windows.h>

#include <cstdio>

namespace {

constexpr UINT kCrashStatus = 70;

LONG WINAPI endOnCrash(EXCEPTION_POINTERS* exception) {
  std::fprintf(stderr, "crashed: exception 0x%08lx at %p\n", exception->ExceptionRecord->ExceptionCode,
               exception->ExceptionRecord->ExceptionAddress);
  std::fflush(stderr);
  ::TerminateProcess(::GetCurrentProcess(), kCrashStatus);
  return EXCEPTION_EXECUTE_HANDLER;
}

[[maybe_unused]] const bool installed = [] {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  ::SetUnhandledExceptionFilter(endOnCrash);
  return true;
}();

}  // namespace

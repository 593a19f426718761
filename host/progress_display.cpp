#include "host/progress_display.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "host/wstr.h"
#include "platform/platform.h"

namespace host {

namespace {

bool onTerminal() {
  static const bool terminal = cvimp::platform::standardErrorIsTerminal();
  return terminal;
}

}  // namespace

void drawProgress(std::u16string_view title, int percent) {
  if (!onTerminal()) return;
  constexpr int kWidth = 30;
  const int shown = std::clamp(percent, 0, 100);
  const int filled = shown * kWidth / 100;
  const std::string bar =
      std::string(static_cast<std::size_t>(filled), '#') + std::string(static_cast<std::size_t>(kWidth - filled), '-');
  std::fprintf(stderr, "\r%s [%s] %3d%%\x1b[K", utf16ToUtf8(title).c_str(), bar.c_str(), shown);
  std::fflush(stderr);
}

void clearProgress() {
  if (!onTerminal()) return;
  std::fprintf(stderr, "\r\x1b[K");
  std::fflush(stderr);
}

}  // namespace host

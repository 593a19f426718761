#include "vrscene/diagnostics.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace cvimp {

namespace {

thread_local std::string* captured = nullptr;

}  // namespace

void vrpPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (captured == nullptr) {
    std::vprintf(format, args);
  } else {
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, again);
    va_end(again);
    if (length > 0) {
      const std::size_t at = captured->size();
      captured->resize(at + static_cast<std::size_t>(length) + 1);
      std::vsnprintf(captured->data() + at, static_cast<std::size_t>(length) + 1, format, args);
      captured->pop_back();
    }
  }
  va_end(args);
}

DiagnosticCapture::DiagnosticCapture(std::string& into) : previous_(captured) { captured = &into; }

DiagnosticCapture::~DiagnosticCapture() { captured = previous_; }

void printUnknownValueType(std::size_t typeIndex) { vrpPrint("[ERROR] Unknown value type: %zu\n", typeIndex); }

void printReadFailure(std::string_view fileName, std::string_view text, const char* at, const std::string& expected) {
  const std::size_t offset = at != nullptr && at >= text.data() && at <= text.data() + text.size()
                                 ? static_cast<std::size_t>(at - text.data())
                                 : text.size();
  const std::string_view before = text.substr(0, offset);
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t lineStart = before.rfind('\n');
  const std::size_t column = offset - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1;
  vrpPrint("[VRP] ERROR: %.*s:%zu:%zu: %s\n", static_cast<int>(fileName.size()), fileName.data(), line, column,
           expected.c_str());
}

}  // namespace cvimp

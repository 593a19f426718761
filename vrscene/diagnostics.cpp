#include "vrscene/diagnostics.h"

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

}  // namespace cvimp

#pragma once
// The scene reader's diagnostics: single lines on the process's standard output.
#include <cstddef>
#include <string>
#include <string_view>

#include "vrscene/vrscene.h"

namespace cvimp {

// "[ERROR] Unknown value type: %zu\n" for a value whose alternative index is
// not one of the six.
void printUnknownValueType(std::size_t typeIndex);

// "[VRP] ERROR: FILE:LINE:COLUMN: EXPECTED\n" for a statement that could not
// be read, as compilers say it so that editors go there: the 1-based line
// and byte column of `at` in `text`.
void printReadFailure(std::string_view fileName, std::string_view text, const char* at, const std::string& expected);

// While one lives, what this thread prints through vrpPrint is appended to
// `into` instead (a piece of a file read ahead of its turn).
class DiagnosticCapture {
 public:
  explicit DiagnosticCapture(std::string& into);
  ~DiagnosticCapture();
  DiagnosticCapture(const DiagnosticCapture&) = delete;
  DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

 private:
  std::string* previous_;
};

}  // namespace cvimp

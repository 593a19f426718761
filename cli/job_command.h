#pragma once
// cvimp job: one job text through the dispatcher on the stand-in host.
#include <string>

#include "host/stand_in.h"

namespace cvimp {

struct JobOptions {
  std::string jobText;      // UTF-8 JSON
  std::string jobFile;      // read the text from here when set
  std::string downloadDir;  // empty: the default folder
};

// Runs one job text (UTF-8) on the stand-in host with Ctrl-C as its cancel
// button, and prints the success flag and the result text.
bool runAndPrintJob(const std::string& jobText);

// Prints the success flag and the result text; exit status 0 exactly when
// the flag is true.
int runJobCommand(const JobOptions& options);

}  // namespace cvimp

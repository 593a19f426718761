#pragma once
// cvimp inspect: load and prebuild a scene as an import would, print the
// parser's diagnostics and a summary, optionally write the document as JSON.
#include <string>

namespace cvimp {

struct InspectOptions {
  std::string scenePath;
  std::string outputPath;  // empty: no JSON
  bool verbose = false;    // print "Including" lines
};

// Exit status: 0 when load and prebuild both succeed, 1 otherwise.
int runInspect(const InspectOptions& options);

}  // namespace cvimp

#pragma once
// cvimp serve: the sample design's package and the test page on 127.0.0.1,
// for maxhost's import window. Prints the browser map that sends the
// platform page's address to the local page, which then runs a
// "startImport" job for the package; serves until interrupted.
#include <string>

namespace cvimp {

struct ServeOptions {
  std::string designFolder;
  std::string pageFile;  // the test page
};

int runServe(const ServeOptions& options);

}  // namespace cvimp

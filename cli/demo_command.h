#pragma once
// cvimp demo: the sample design as a real package, served over HTTP on
// 127.0.0.1 and imported by a "startImport" job.
#include <string>

namespace cvimp {

struct DemoOptions {
  std::string designFolder;  // the sample design
  std::string downloadDir;   // empty: a fresh folder under the default one
  std::string outputPath;    // the host scene as JSON; empty: not written
  std::string gltfPath;      // the host scene as .glb; empty: not written
};

int runDemo(const DemoOptions& options);

}  // namespace cvimp

#pragma once
// cvimp import: run the import driver on a scene file in the stand-in host,
// print the result and what was created, optionally write the host scene.
#include <string>

#include "host/stand_in.h"
#include "report/report.h"

namespace cvimp {

struct ImportOptions {
  std::string scenePath;
  std::string outputPath;  // empty: no JSON
  std::string gltfPath;    // empty: no glTF
  host::SystemUnit unit = host::SystemUnit::Millimeters;
  bool importMesh = true;
  bool importMaterial = true;
  bool importCamera = true;
  bool importLight = true;
  bool quadrify = false;
};

void printHostSceneCounts(const host::SceneCounts& counts);

// After an import: the host scene as glTF when `gltfPath` is given (its
// losses added to `report`), then as JSON with the report when `jsonPath`
// is given. False, with a line on standard error, when one cannot be
// written.
bool writeSceneFiles(const std::string& gltfPath, const std::string& jsonPath, Report& report);

// Ctrl-C presses the host's cancel button for as long as it lives.
class InterruptAsCancel {
 public:
  InterruptAsCancel();
  ~InterruptAsCancel();
  InterruptAsCancel(const InterruptAsCancel&) = delete;
  InterruptAsCancel& operator=(const InterruptAsCancel&) = delete;

 private:
  void (*previous_)(int);
};

// Exit status 0 exactly when the import's result is "Succeed" and the files
// asked for are written. Ctrl-C presses the host's cancel button while it
// runs.
int runImport(const ImportOptions& options);

}  // namespace cvimp

#pragma once
// The host's own glTF export: "Export glTF..." in the File menu, and the
// writing that it and the `scene --gltf` command share.
#include <functional>
#include <memory>
#include <string>

#include "report/report.h"

namespace maxhost {

// Writes the host scene as .glb; what to show: "glTF written to PATH" or
// "Cannot write ...", then the report table of the last import with the
// export's losses (nothing when all came across). The export's losses are
// added to `report`.
std::string exportGltf(const std::string& path, cvimp::Report& report);

// Puts "Export glTF..." at the end of the File menu for as long as it
// lives; choosing it asks `choosePath` where to write (an empty answer
// cancels) and prints what exportGltf answers.
class ExportMenu {
 public:
  explicit ExportMenu(std::function<std::string()> choosePath);
  ~ExportMenu();
  ExportMenu(const ExportMenu&) = delete;
  ExportMenu& operator=(const ExportMenu&) = delete;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace maxhost

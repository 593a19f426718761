#include "maxhost/gltf_export.h"

#include <cstdio>

#include "gltf/gltf.h"
#include "host/max.h"
#include "maxhost/host_commands.h"

namespace maxhost {

namespace {

// The host's own action table and context, apart from every plug-in's.
constexpr ActionTableId kHostTableId = 0x4D584831;
constexpr ActionContextId kHostContextId = 0x4D584832;
constexpr int kExportGltf = 1;

}  // namespace

std::string exportGltf(const std::string& path, cvimp::Report& report) {
  std::string error;
  if (!cvimp::writeSceneGlb(path, report, error)) return "Cannot write glTF: " + error;
  std::string text = "glTF written to " + path;
  const std::string table = report.table();
  if (!table.empty()) text += "\n" + table.substr(0, table.size() - 1);
  return text;
}

struct ExportMenu::Parts : ActionCallback {
  explicit Parts(std::function<std::string()> choose) : choosePath(std::move(choose)) {}

  BOOL ExecuteAction(int id) override {
    if (id != kExportGltf) return FALSE;
    const std::string path = choosePath();
    if (path.empty()) return TRUE;
    cvimp::Report report = cvimp::reportFromScene();
    std::printf("%s\n", exportGltf(path, report).c_str());
    std::fflush(stdout);
    return TRUE;
  }

  std::function<std::string()> choosePath;
  std::unique_ptr<HostCommands> commands;
};

ExportMenu::ExportMenu(std::function<std::string()> choosePath)
    : parts_(std::make_unique<Parts>(std::move(choosePath))) {
  const ActionDescription export_{kExportGltf, 0, 0, 0};
  parts_->commands = std::make_unique<HostCommands>(
      std::make_unique<ActionTable>(kHostTableId, kHostContextId, MSTR(u"maxhost"), nullptr, 1, &export_, nullptr),
      kHostContextId, u"maxhost", *parts_, u"File", std::vector<HostCommands::Item>{{kExportGltf, u"Export glTF..."}});
}

ExportMenu::~ExportMenu() = default;

}  // namespace maxhost

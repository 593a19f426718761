#include "maxhost/gltf_export.h"

#include <cstdio>

#include "gltf/gltf.h"
#include "host/max.h"

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
  std::unique_ptr<ActionTable> table;
  IMenu* file = nullptr;
  IMenuItem* item = nullptr;
};

ExportMenu::ExportMenu(std::function<std::string()> choosePath)
    : parts_(std::make_unique<Parts>(std::move(choosePath))) {
  const ActionDescription export_{kExportGltf, 0, 0, 0};
  parts_->table =
      std::make_unique<ActionTable>(kHostTableId, kHostContextId, MSTR(u"maxhost"), nullptr, 1, &export_, nullptr);
  Interface* core = GetCOREInterface();
  IActionManager* actions = core->GetActionManager();
  IMenuManager* menus = core->GetMenuManager();
  if (actions == nullptr || menus == nullptr) return;
  actions->RegisterActionContext(kHostContextId, u"maxhost");
  actions->RegisterActionTable(parts_->table.get());
  actions->ActivateActionTable(parts_.get(), kHostTableId);
  parts_->file = menus->FindMenu(MSTR(u"File"));
  if (parts_->file == nullptr) return;
  parts_->item = GetIMenuItem();
  parts_->item->SetActionItem(parts_->table->GetAction(kExportGltf));
  parts_->item->SetTitle(MSTR(u"Export glTF..."));
  parts_->file->AddItem(parts_->item);
  menus->UpdateMenuBar();
}

ExportMenu::~ExportMenu() {
  if (parts_->file != nullptr && parts_->item != nullptr) parts_->file->RemoveItem(parts_->item);
  if (IActionManager* actions = GetCOREInterface()->GetActionManager()) {
    actions->DeactivateActionTable(parts_.get(), kHostTableId);
  }
}

}  // namespace maxhost

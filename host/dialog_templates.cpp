#include "host/dialog_templates.h"

#include <map>
#include <mutex>
#include <utility>

namespace host {
namespace {

struct Templates {
  std::mutex lock;
  std::map<int, DialogTemplate> byId;
};

Templates& templates() {
  static Templates instance;
  return instance;
}

}  // namespace

void registerDialogTemplate(int templateId, DialogTemplate dialog) {
  std::lock_guard guard(templates().lock);
  templates().byId[templateId] = std::move(dialog);
}

std::optional<DialogTemplate> dialogTemplate(int templateId) {
  std::lock_guard guard(templates().lock);
  const auto found = templates().byId.find(templateId);
  if (found == templates().byId.end()) return std::nullopt;
  return found->second;
}

}  // namespace host

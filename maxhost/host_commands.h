#pragma once
// The host's own commands, as 3ds Max keeps them: an action table in a
// context of its own, activated with a callback, and items at the end of a
// menu of the main menu bar, for as long as it lives.
#include <memory>
#include <vector>

#include "host/max.h"

namespace maxhost {

class HostCommands {
 public:
  // One item of the menu: a command of the table (its menu text, or
  // `title` when given), or a separator (command 0).
  struct Item {
    int command = 0;
    const char16_t* title = nullptr;
  };
  // Registers `table` in `context`, activates it with `callback` (which
  // must outlive this) and adds `items` to the menu titled `menu`.
  HostCommands(std::unique_ptr<ActionTable> table, ActionContextId context, const char16_t* contextName,
               ActionCallback& callback, const char16_t* menu, const std::vector<Item>& items);
  ~HostCommands();
  HostCommands(const HostCommands&) = delete;
  HostCommands& operator=(const HostCommands&) = delete;

 private:
  std::unique_ptr<ActionTable> table_;
  ActionCallback& callback_;
  IMenu* menu_ = nullptr;
  std::vector<IMenuItem*> items_;
};

}  // namespace maxhost

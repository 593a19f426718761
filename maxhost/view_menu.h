#pragma once
// The host's viewport commands, as 3ds Max has them: actions with default
// shortcuts (Z zoom extents, P/T/F/L the views, F4 edged faces) and the
// Views menu that shows them, for as long as it lives. With a window or
// without one, the keys reach them through the action manager.
#include <memory>

namespace maxhost {

class ViewMenu {
 public:
  ViewMenu();
  ~ViewMenu();
  ViewMenu(const ViewMenu&) = delete;
  ViewMenu& operator=(const ViewMenu&) = delete;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace maxhost

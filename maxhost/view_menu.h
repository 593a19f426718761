#pragma once
// The host's viewport commands, as 3ds Max has them: actions with default
// shortcuts (Z zoom extents, P/T/F/L the views, C the camera view, F4 edged
// faces) and the Views menu that shows them, for as long as it lives. With
// a window or without one, the keys reach them through the action manager.
#include <functional>
#include <memory>
#include <string>

namespace maxhost {

class ViewMenu {
 public:
  // `tell` shows what a command has to say (the camera view's text when
  // there is no camera).
  explicit ViewMenu(std::function<void(const std::string&)> tell = nullptr);
  ~ViewMenu();
  ViewMenu(const ViewMenu&) = delete;
  ViewMenu& operator=(const ViewMenu&) = delete;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace maxhost

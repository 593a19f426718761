#pragma once
// maxhost's main window on GTK: the host's main window (GetMAXHWnd) filled
// with the menu bar built from the menu manager, the scene's node list
// beside the viewport, and a status bar with the progress bar and its
// cancel button. Shortcuts pressed in it go to the action manager; the
// list and the viewport show, and set, the host's selection.
#include <functional>
#include <memory>
#include <string>

namespace maxhost {

class ViewportWidget;

class MainWindow {
 public:
  // `closing` is called when the user closes the window; `busyChanged`
  // when a progress bar appears (true) and goes (false): while it shows,
  // the loop runs for the bar and its Cancel button only, and whatever
  // else starts commands must wait.
  MainWindow(std::function<void()> closing, std::function<void(bool)> busyChanged);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // False without a display.
  bool valid() const;
  void show();
  // The menu bar from the menu manager, and the node list from the scene.
  void rebuildMenuBar();
  void refreshNodes();
  // "Node list: N" and a line per row, "  name | object | material", with
  // " | selected" for a row selected in the list.
  std::string shownNodes() const;
  ViewportWidget* viewport() const;
  // "Node list row 1 at X,Y size WxH", on the screen; the list's first row.
  std::string firstRowPlace() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace maxhost

#pragma once
// maxhost's commands on standard input, one per line, for scripted use and
// tests; each prints what the host shows in answer:
//   key SHORTCUT        press a shortcut ("key Shift+K")
//   menu [PATH]         print the main menu bar, or choose an item
//                       ("menu Casavia (&K)/关于...")
//   select NAME...      select these nodes (none: clear the selection)
//   nodes               print the scene's nodes
//   list                print the node list as the main window shows it
//   scene [-o FILE]     print the scene's totals, or write it as JSON
//   windows             print the open dialogs
//   close TITLE         close a dialog from its title bar
//   click TITLE ID      click control ID of a dialog
//   wait nodes N [S]    let the host run until the scene has N nodes
//                       (S seconds at most, 120 by default)
//   quit                close the host
#include <functional>
#include <string>

namespace maxhost {

struct CommandResult {
  bool quit = false;
};

class CommandShell {
 public:
  // `runLoop` lets the host's window loop run once, waiting for events
  // (null when there is none); `changed` is told after each command that
  // may have changed the scene or the menus.
  // `shownList` gives the main window's node list as text (null: no window).
  CommandShell(std::function<void()> runLoop, std::function<void()> changed,
               std::function<std::string()> shownList = nullptr);

  CommandResult run(const std::string& line);

 private:
  void key(const std::string& shortcut);
  void menu(const std::string& path);
  void select(const std::string& names);
  void scene(const std::string& arguments);
  void close(const std::string& title);
  void click(const std::string& arguments);
  void waitFor(const std::string& arguments);

  std::function<void()> runLoop_;
  std::function<void()> changed_;
  std::function<std::string()> shownList_;
};

// The main menu bar and its menus with items, one line per menu:
// "Main menu bar: File, Edit, ..." then "Casavia (&K): 导入... (Shift+K), ...".
std::string describeMenuBar();
std::string describeNodes();

}  // namespace maxhost

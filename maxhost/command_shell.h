#pragma once
// maxhost's commands on standard input, one per line, for scripted use and
// tests; each prints what the host shows in answer:
//   key SHORTCUT        press a shortcut ("key Shift+K")
//   menu [PATH]         print the main menu bar, or choose an item
//                       ("menu Casavia (&K)/关于...")
//   select NAME...      select these nodes (none: clear the selection)
//   nodes               print the scene's nodes
//   list                print the node list as the main window shows it
//   scene [-o FILE] [--gltf FILE.glb]
//                       print the scene's totals, or write it as JSON
//                       (with the last import's report) and as glTF
//   view [persp|top|front|left|camera [NAME]] [--flat] [-o FILE.png] [--size WxH]
//                       switch the viewport to a view and style ("Flat
//                       Color" with --flat, shaded without) and write its
//                       picture as PNG; "camera" looks through the camera
//                       NAME, or the selected or first one
//   viewport            print where the viewport and the node list's first
//                       row show on the screen ("Viewport at X,Y size WxH",
//                       "Node list row 1 at X,Y size WxH")
//   windows             print the open dialogs
//   close TITLE         close a dialog from its title bar
//   click TITLE ID      click control ID of a dialog
//   wait nodes N [S]    let the host run until the scene has N nodes
//                       (S seconds at most, 120 by default)
//   settle              let the host finish what it has to do and draw
//                       ("Settled"), e.g. before a screenshot
//   quit                close the host
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/stand_in.h"

namespace maxhost {

struct CommandResult {
  bool quit = false;
};

class CommandShell {
 public:
  // `runLoop` lets the host's window loop run once, waiting for events;
  // `changed` is told after each command, which may have changed the scene.
  // The window's part, all null without one: `shownList` gives the main
  // window's node list as text, `settle` runs the loop until it is idle
  // and the display has drawn.
  struct Window {
    std::function<void()> runLoop;
    std::function<void()> changed;
    std::function<std::string()> shownList;
    std::function<void()> settle;
    // The viewport's picture at a size (0 x 0: the size it is shown at), as
    // RGBA rows from the top; false with a text.
    std::function<bool(int& width, int& height, std::vector<std::uint8_t>& rgba, std::string& error)> viewImage;
    // "Viewport at X,Y size WxH", then the list's first row likewise.
    std::function<std::string()> viewportPlace;
  };
  explicit CommandShell(Window window = {});

  CommandResult run(const std::string& line);

 private:
  void key(const std::string& shortcut);
  void menu(const std::string& path);
  void select(const std::string& names);
  void scene(const std::string& arguments);
  void close(const std::string& title);
  void click(const std::string& arguments);
  void waitFor(const std::string& arguments);
  void view(const std::string& arguments);

  Window window_;
};

// The main menu bar and its menus with items, one line per menu:
// "Main menu bar: File, Edit, ..." then "Casavia (&K): 导入... (Shift+K), ...".
std::string describeMenuBar();
std::string describeNodes();
// "  name | object | material", and " | selected" for a selected node.
std::string describeNode(const host::NodeRow& row);

}  // namespace maxhost

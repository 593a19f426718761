#include "maxhost/command_shell.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "host/gui/window_host.h"
#include "host/gui/windows.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "maxhost/gltf_export.h"
#include "maxhost/viewport/camera_view.h"
#include "maxhost/viewport/offscreen.h"
#include "report/report.h"

namespace maxhost {

namespace {

std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string itemText(const IMenuItem& item) {
  if (item.IsSeparator()) return "-";
  std::string text = host::utf16ToUtf8(item.GetTitle().str());
  if (const ActionItem* action = item.GetActionItem(); action != nullptr && !action->GetShortcut().empty()) {
    text += std::string(" (") + host::utf16ToUtf8(shortcutText(action->GetShortcut())) + ")";
  }
  return text;
}

// The open dialog of that title; null when none.
HWND dialogTitled(const std::string& title) {
  for (HWND dialog : host::dialogs()) {
    const auto state = host::windowState(dialog);
    if (state && host::utf16ToUtf8(state->title) == title) return dialog;
  }
  return nullptr;
}

// A whole decimal int; none for anything else.
std::optional<int> number(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  return value;
}

void printLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

std::string describeMenuBar() {
  IMenuManager* menus = GetCOREInterface()->GetMenuManager();
  IMenu* bar = menus != nullptr ? menus->GetMainMenuBar() : nullptr;
  if (bar == nullptr) return "No menu bar";
  std::string titles;
  std::string contents;
  for (int i = 0; i < bar->NumItems(); ++i) {
    const IMenuItem* opener = bar->GetItem(i);
    titles += std::string(i > 0 ? ", " : "") + host::utf16ToUtf8(opener->GetTitle().str());
    const IMenu* menu = opener->GetSubMenu();
    if (menu == nullptr || menu->NumItems() == 0) continue;
    contents += std::string("\n") + host::utf16ToUtf8(menu->GetTitle().str()) + ":";
    for (int j = 0; j < menu->NumItems(); ++j)
      contents += std::string(j > 0 ? ", " : " ") + itemText(*menu->GetItem(j));
  }
  return std::string("Main menu bar: ") + titles + contents;
}

std::string describeNode(const host::NodeRow& row) {
  std::string text =
      std::string("  ") + row.name + " | " + row.object + " | " + (row.material.empty() ? "no material" : row.material);
  if (row.selected) text += " | selected";
  return text;
}

std::string describeNodes() {
  const std::vector<host::NodeRow> rows = host::nodeRows();
  std::string text = std::string("Nodes: ") + std::to_string(rows.size());
  for (const host::NodeRow& row : rows) text.append("\n").append(describeNode(row));
  return text;
}

CommandShell::CommandShell(Window window) : window_(std::move(window)) {}

CommandResult CommandShell::run(const std::string& line) {
  const std::string text = trim(line);
  const std::size_t space = text.find(' ');
  const std::string command = text.substr(0, space);
  const std::string arguments = space == std::string::npos ? "" : trim(text.substr(space + 1));
  CommandResult result;
  if (command.empty() || command[0] == '#') return result;
  if (command == "quit") {
    result.quit = true;
  } else if (command == "key") {
    key(arguments);
  } else if (command == "menu") {
    menu(arguments);
  } else if (command == "select") {
    select(arguments);
  } else if (command == "nodes") {
    printLine(describeNodes());
  } else if (command == "list") {
    printLine(window_.shownList ? window_.shownList() : "No node list without a window");
  } else if (command == "settle") {
    if (window_.settle) window_.settle();
    printLine("Settled");
  } else if (command == "scene") {
    scene(arguments);
  } else if (command == "windows") {
    std::string titles = "Windows:";
    for (HWND dialog : host::dialogs()) {
      if (const auto state = host::windowState(dialog))
        titles += std::string(" [") + host::utf16ToUtf8(state->title) + "]";
    }
    printLine(titles);
  } else if (command == "close") {
    close(arguments);
  } else if (command == "click") {
    click(arguments);
  } else if (command == "viewport") {
    printLine(window_.viewportPlace ? window_.viewportPlace() : "No viewport on the screen without a window");
  } else if (command == "view") {
    view(arguments);
  } else if (command == "wait") {
    waitFor(arguments);
  } else {
    printLine(std::string("Unknown command: ") + command);
  }
  std::fflush(stdout);
  if (window_.changed) window_.changed();
  return result;
}

void CommandShell::key(const std::string& shortcut) {
  if (!parseShortcut(shortcut)) {
    printLine(std::string("Not a shortcut: ") + shortcut);
    return;
  }
  printLine(shortcut + (host::pressShortcut(shortcut) ? ": ran" : ": no command"));
}

void CommandShell::menu(const std::string& path) {
  if (path.empty()) {
    printLine(describeMenuBar());
    return;
  }
  printLine(path + (host::chooseMenuItem(path) ? ": ran" : ": no command"));
}

void CommandShell::select(const std::string& names) {
  Interface* core = GetCOREInterface();
  core->ClearNodeSelection(FALSE);
  std::istringstream words(names);
  std::string name;
  std::string selected;
  while (words >> name) {
    INode* node = host::scene().findNode(host::utf8ToUtf16(name));
    if (node == nullptr) {
      printLine(std::string("No node named ") + name);
      continue;
    }
    core->SelectNode(node, 0);
    selected += std::string(" ") + name;
  }
  printLine(std::string("Selected:") + (selected.empty() ? std::string(" nothing") : selected));
}

void CommandShell::scene(const std::string& arguments) {
  if (arguments.empty()) {
    const host::SceneCounts counts = host::countScene();
    printLine(std::string("Nodes: ") + std::to_string(counts.nodes) + ", objects: " + std::to_string(counts.objects) +
              ", triangles: " + std::to_string(counts.triangles) + ", materials: " + std::to_string(counts.materials) +
              ", maps: " + std::to_string(counts.maps) + ", bitmaps: " + std::to_string(counts.bitmaps));
    return;
  }
  // "-o FILE" and "--gltf FILE", in either order; the glTF first, so that
  // the JSON's report holds the export's losses too.
  std::string jsonPath, gltfPath;
  std::istringstream words(arguments);
  std::string word;
  bool usage = false;
  while (words >> word) {
    std::string* target = word == "-o" ? &jsonPath : word == "--gltf" ? &gltfPath : nullptr;
    if (target == nullptr || !(words >> *target)) usage = true;
  }
  if (usage || (jsonPath.empty() && gltfPath.empty())) {
    printLine("Usage: scene [-o FILE] [--gltf FILE.glb]");
    return;
  }
  cvimp::Report report = cvimp::reportFromScene();
  if (!gltfPath.empty()) printLine(exportGltf(gltfPath, report));
  if (jsonPath.empty()) return;
  std::ofstream file(jsonPath, std::ios::binary | std::ios::trunc);
  file << cvimp::withReport(host::sceneJson(), report);
  file.close();
  printLine(file ? std::string("Scene written to ") + jsonPath : std::string("Cannot write ") + jsonPath);
}

void CommandShell::close(const std::string& title) {
  const HWND dialog = dialogTitled(title);
  printLine(dialog != nullptr && host::closeWindow(dialog) ? std::string("Closed ") + title
                                                           : std::string("No window ") + title);
}

void CommandShell::click(const std::string& arguments) {
  const std::size_t space = arguments.rfind(' ');
  const std::optional<int> id = space == std::string::npos ? std::nullopt : number(arguments.substr(space + 1));
  const HWND dialog = id ? dialogTitled(trim(arguments.substr(0, space))) : nullptr;
  printLine(dialog != nullptr && host::clickControl(dialog, *id) ? std::string("Clicked ") + arguments
                                                                 : std::string("Cannot click ") + arguments);
}

void CommandShell::waitFor(const std::string& arguments) {
  std::istringstream words(arguments);
  std::string what;
  std::string countText;
  std::string secondsText = "120";
  words >> what >> countText >> secondsText;
  const std::optional<int> count = number(countText);
  const std::optional<int> seconds = number(secondsText);
  if (what != "nodes" || !count || *count < 0 || !seconds || *seconds < 0) {
    printLine("Usage: wait nodes N [SECONDS]");
    return;
  }
  const auto wanted = static_cast<std::size_t>(*count);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(*seconds);
  // The loop runs the import window's page and its jobs; a timer source of
  // the host's own wakes it at least once a second, so the deadline holds.
  while (host::scene().nodes().size() < wanted && window_.runLoop && std::chrono::steady_clock::now() < deadline)
    window_.runLoop();
  const std::size_t nodes = host::scene().nodes().size();
  printLine(nodes >= wanted ? std::string("Nodes: ") + std::to_string(nodes)
                            : std::string("Timed out with ") + std::to_string(nodes) + " nodes");
}

}  // namespace maxhost

namespace maxhost {

void CommandShell::view(const std::string& arguments) {
  std::istringstream words(arguments);
  std::string word, path;
  host::ViewType type = host::ViewType::Perspective;
  bool typeGiven = false;
  std::optional<std::string> camera;  // a name; empty: the selected camera or the first
  bool flat = false, usage = false;
  int width = 0, height = 0;
  while (words >> word) {
    if (word == "camera") {
      camera = "";
      typeGiven = false;
      // A name may follow; an option may not be one.
      const std::streampos before = words.tellg();
      std::string name;
      if (words >> name && !name.starts_with("-")) {
        *camera = name;
      } else {
        words.clear();
        words.seekg(before);
      }
    } else if (word == "persp") {
      type = host::ViewType::Perspective;
      typeGiven = true;
    } else if (word == "top") {
      type = host::ViewType::Top;
      typeGiven = true;
    } else if (word == "front") {
      type = host::ViewType::Front;
      typeGiven = true;
    } else if (word == "left") {
      type = host::ViewType::Left;
      typeGiven = true;
    } else if (word == "--flat") {
      flat = true;
    } else if (word == "-o") {
      usage |= !(words >> path);
    } else if (word == "--size") {
      std::string size;
      usage |= !(words >> size);
      const std::size_t x = size.find('x');
      const std::optional<int> w = x == std::string::npos ? std::nullopt : number(size.substr(0, x));
      const std::optional<int> h = x == std::string::npos ? std::nullopt : number(size.substr(x + 1));
      usage |= !w || !h || *w <= 0 || *h <= 0;
      width = w.value_or(0);
      height = h.value_or(0);
    } else {
      usage = true;
    }
  }
  if (usage) {
    printLine("Usage: view [persp|top|front|left|camera [NAME]] [--flat] [-o FILE.png] [--size WxH]");
    return;
  }
  if (typeGiven) {
    camera.reset();
    host::setViewType(type);
  }
  if (camera) {
    std::string text;
    if (!viewport::viewThroughCamera(*camera, text)) {
      printLine(text);
      return;
    }
  }
  host::setFlatColor(flat);
  const host::ViewportState state = host::viewport();
  std::string shown = host::viewName(state.camera.type);
  if (const INode* through = host::viewedCamera(state.camera)) shown += " " + host::utf16ToUtf8(through->GetName());
  printLine("View: " + shown + (flat ? ", Flat Color" : ", Default Shading") +
            (state.edgedFaces ? ", Edged Faces" : ""));
  if (path.empty()) return;
  std::vector<std::uint8_t> rgba;
  std::string error;
  if (!window_.viewImage) {
    error = "no viewport";
  } else if (window_.viewImage(width, height, rgba, error) &&
             viewport::writePng(path, width, height, rgba.data(), error)) {
    printLine("View written to " + path + " (" + std::to_string(width) + "x" + std::to_string(height) + ")");
    return;
  }
  printLine("Cannot draw the view: " + error);
}

}  // namespace maxhost

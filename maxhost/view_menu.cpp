#include "maxhost/view_menu.h"

#include <array>
#include <vector>

#include "host/max.h"
#include "host/stand_in.h"
#include "maxhost/host_commands.h"
#include "maxhost/viewport/camera_view.h"

namespace maxhost {

namespace {

constexpr ActionTableId kViewsTableId = 0x4D584833;
constexpr ActionContextId kViewsContextId = 0x4D584834;

enum Command : WORD {
  kZoomExtents = 1,
  kPerspective,
  kTop,
  kFront,
  kLeft,
  kEdgedFaces,
  kDefaultShading,
  kFlatColor,
  kCamera,
};

constexpr BYTE kKey = FVIRTKEY | FNOINVERT;
constexpr WORD kF4 = 0x73;
constexpr ACCEL kShortcuts[] = {
    {kKey, 'Z', kZoomExtents},
    {kKey, 'P', kPerspective},
    {kKey, 'T', kTop},
    {kKey, 'F', kFront},
    {kKey, 'L', kLeft},
    {kKey, 'C', kCamera},
    {kKey | host::kAcceleratorEndMark, kF4, kEdgedFaces},
};
constexpr int kAccelerators = 1;
constexpr host::AcceleratorResource kAcceleratorTables[] = {{kAccelerators, kShortcuts}};

// String ids: the command's menu text, then its description.
constexpr UINT kTextBase = 100, kDescriptionBase = 200, kCategory = 300;
constexpr host::StringResource kStrings[] = {
    {kTextBase + kZoomExtents, u"Zoom Extents"},
    {kTextBase + kPerspective, u"Perspective"},
    {kTextBase + kTop, u"Top"},
    {kTextBase + kFront, u"Front"},
    {kTextBase + kLeft, u"Left"},
    {kTextBase + kCamera, u"Camera"},
    {kTextBase + kEdgedFaces, u"Edged Faces"},
    {kTextBase + kDefaultShading, u"Default Shading"},
    {kTextBase + kFlatColor, u"Flat Color"},
    {kDescriptionBase + kZoomExtents, u"Zoom Extents Selected: the selection, or the scene when nothing is selected"},
    {kDescriptionBase + kPerspective, u"Perspective View"},
    {kDescriptionBase + kTop, u"Top View"},
    {kDescriptionBase + kFront, u"Front View"},
    {kDescriptionBase + kLeft, u"Left View"},
    {kDescriptionBase + kCamera, u"Camera View: the selected camera, or the scene's first"},
    {kDescriptionBase + kEdgedFaces, u"Edged Faces Toggle"},
    {kDescriptionBase + kDefaultShading, u"Default Shading: base colours and maps under a head light"},
    {kDescriptionBase + kFlatColor, u"Flat Color: base colours and maps, unlit"},
    {kCategory, u"Views"},
};
constexpr host::StringTable kStringTables[] = {{0, kStrings}};
constexpr host::ResourceDirectory kResources{kStringTables, kAcceleratorTables, {}};

constexpr std::array<Command, 9> kCommands = {kZoomExtents, kPerspective,    kTop,      kFront, kLeft, kCamera,
                                              kEdgedFaces,  kDefaultShading, kFlatColor};

// The module whose resources these are: the host itself.
char moduleTag;
HINSTANCE module() { return reinterpret_cast<HINSTANCE>(&moduleTag); }

}  // namespace

struct ViewMenu::Parts : ActionCallback {
  BOOL ExecuteAction(int id) override {
    switch (id) {
      case kZoomExtents:
        // Zoom Extents Selected: the whole scene when nothing is selected.
        host::zoomExtents(host::scene().selection());
        return TRUE;
      case kPerspective:
        host::setViewType(host::ViewType::Perspective);
        return TRUE;
      case kTop:
        host::setViewType(host::ViewType::Top);
        return TRUE;
      case kFront:
        host::setViewType(host::ViewType::Front);
        return TRUE;
      case kLeft:
        host::setViewType(host::ViewType::Left);
        return TRUE;
      case kCamera: {
        std::string text;
        if (!viewport::viewThroughCamera("", text) && tell) tell(text);
        return TRUE;
      }
      case kEdgedFaces:
        host::setEdgedFaces(!host::viewport().edgedFaces);
        return TRUE;
      case kDefaultShading:
        host::setFlatColor(false);
        return TRUE;
      case kFlatColor:
        host::setFlatColor(true);
        return TRUE;
      default:
        return FALSE;
    }
  }

  std::function<void(const std::string&)> tell;
  std::unique_ptr<HostCommands> commands;
};

ViewMenu::ViewMenu(std::function<void(const std::string&)> tell) : parts_(std::make_unique<Parts>()) {
  parts_->tell = std::move(tell);
  host::registerModuleResources(module(), &kResources);
  std::vector<ActionDescription> descriptions;
  // A line between the views and the display styles, as in 3ds Max.
  std::vector<HostCommands::Item> items;
  for (const Command command : kCommands) {
    descriptions.push_back({command, static_cast<int>(kDescriptionBase + command),
                            static_cast<int>(kTextBase + command), static_cast<int>(kCategory)});
    if (command == kEdgedFaces) items.push_back({});
    items.push_back({command});
  }
  parts_->commands = std::make_unique<HostCommands>(
      std::make_unique<ActionTable>(kViewsTableId, kViewsContextId, MSTR(u"Views"),
                                    LoadAcceleratorsW(module(), kAccelerators), static_cast<int>(descriptions.size()),
                                    descriptions.data(), module()),
      kViewsContextId, u"Views", *parts_, u"Views", items);
}

ViewMenu::~ViewMenu() {
  parts_.reset();
  host::registerModuleResources(module(), nullptr);
}

}  // namespace maxhost

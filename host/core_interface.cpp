#include "host/core_interface.h"

#include <algorithm>
#include <functional>
#include <mutex>

#include "host/actions.h"
#include "host/bitmap_tex.h"
#include "host/camera.h"
#include "host/host_state.h"
#include "host/journal.h"
#include "host/lights.h"
#include "host/menus.h"
#include "host/multi_mtl.h"
#include "host/objects.h"
#include "host/progress_display.h"
#include "host/scene.h"
#include "host/sun_sky.h"
#include "host/viewport.h"
#include "host/window_handles.h"

namespace host {

namespace {

struct CoreState {
  std::mutex lock;
  SystemUnit unit = SystemUnit::Millimeters;
  int renderWidth = 640;
  int renderHeight = 480;
  ProgressState progress;
  int redrawDisabled = 0;
  int suspended = 0;
  std::vector<std::u16string> scripts;
  std::u16string directories[64];
  std::vector<HWND> dialogs;
  std::function<void(const ProgressState&)> progressListener;
};

CoreState& core() {
  static CoreState state;
  return state;
}

std::atomic<bool> cancelPressed{false};
std::atomic<bool> terminalProgress{true};
std::atomic<int> cancelCountdown{0};

// Tells the listener, outside the lock, how the bar now stands.
void notifyProgress() {
  std::function<void(const ProgressState&)> listener;
  ProgressState state;
  {
    std::lock_guard guard(core().lock);
    listener = core().progressListener;
    state = core().progress;
  }
  if (listener) listener(state);
}

double millimetresPer(SystemUnit unit) {
  switch (unit) {
    case SystemUnit::Millimeters:
      return 1.0;
    case SystemUnit::Centimeters:
      return 10.0;
    case SystemUnit::Meters:
      return 1000.0;
    case SystemUnit::Inches:
      return 25.4;
    case SystemUnit::Feet:
      return 304.8;
  }
  return 1.0;
}

std::string bool3(BOOL a, BOOL b, BOOL c) { return flag(a != 0) + ", " + flag(b != 0) + ", " + flag(c != 0); }

}  // namespace

void setSystemUnit(SystemUnit unit) {
  std::lock_guard guard(core().lock);
  core().unit = unit;
}

SystemUnit systemUnit() {
  std::lock_guard guard(core().lock);
  return core().unit;
}

std::string_view unitName(SystemUnit unit) {
  switch (unit) {
    case SystemUnit::Millimeters:
      return "mm";
    case SystemUnit::Centimeters:
      return "cm";
    case SystemUnit::Meters:
      return "m";
    case SystemUnit::Inches:
      return "in";
    case SystemUnit::Feet:
      return "ft";
  }
  return "mm";
}

std::optional<SystemUnit> parseUnit(std::string_view name) {
  for (SystemUnit unit :
       {SystemUnit::Millimeters, SystemUnit::Centimeters, SystemUnit::Meters, SystemUnit::Inches, SystemUnit::Feet}) {
    if (unitName(unit) == name) return unit;
  }
  return std::nullopt;
}

void setDirectory(int which, std::u16string path) {
  if (which < 0 || which >= 64) return;
  std::lock_guard guard(core().lock);
  core().directories[which] = std::move(path);
}

void pressCancel() { cancelPressed.store(true); }

void pressCancelAtQuery(int query) { cancelCountdown.store(query > 0 ? query : 0); }

ProgressState progress() {
  std::lock_guard guard(core().lock);
  return core().progress;
}

int sceneRedrawDisabledDepth() {
  std::lock_guard guard(core().lock);
  return core().redrawDisabled;
}

int suspendDepth() {
  std::lock_guard guard(core().lock);
  return core().suspended;
}

std::vector<std::u16string> executedScripts() {
  std::lock_guard guard(core().lock);
  return core().scripts;
}

std::vector<HWND> registeredDialogs() {
  std::lock_guard guard(core().lock);
  return core().dialogs;
}

void setProgressOnTerminal(bool enabled) { terminalProgress.store(enabled); }

void setProgressListener(std::function<void(const ProgressState&)> listener) {
  std::lock_guard guard(core().lock);
  core().progressListener = std::move(listener);
}

void recordScript(const std::u16string& script) {
  std::lock_guard guard(core().lock);
  core().scripts.push_back(script);
}

void reset() {
  scene().clear();
  journal().clear();
  cancelPressed.store(false);
  cancelCountdown.store(0);
  std::lock_guard guard(core().lock);
  core().unit = SystemUnit::Millimeters;
  core().renderWidth = 640;
  core().renderHeight = 480;
  core().progress = ProgressState();
  core().redrawDisabled = 0;
  core().suspended = 0;
  core().scripts.clear();
  core().dialogs.clear();
  resetActions();
  resetMenus();
  resetViewport();
}

}  // namespace host

using host::core;
using host::flag;
using host::journal;

bool Interface::ProgressStart(const MCHAR* title, BOOL showBar, LPTHREAD_START_ROUTINE fn, LPVOID arg) {
  const std::u16string text = title != nullptr ? title : u"";
  journal().record("ProgressStart", host::quoted(text) + ", " + flag(showBar != 0) + ", " +
                                        (fn != nullptr ? "function" : "none") + ", " +
                                        (arg != nullptr ? "arg" : "none"));
  host::cancelPressed.store(false);
  {
    std::lock_guard guard(core().lock);
    core().progress.shown = true;
    core().progress.title = text;
    core().progress.percent = 0;
    core().progress.starts += 1;
  }
  if (host::terminalProgress.load()) host::drawProgress(text, 0);
  host::notifyProgress();
  if (fn != nullptr) fn(arg);
  return true;
}

void Interface::ProgressUpdate(int percent, BOOL showPercent, const MCHAR* title) {
  journal().record("ProgressUpdate", std::to_string(percent) + ", " + flag(showPercent != 0) + ", " +
                                         (title != nullptr ? host::quoted(std::u16string_view(title)) : "none"));
  std::u16string text;
  {
    std::lock_guard guard(core().lock);
    if (!core().progress.shown) return;
    core().progress.percent = percent;
    if (title != nullptr) core().progress.title = title;
    text = core().progress.title;
  }
  if (host::terminalProgress.load()) host::drawProgress(text, percent);
  host::notifyProgress();
}

void Interface::ProgressEnd() {
  journal().record("ProgressEnd");
  {
    std::lock_guard guard(core().lock);
    if (!core().progress.shown) return;
    core().progress.shown = false;
    core().progress.ends += 1;
  }
  if (host::terminalProgress.load()) host::clearProgress();
  host::notifyProgress();
}

BOOL Interface::GetCancel() {
  if (host::cancelCountdown.load() > 0 && host::cancelCountdown.fetch_sub(1) == 1) host::cancelPressed.store(true);
  return host::cancelPressed.load() ? TRUE : FALSE;
}

void Interface::SetCancel(BOOL cancel) {
  journal().record("SetCancel", flag(cancel != 0));
  host::cancelPressed.store(cancel != 0);
}

void Interface::DisableSceneRedraw() {
  journal().record("DisableSceneRedraw");
  std::lock_guard guard(core().lock);
  core().redrawDisabled += 1;
}

void Interface::EnableSceneRedraw() {
  journal().record("EnableSceneRedraw");
  bool enabled = false;
  {
    std::lock_guard guard(core().lock);
    if (core().redrawDisabled > 0) core().redrawDisabled -= 1;
    enabled = core().redrawDisabled == 0;
  }
  if (enabled) host::requestViewportRedraw();
}

bool Interface::IsSceneRedrawDisabled() const {
  std::lock_guard guard(core().lock);
  return core().redrawDisabled > 0;
}

INode* Interface::GetRootNode() { return host::scene().rootNode(); }

INode* Interface::CreateObjectNode(Object* object) {
  journal().record("CreateObjectNode", object != nullptr ? "object" : "none");
  if (object == nullptr) return nullptr;
  const auto& objects = host::scene().objects();
  const bool known =
      std::any_of(objects.begin(), objects.end(), [&](const auto& owned) { return owned.get() == object; });
  if (!known) {
    journal().record("CreateObjectNodeRejected", "object not in the scene");
    return nullptr;
  }
  return host::scene().newNode(object);
}

Animatable* Interface::CreateInstance(SClass_ID superClass, Class_ID classId) {
  journal().record("CreateInstance", std::to_string(superClass) + ", (" + std::to_string(classId.PartA()) + ", " +
                                         std::to_string(classId.PartB()) + ")");
  if (superClass == MATERIAL_CLASS_ID && classId == PHYSICAL_MATERIAL_CLASS_ID) {
    return host::scene().addMaterial(std::make_unique<PhysicalMaterial>());
  }
  if (superClass == MATERIAL_CLASS_ID && classId == MULTI_CLASS_ID) {
    return host::scene().addMaterial(std::make_unique<MultiMtl>());
  }
  if (superClass == TEXMAP_CLASS_ID && classId == MIX_CLASS_ID) {
    return host::scene().addMap(std::make_unique<MixTex>());
  }
  if (superClass == TEXMAP_CLASS_ID && classId == BMTEX_CLASS_ID) {
    return host::scene().addMap(std::make_unique<BitmapTex>());
  }
  if (superClass == TEXMAP_CLASS_ID && classId == SUNSKY_ENV_CLASS_ID) {
    return host::scene().addMap(std::make_unique<PhysicalSunSkyEnv>());
  }
  if (superClass == CAMERA_CLASS_ID && classId == PHYSICAL_CAMERA_CLASS_ID) {
    return host::scene().addObject(std::make_unique<PhysicalCamera>());
  }
  if (superClass == LIGHT_CLASS_ID && classId == FREE_LIGHT_CLASS_ID) {
    return host::scene().addObject(std::make_unique<FreeLight>());
  }
  if (superClass == LIGHT_CLASS_ID && classId == SUN_POSITIONER_CLASS_ID) {
    return host::scene().addObject(std::make_unique<SunPositioner>());
  }
  return nullptr;
}

void Interface::SetEnvironmentMap(Texmap* map) {
  journal().record("SetEnvironmentMap", map != nullptr ? host::utf16ToUtf8(map->ClassName().str()) : "none");
  host::scene().setEnvironment(map);
}

Texmap* Interface::GetEnvironmentMap() { return host::scene().environment(); }

void Interface::SetRendWidth(int width) {
  journal().record("SetRendWidth", std::to_string(width));
  if (width < 1) return;
  std::lock_guard<std::mutex> hold(core().lock);
  core().renderWidth = width;
}

void Interface::SetRendHeight(int height) {
  journal().record("SetRendHeight", std::to_string(height));
  if (height < 1) return;
  std::lock_guard<std::mutex> hold(core().lock);
  core().renderHeight = height;
}

int Interface::GetRendWidth() {
  std::lock_guard<std::mutex> hold(core().lock);
  return core().renderWidth;
}

int Interface::GetRendHeight() {
  std::lock_guard<std::mutex> hold(core().lock);
  return core().renderHeight;
}

void Interface::SelectNode(INode* node, int clearSelection) {
  journal().record("SelectNode",
                   std::string(node != nullptr ? host::quoted(std::u16string_view(node->GetName())) : "none") + ", " +
                       std::to_string(clearSelection));
  if (clearSelection != 0) host::scene().clearSelection();
  if (node != nullptr) node->setSelected(true);
  host::requestViewportRedraw();
}

void Interface::SelectNodeTab(INodeTab& nodes, BOOL select, BOOL redraw) {
  journal().record("SelectNodeTab",
                   std::to_string(nodes.Count()) + ", " + flag(select != 0) + ", " + flag(redraw != 0));
  for (INode* node : nodes) {
    if (node != nullptr) node->setSelected(select != 0);
  }
  if (redraw != 0) host::requestViewportRedraw();
}

void Interface::ClearNodeSelection(BOOL redraw) {
  journal().record("ClearNodeSelection", flag(redraw != 0));
  host::scene().clearSelection();
  if (redraw != 0) host::requestViewportRedraw();
}

int Interface::GetSelNodeCount() { return static_cast<int>(host::scene().selection().size()); }

INode* Interface::GetSelNode(int i) {
  const std::vector<INode*> selected = host::scene().selection();
  return i >= 0 && i < static_cast<int>(selected.size()) ? selected[static_cast<std::size_t>(i)] : nullptr;
}

void Interface::ViewportZoomExtents(BOOL doAll, BOOL skipPerspective) {
  journal().record("ViewportZoomExtents", flag(doAll != 0) + ", " + flag(skipPerspective != 0));
  // One viewport: the whole scene, whatever is selected.
  host::zoomExtents();
}

void Interface::ForceCompleteRedraw(BOOL doDisabled) {
  journal().record("ForceCompleteRedraw", flag(doDisabled != 0));
  host::requestViewportRedraw();
}

const MCHAR* Interface::GetDir(int which) {
  journal().record("GetDir", std::to_string(which));
  if (which < 0 || which >= 64) return u"";
  std::lock_guard guard(core().lock);
  return core().directories[which].c_str();
}

HWND Interface::GetMAXHWnd() {
  journal().record("GetMAXHWnd");
  return host::mainWindow();
}

void Interface::RegisterDlgWnd(HWND dialog) {
  journal().record("RegisterDlgWnd", host::windowName(dialog));
  std::lock_guard guard(core().lock);
  core().dialogs.push_back(dialog);
}

int Interface::UnRegisterDlgWnd(HWND dialog) {
  journal().record("UnRegisterDlgWnd", host::windowName(dialog));
  std::lock_guard guard(core().lock);
  auto& dialogs = core().dialogs;
  const auto found = std::find(dialogs.begin(), dialogs.end(), dialog);
  if (found == dialogs.end()) return 0;
  dialogs.erase(found);
  return 1;
}

IPathConfigMgr* IPathConfigMgr::GetPathConfigMgr() {
  static IPathConfigMgr instance;
  return &instance;
}

const MCHAR* IPathConfigMgr::GetDir(int which) { return GetCOREInterface()->GetDir(which); }

Interface* GetCOREInterface() {
  static Interface instance;
  return &instance;
}

double GetSystemUnitScale(int type) {
  journal().record("GetSystemUnitScale", std::to_string(type));
  double millimetresPerUnit = 1.0;
  switch (type) {
    case UNITS_INCHES:
      millimetresPerUnit = 25.4;
      break;
    case UNITS_FEET:
      millimetresPerUnit = 304.8;
      break;
    case UNITS_MILES:
      millimetresPerUnit = 1609344.0;
      break;
    case UNITS_MILLIMETERS:
      millimetresPerUnit = 1.0;
      break;
    case UNITS_CENTIMETERS:
      millimetresPerUnit = 10.0;
      break;
    case UNITS_METERS:
      millimetresPerUnit = 1000.0;
      break;
    case UNITS_KILOMETERS:
      millimetresPerUnit = 1000000.0;
      break;
    default:
      break;
  }
  return host::millimetresPer(host::systemUnit()) / millimetresPerUnit;
}

SuspendAll::SuspendAll(BOOL holdSuspend, BOOL macroRecorder, BOOL animate, BOOL setKeyMode, BOOL autoBackup, BOOL xref,
                       BOOL refMessages, BOOL rendering) {
  journal().record("SuspendAll", host::bool3(holdSuspend, macroRecorder, animate) + ", " +
                                     host::bool3(setKeyMode, autoBackup, xref) + ", " + flag(refMessages != 0) + ", " +
                                     flag(rendering != 0));
  std::lock_guard guard(core().lock);
  core().suspended += 1;
}

SuspendAll::~SuspendAll() { Resume(); }

void SuspendAll::Resume() {
  if (!active_) return;
  active_ = false;
  journal().record("Resume");
  bool resumed = false;
  {
    std::lock_guard guard(core().lock);
    core().suspended -= 1;
    resumed = core().suspended == 0;
  }
  // The viewport draws again what the suspended work built.
  if (resumed) host::requestViewportRedraw();
}

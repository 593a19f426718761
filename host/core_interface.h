#pragma once
// The host's core interface, reached through GetCOREInterface(), and the
// free functions the plug-in calls beside it.
#include <atomic>
#include <string>
#include <vector>

#include "host/host_types.h"
#include "host/node.h"
#include "host/wstr.h"

class Animatable;
class IActionManager;
class IMenuManager;
class Object;
class Texmap;

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

class Interface {
 public:
  // Status-bar progress. The work function runs at once, on this thread;
  // callers that move the bar themselves pass one that returns 0.
  bool ProgressStart(const MCHAR* title, BOOL showBar, LPTHREAD_START_ROUTINE fn, LPVOID arg);
  void ProgressUpdate(int percent, BOOL showPercent = TRUE, const MCHAR* title = nullptr);
  void ProgressEnd();
  BOOL GetCancel();
  void SetCancel(BOOL cancel);

  void DisableSceneRedraw();
  void EnableSceneRedraw();
  bool IsSceneRedrawDisabled() const;

  INode* CreateObjectNode(Object* object);
  // The scene's root node (it holds, for instance, plug-ins' app data).
  INode* GetRootNode();
  // A new material, map, camera or light of a known class, in the host
  // scene; null for any other class.
  Animatable* CreateInstance(SClass_ID superClass, Class_ID classId);
  // Rendering > Environment: the map behind the scene (null for none).
  void SetEnvironmentMap(Texmap* map);
  Texmap* GetEnvironmentMap();
  // Render Setup's output size in pixels (640 x 480 until set): a camera's
  // aspect. Sizes below 1 are journaled and ignored.
  void SetRendWidth(int width);
  void SetRendHeight(int height);
  int GetRendWidth();
  int GetRendHeight();
  void SelectNode(INode* node, int clearSelection = 1);
  void SelectNodeTab(INodeTab& nodes, BOOL select, BOOL redraw = TRUE);
  void ClearNodeSelection(BOOL redraw = TRUE);
  int GetSelNodeCount();
  INode* GetSelNode(int i);

  // The views an import ends with: zoom to the scene's extents, then a
  // complete redraw.
  void ViewportZoomExtents(BOOL doAll, BOOL skipPerspective = FALSE);
  void ForceCompleteRedraw(BOOL doDisabled = TRUE);

  // Path configuration; APP_DOWNLOAD_DIR is the download directory.
  const MCHAR* GetDir(int which);

  // The host's main window, owner of the plug-ins' dialogs.
  HWND GetMAXHWnd();
  // Modeless dialogs the host is told about, so that it passes them their
  // keyboard input. UnRegisterDlgWnd gives 1 for a dialog that was
  // registered, 0 otherwise.
  void RegisterDlgWnd(HWND dialog);
  int UnRegisterDlgWnd(HWND dialog);

  // The action manager (host/actions.h); null while the host has none.
  IActionManager* GetActionManager();
  // The menu manager (host/menus.h); null while the host has none.
  IMenuManager* GetMenuManager();
};

Interface* GetCOREInterface();

// Path configuration, as the host's manager of configured directories.
class IPathConfigMgr {
 public:
  static IPathConfigMgr* GetPathConfigMgr();
  const MCHAR* GetDir(int which);
};

// Units of `type` (UNITS_MILLIMETERS, ...) per system unit.
double GetSystemUnitScale(int type);

// Suspends host activity for its lifetime (or until Resume), with the
// host's eight switches in order.
class SuspendAll {
 public:
  SuspendAll(BOOL holdSuspend = FALSE, BOOL macroRecorder = FALSE, BOOL animate = FALSE, BOOL setKeyMode = FALSE,
             BOOL autoBackup = FALSE, BOOL xref = FALSE, BOOL refMessages = FALSE, BOOL rendering = FALSE);
  ~SuspendAll();
  SuspendAll(const SuspendAll&) = delete;
  SuspendAll& operator=(const SuspendAll&) = delete;
  void Resume();

 private:
  bool active_ = true;
};

// MAXScript.
namespace MAXScript {
enum ScriptSource { Dynamic = 0, NonEmbedded = 1, Embedded = 2, NotSpecified = 3 };
}

class FPValue {
 public:
  void Init() { initialised_ = true; }
  void Free() { initialised_ = false; }
  bool initialised() const { return initialised_; }

 private:
  bool initialised_ = false;
};

BOOL ExecuteMAXScriptScript(const MCHAR* script, MAXScript::ScriptSource source, BOOL quietErrors = FALSE,
                            FPValue* result = nullptr, BOOL logQuietErrors = TRUE);

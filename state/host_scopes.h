#pragma once
// Scopes for the host's paired calls, so that every way out of the
// plug-in's long work ends what it began: the status-bar progress and
// scene redraw. Built on the host's interface alone.
#include "host/max.h"

namespace cvimp {

// ProgressStart (bar shown, a work function that does nothing: the owner
// moves the bar) for its lifetime; ProgressEnd when it ends or goes.
class ProgressScope {
 public:
  explicit ProgressScope(const MCHAR* title) {
    GetCOREInterface()->ProgressStart(title, TRUE, &ProgressScope::noWork, nullptr);
  }
  ~ProgressScope() { end(); }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

  // The bar at `percent`, shown as a number.
  void update(int percent) { GetCOREInterface()->ProgressUpdate(percent, TRUE, nullptr); }
  void end() {
    if (active_) GetCOREInterface()->ProgressEnd();
    active_ = false;
  }

 private:
  static DWORD noWork(LPVOID) { return 0; }
  bool active_ = true;
};

// Scene redraw off for its lifetime (or until restore()).
class SceneRedrawOff {
 public:
  SceneRedrawOff() { GetCOREInterface()->DisableSceneRedraw(); }
  ~SceneRedrawOff() { restore(); }
  SceneRedrawOff(const SceneRedrawOff&) = delete;
  SceneRedrawOff& operator=(const SceneRedrawOff&) = delete;

  void restore() {
    if (active_) GetCOREInterface()->EnableSceneRedraw();
    active_ = false;
  }

 private:
  bool active_ = true;
};

}  // namespace cvimp

#pragma once
// What the plug-in's commands, its import window, its jobs and its import
// driver share: the windows it has open, the scene to import and the
// import options; how a job holds the host; how outcomes are reported.
#include <string_view>

#include "host/max.h"
#include "state/host_scopes.h"  // ProgressScope, SceneRedrawOff

namespace cvimp {

// The plug-in's global utility object holds the one of a run of the host;
// fields are read and written directly, on the host's main thread.
struct PluginState {
  HWND importWindow = nullptr;
  HWND aboutWindow = nullptr;
  WStr scenePath;  // the scene file the import driver reads
  // Import options, side by side in this order.
  bool importMesh = true;
  bool importCamera = true;
  bool importMaterial = true;
  bool importLight = true;
  bool importAnimation = true;
  bool quadrifyMesh = false;
  // Set by the import window's first set-up in a run; cleared by Stop.
  bool frameworkStarted = false;

  // What the import command does to the options each time it is chosen.
  void resetImportOptions();
};

// Holds the host while a job or the local test import runs: SuspendAll
// with only the automatic backup suspended (the fifth of its switches:
// hold, macro recorder, animate, set key, auto backup, xref, reference
// messages, rendering).
class JobSuspension {
 public:
  void resume() { suspend_.Resume(); }

 private:
  SuspendAll suspend_{FALSE, FALSE, FALSE, FALSE, TRUE, FALSE, FALSE, FALSE};
};

// Every job and import reports its outcome through here: the result text
// the page reads and the flag returned with it. A breakpoint here stops at
// each outcome; one on `fail` at the first failure.
bool setOutcome(WStr& result, std::u16string_view text, bool succeeded);
inline bool succeed(WStr& result, std::u16string_view text = u"Succeed") { return setOutcome(result, text, true); }
inline bool fail(WStr& result, std::u16string_view text) { return setOutcome(result, text, false); }

}  // namespace cvimp

#pragma once
// The plug-in's global utility object: started and stopped by the host, it
// holds the state the plug-in's commands, import window, jobs and import
// driver share.
#include <memory>

#include "host/max.h"
#include "state/plugin_state.h"

class CvimpGUP : public GUP, public cvimp::PluginState {
 public:
  CvimpGUP() = default;
  ~CvimpGUP() override;

  // Activates the commands and puts the "Casavia (&K)" menu into the main
  // menu bar, before its last three menus. Always GUPRESULT_KEEP.
  DWORD Start() override;
  // The commands stop answering; browsers of the run are shut down.
  void Stop() override;
  DWORD_PTR Control(DWORD) override { return 0; }

  // Created by the first Start (a CvimpActionCallback), deleted with the object.
  std::unique_ptr<ActionCallback> actionCallback;
};

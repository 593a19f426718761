#pragma once
// The plug-in's commands, as the host runs them from the "Casavia (&K)"
// menu and the Shift shortcuts: import, quadrify, help and about.
#include "host/max.h"

class CvimpGUP;

class CvimpActionCallback : public ActionCallback {
 public:
  explicit CvimpActionCallback(CvimpGUP* gup) : gup(gup) {}

  // True for the plug-in's four command ids, false for any other.
  BOOL ExecuteAction(int id) override;

  CvimpGUP* gup;  // not owned: the object that made the callback
};

#pragma once
// The plug-in's global utility object: the state its commands, its import
// window, its jobs and the import driver share. Fields are read and written
// directly, on the host's main thread.
#include <memory>

#include "host/gup.h"
#include "host/wstr.h"

class CvimpGUP : public GUP {
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
  HWND importWindow = nullptr;
  HWND aboutWindow = nullptr;
  WStr scenePath;
  // Import options, side by side in this order.
  bool importMesh = true;
  bool importCamera = true;
  bool importMaterial = true;
  bool importLight = true;
  bool importAnimation = true;
  bool quadrifyMesh = false;
  bool frameworkStarted = false;

  // What the import command does to the options each time it is chosen.
  void resetImportOptions();
};

#pragma once
// What the plug-in's commands, its import window, its jobs and its import
// driver share: the windows it has open, the scene to import and the
// import options. The plug-in's global utility object holds the one of a
// run of the host; fields are read and written directly, on the host's
// main thread.
#include "host/max.h"

namespace cvimp {

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

}  // namespace cvimp

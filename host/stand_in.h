#pragma once
// What only the stand-in host has, for the programs that play 3ds Max and
// for tests: the settings a user makes in 3ds Max, the progress bar's
// cancel button, the journal of calls, the scene as data, JSON and totals,
// the download directory, dialog templates and the loader of plug-in
// modules. Also everything of host/max.h.
#include "host/dialog_templates.h"    // registerDialogTemplate
#include "host/download_directory.h"  // useDownloadDirectory
#include "host/host_state.h"          // system unit, directories, cancel, progress, reset
#include "host/journal.h"             // journal(): every call made into the host
#include "host/max.h"
#include "host/named_params.h"    // parameters of cameras and lights by internal name
#include "host/scene.h"           // scene(): nodes, objects, materials, maps
#include "host/scene_json.h"      // sceneJson()
#include "host/scene_summary.h"   // countScene(), nodeRows()
#include "host/viewport.h"        // the viewport's view, camera and style
#include "host/window_handles.h"  // mainWindow(), windowName()

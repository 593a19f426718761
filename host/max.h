#pragma once
// The stand-in for the 3ds Max SDK and Win32 as the plug-in calls them: the
// one header plug-in code includes from the host (windows are in
// host/gui/windows.h). Names follow 3ds Max's, so that a port onto the real
// SDK rewrites host/ alone.
#include "host/actions.h"         // ActionTable, ActionCallback, IActionManager
#include "host/bitmap_tex.h"      // BitmapTex, Bitmap, StdUVGen, the asset manager
#include "host/camera.h"          // CameraObject, the Physical Camera
#include "host/class_desc.h"      // ClassDesc
#include "host/color.h"           // Color
#include "host/core_interface.h"  // GetCOREInterface: progress, selection, views, paths; SuspendAll; MAXScript
#include "host/geometry.h"        // Point3, Matrix3
#include "host/gup.h"             // GUP
#include "host/host_types.h"      // BOOL, DWORD, HWND, Class_ID, FOREVER, unit and directory codes
#include "host/lights.h"          // LightObject, the photometric Free Light, the Sun Positioner
#include "host/menus.h"           // IMenuManager, IMenu, IMenuItem
#include "host/mesh.h"            // Mesh, Face, MeshNormalSpec, MeshMap
#include "host/mtl.h"             // Animatable, Mtl, Texmap, the Physical Material and Mix classes
#include "host/multi_mtl.h"       // MultiMtl, the Multi/Sub-Object material, and which sub-material a face shows
#include "host/node.h"            // INode, INodeTab
#include "host/objects.h"         // Object, TriObject, CreateNewTriObject
#include "host/param_block.h"     // IParamBlock2
#include "host/plugin_module.h"   // DllMain, DisableThreadLibraryCalls, VERSION_3DSMAX
#include "host/poly_object.h"     // PolyObject, MNMesh
#include "host/resources.h"       // LoadStringW, LoadAcceleratorsW, resource tables
#include "host/shell.h"           // ShellExecuteW
#include "host/sun_sky.h"         // the Physical Sun & Sky environment map
#include "host/tab.h"             // Tab
#include "host/wstr.h"            // WStr, CStr

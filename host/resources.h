#pragma once
// A module's resources: string tables, accelerator tables and dialog
// templates, and the Win32 calls that read them through the module's
// handle. On Windows they live in the DLL's resource section; here a module
// hands the loader a ResourceDirectory (its "HostModuleResources" export),
// which the loader registers under the module's handle.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "host/host_types.h"

struct HACCEL__;
using HACCEL = HACCEL__*;

// One accelerator: flags, key (a virtual-key code with FVIRTKEY) and command.
struct ACCEL {
  BYTE fVirt = 0;
  WORD key = 0;
  WORD cmd = 0;
  friend bool operator==(const ACCEL&, const ACCEL&) = default;
};
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FNOINVERT = 0x02;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;

// Window and dialog styles the templates and windows use.
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD DS_MODALFRAME = 0x00000080;
constexpr DWORD DS_SETFONT = 0x00000040;
constexpr DWORD SS_LEFT = 0x00000000;
constexpr DWORD SS_NOTIFY = 0x00000100;

namespace host {

constexpr WORD kLanguageChineseSimplified = 2052;
// Set on the flags of an accelerator table's last entry in the resource;
// LoadAcceleratorsW drops it.
constexpr BYTE kAcceleratorEndMark = 0x80;

struct StringResource {
  UINT id = 0;
  std::u16string_view text;
};
struct StringTable {
  WORD language = 0;
  std::span<const StringResource> entries;
};
struct AcceleratorResource {
  int id = 0;
  std::span<const ACCEL> entries;
};
// Positions and sizes in dialog units.
struct DialogControl {
  int id = -1;  // -1: a control without an id
  std::u16string_view className;
  std::u16string_view text;
  DWORD style = 0;
  int x = 0, y = 0, width = 0, height = 0;
};
struct DialogResource {
  int id = 0;
  std::u16string_view caption;
  DWORD style = 0;
  int width = 0, height = 0;
  std::u16string_view font;
  int pointSize = 0;
  std::span<const DialogControl> controls;
};
struct ResourceDirectory {
  std::span<const StringTable> stringTables;
  std::span<const AcceleratorResource> accelerators;
  std::span<const DialogResource> dialogs;
};

// Makes `resources` the resources of `module` (nullptr takes them away) and
// registers its dialog templates with the window layer. The directory must
// outlive the registration.
void registerModuleResources(HINSTANCE module, const ResourceDirectory* resources);
// Makes the dialog templates known to CreateDialogParamW (registering a
// module's resources does this for its dialogs).
void registerDialogs(std::span<const DialogResource> dialogs);
const ResourceDirectory* moduleResources(HINSTANCE module);

// The entries of a table from LoadAcceleratorsW; empty for an unknown one.
std::vector<ACCEL> acceleratorEntries(HACCEL table);

}  // namespace host

// Copies string `id` of the module into `buffer` (at most bufferMax - 1
// characters and a terminating zero) and returns its length; 0 when the
// module or the string is unknown. With bufferMax 0, stores a read-only
// pointer to the text in *buffer instead, as Windows does.
int LoadStringW(HINSTANCE module, UINT id, MCHAR* buffer, int bufferMax);
// The module's accelerator table `id`; null when there is none. The host
// keeps the table for the life of the process.
HACCEL LoadAcceleratorsW(HINSTANCE module, int id);

#pragma once
// The basic types and identifiers the host's interface is written in.
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using DWORD_PTR = std::uintptr_t;
using MtlID = std::uint16_t;
using TimeValue = int;
// Host strings are UTF-16 on every platform.
using MCHAR = char16_t;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Window handles: opaque on this platform until windows are shown.
struct HWND__;
using HWND = HWND__*;
// A loaded module (the address it is loaded at).
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using LPVOID = void*;
using INT_PTR = std::intptr_t;

// The host's colour word: red in the low byte.
constexpr DWORD RGB(int r, int g, int b) {
  return static_cast<DWORD>(r & 0xFF) | (static_cast<DWORD>(g & 0xFF) << 8) | (static_cast<DWORD>(b & 0xFF) << 16);
}

// A closed range of times; FOREVER covers the host's whole time line.
class Interval {
 public:
  constexpr Interval() = default;
  constexpr Interval(TimeValue start, TimeValue end) : start_(start), end_(end) {}
  constexpr TimeValue Start() const { return start_; }
  constexpr TimeValue End() const { return end_; }
  friend constexpr bool operator==(const Interval&, const Interval&) = default;

 private:
  TimeValue start_ = 0;
  TimeValue end_ = 0;
};
constexpr Interval FOREVER(-2147483647 - 1, 2147483647);

using SClass_ID = ULONG;

class Class_ID {
 public:
  constexpr Class_ID() = default;
  constexpr Class_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
  constexpr ULONG PartA() const { return a_; }
  constexpr ULONG PartB() const { return b_; }
  friend constexpr bool operator==(const Class_ID&, const Class_ID&) = default;

 private:
  ULONG a_ = 0xFFFFFFFF;
  ULONG b_ = 0xFFFFFFFF;
};

// Super classes.
constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x10;
constexpr SClass_ID GUP_CLASS_ID = 0x10E0;
constexpr SClass_ID MATERIAL_CLASS_ID = 0xC00;
constexpr SClass_ID TEXMAP_CLASS_ID = 0xC10;

// Classes of the stand-in's scene objects.
constexpr Class_ID TRIOBJ_CLASS_ID(0x0009, 0);
constexpr Class_ID EPOLYOBJ_CLASS_ID(0x1bf8338d, 0x192f6098);

// Unit codes of GetSystemUnitScale.
constexpr int UNITS_INCHES = 0;
constexpr int UNITS_FEET = 1;
constexpr int UNITS_MILES = 2;
constexpr int UNITS_MILLIMETERS = 3;
constexpr int UNITS_CENTIMETERS = 4;
constexpr int UNITS_METERS = 5;
constexpr int UNITS_KILOMETERS = 6;

// Path configuration directories.
constexpr int APP_DOWNLOAD_DIR = 33;

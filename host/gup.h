#pragma once
// Global utility plug-ins: the host creates one at start-up, starts it,
// stops it at shutdown and then deletes it.
#include "host/actions.h"  // ActionCallback
#include "host/core_interface.h"
#include "host/host_types.h"

constexpr DWORD GUPRESULT_KEEP = 0x00;
constexpr DWORD GUPRESULT_NOKEEP = 0x01;
constexpr DWORD GUPRESULT_ABORT = 0x03;

class GUP {
 public:
  GUP() = default;
  GUP(const GUP&) = delete;
  GUP& operator=(const GUP&) = delete;
  virtual ~GUP() = default;

  virtual DWORD Start() { return GUPRESULT_KEEP; }
  virtual void Stop() {}
  virtual DWORD_PTR Control(DWORD) { return 0; }
  virtual void DeleteThis() { delete this; }
  Interface* Max() { return GetCOREInterface(); }
};

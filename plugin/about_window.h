#pragma once
// The About window: dialog 104, modeless, owned by the host's main window,
// with a link to the platform's user agreement.
#include <cstdint>

#include "host/gui/windows.h"

std::intptr_t aboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

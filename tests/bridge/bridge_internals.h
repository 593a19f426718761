#pragma once
// The import window's and the page bridge's inner parts, for their own tests.
#include "bridge/bridge.h"
#include "bridge/import_window.h"
#include "bridge/page_bridge.h"

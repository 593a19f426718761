#pragma once
// The browser layer's inner parts, for its tests and fuzzing: how a page's
// call is read.
#include "bridge/webview/page_call.h"
#include "bridge/webview/webview.h"

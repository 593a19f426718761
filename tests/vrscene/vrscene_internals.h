#pragma once
// The scene reader's inner parts, for its own tests: the readers of the
// syntax, the loader's include set and text parsing, the cuts of a large
// text, the packed decoders.
#include "vrscene/diagnostics.h"
#include "vrscene/inflate.h"
#include "vrscene/loader.h"
#include "vrscene/packed.h"
#include "vrscene/readers.h"
#include "vrscene/statement_scan.h"
#include "vrscene/vrscene.h"

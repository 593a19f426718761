// The reader's suites read every file in pieces, however small, so that the
// reading in pieces meets every case they hold.
#include "vrscene/vrscene.h"

namespace {

const bool kEveryFileInPieces = [] {
  cvimp::setSplitBytes(1);
  return true;
}();

}  // namespace

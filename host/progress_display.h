#pragma once
// The progress bar drawn on standard error when it is a terminal.
#include <string_view>

namespace host {

void drawProgress(std::u16string_view title, int percent);
void clearProgress();

}  // namespace host

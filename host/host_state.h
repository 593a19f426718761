#pragma once
// What the stand-in host offers beyond 3ds Max's own interface: settings a
// user would make in the host (system unit, directories), the cancel button,
// and state that tests and the command line read.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_types.h"

namespace host {

enum class SystemUnit { Millimeters, Centimeters, Meters, Inches, Feet };

void setSystemUnit(SystemUnit unit);
SystemUnit systemUnit();
// "mm", "cm", "m", "in", "ft".
std::string_view unitName(SystemUnit unit);
std::optional<SystemUnit> parseUnit(std::string_view name);

// Path configuration directories (APP_DOWNLOAD_DIR, ...).
void setDirectory(int which, std::u16string path);

// The cancel button of the progress bar. Safe to call from a signal handler.
void pressCancel();
// Presses the cancel button as the `query`-th GetCancel from now is made
// (1 = the next one): a user's click at a known point of long work.
// 0 takes the arrangement back.
void pressCancelAtQuery(int query);

struct ProgressState {
  bool shown = false;
  std::u16string title;
  int percent = 0;
  int starts = 0;  // ProgressStart calls so far
  int ends = 0;    // ProgressEnd calls so far
};
ProgressState progress();

int sceneRedrawDisabledDepth();
int suspendDepth();
// Scripts run through ExecuteMAXScriptScript, in order.
std::vector<std::u16string> executedScripts();

// Dialogs registered with RegisterDlgWnd and not unregistered, in order.
std::vector<HWND> registeredDialogs();

// Draws the progress bar on standard error when it is a terminal.
void setProgressOnTerminal(bool enabled);
// Called after each ProgressStart, ProgressUpdate and ProgressEnd with the
// bar as it now stands (a host window showing it; null: none). Kept across
// reset.
void setProgressListener(std::function<void(const ProgressState&)> listener);

// Back to a fresh host: empty scene and journal, millimetres, no
// suspension, no progress, no scripts, no registered dialogs, no action
// contexts, registered tables or activations, and only the default menu bar
// (every menu and item made so far is freed). Directories are kept, and so
// are the action tables, which their makers own.
void reset();

}  // namespace host

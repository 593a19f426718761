// cvimp-window: `cvimp window`, the import window on the stand-in host with
// its embedded browser; cvimp runs it with its own arguments.
#include "cli/command_line.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  cvimp::platform::useUtf8Console();
  const std::vector<std::string> arguments = cvimp::platform::programArguments(argc, argv);
  cvimp::CommandLine line;
  if (const std::optional<int> status = line.parse(arguments)) return *status;
  if (line.windowCommand->parsed()) return cvimp::runWindow(line.window);
  std::fprintf(stderr, "cvimp-window: runs window; use cvimp for the others\n");
  return 2;
}

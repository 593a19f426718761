// cvimp: the command-line face of the Casavia importer on this platform.
// Reading and importing scenes runs here; the other commands run in the
// programs beside it that link what they need.
#include "cli/command_line.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  cvimp::platform::useUtf8Console();
  const std::vector<std::string> arguments = cvimp::platform::programArguments(argc, argv);
  cvimp::CommandLine line;
  if (const std::optional<int> status = line.parse(arguments)) return *status;
  if (line.inspectCommand->parsed()) return cvimp::runInspect(line.inspect);
  if (line.importCommand->parsed()) return cvimp::runImport(line.import);
  if (line.windowCommand->parsed()) return cvimp::runSiblingProgram("cvimp-window", arguments);
  return cvimp::runSiblingProgram("cvimp-jobs", arguments);
}

// cvimp-jobs: the commands of `cvimp` that download, unzip and serve (job,
// demo, serve); cvimp runs it with its own arguments.
#include "cli/command_line.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  cvimp::platform::useUtf8Console();
  const std::vector<std::string> arguments = cvimp::platform::programArguments(argc, argv);
  cvimp::CommandLine line;
  if (const std::optional<int> status = line.parse(arguments)) return *status;
  if (line.jobCommand->parsed()) return cvimp::runJobCommand(line.job);
  if (line.demoCommand->parsed()) return cvimp::runDemo(line.demo);
  if (line.serveCommand->parsed()) return cvimp::runServe(line.serve);
  std::fprintf(stderr, "cvimp-jobs: runs job, demo and serve; use cvimp for the others\n");
  return 2;
}

#pragma once
// The `cvimp` command line, shared by the programs that run its commands:
// cvimp itself (inspect, import), cvimp-jobs (job, demo, serve: the ones
// that link the download, zip and HTTP libraries) and cvimp-window (window:
// the one that links the browser engine). cvimp starts the other two from
// beside itself with its own arguments, so that a command loads only the
// libraries it uses.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/demo_command.h"
#include "cli/import_command.h"
#include "cli/inspect.h"
#include "cli/job_command.h"
#include "cli/serve_command.h"
#include "cli/window_command.h"

namespace cvimp {

class CommandLine {
 public:
  CLI::App app{"cvimp: the Casavia importer for 3ds Max, on the stand-in host"};
  InspectOptions inspect;
  ImportOptions import;
  JobOptions job;
  DemoOptions demo;
  ServeOptions serve;
  WindowOptions window;
  CLI::App* inspectCommand = nullptr;
  CLI::App* importCommand = nullptr;
  CLI::App* jobCommand = nullptr;
  CLI::App* demoCommand = nullptr;
  CLI::App* serveCommand = nullptr;
  CLI::App* windowCommand = nullptr;

  CommandLine();
  // Parses the arguments (the program's name first, UTF-8); on a parse
  // error, help, a job command without its job or a command this build
  // cannot run, the exit status to end with.
  std::optional<int> parse(const std::vector<std::string>& arguments);

 private:
  bool noMesh_ = false;
  bool noMaterials_ = false;
  bool noCameras_ = false;
  bool noLights_ = false;
};

// Runs `program` (cvimp-jobs or cvimp-window, beside this program) in this
// process's place, with this program's arguments after its name; returns
// only on failure, with the status.
int runSiblingProgram(const char* program, const std::vector<std::string>& arguments);

}  // namespace cvimp

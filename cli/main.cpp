// cvimp: the command-line face of the Casavia importer on this platform.
#include <CLI/CLI.hpp>

#include "cli/inspect.h"

int main(int argc, char** argv) {
  CLI::App app{"cvimp: the Casavia importer for 3ds Max, on the stand-in host"};
  app.require_subcommand(1);

  cvimp::InspectOptions inspect;
  CLI::App* inspectCommand = app.add_subcommand("inspect", "Load and prebuild a scene, print a summary");
  inspectCommand->add_option("SCENE", inspect.scenePath, "V-Ray scene file (.vrscene)")->required();
  inspectCommand->add_option("-o,--output", inspect.outputPath, "Write the parsed document as JSON");
  inspectCommand->add_flag("--verbose", inspect.verbose, "Print the names of included files");

  CLI11_PARSE(app, argc, argv);
  if (inspectCommand->parsed()) return cvimp::runInspect(inspect);
  return 1;
}

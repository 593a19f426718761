// cvimp: the command-line face of the Casavia importer on this platform.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/demo_command.h"
#include "cli/serve_command.h"
#include "cli/import_command.h"
#include "cli/inspect.h"
#include "cli/job_command.h"
#include "platform/platform.h"

namespace {

// The import window is a program of its own, cvimp-window beside this one:
// it alone links the browser engine and GTK, so every other command starts
// without them.
int runWindowProgram(const std::string& url, const std::string& downloadDir) {
  const std::filesystem::path self = cvimp::platform::executablePath();
  const std::string program = (self.parent_path() / "cvimp-window").string();
  std::vector<std::string> arguments{"cvimp-window"};
  if (!url.empty()) arguments.insert(arguments.end(), {"--url", url});
  if (!downloadDir.empty()) arguments.insert(arguments.end(), {"--download-dir", downloadDir});
  const std::string error = cvimp::platform::replaceProcess(program, arguments);
  std::fprintf(stderr, "cvimp window: cannot start %s: %s\n", program.c_str(), error.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"cvimp: the Casavia importer for 3ds Max, on the stand-in host"};
  app.require_subcommand(1);

  cvimp::InspectOptions inspect;
  CLI::App* inspectCommand = app.add_subcommand("inspect", "Load and prebuild a scene, print a summary");
  inspectCommand->add_option("SCENE", inspect.scenePath, "V-Ray scene file (.vrscene)")->required();
  inspectCommand->add_option("-o,--output", inspect.outputPath, "Write the parsed document as JSON");
  inspectCommand->add_flag("--verbose", inspect.verbose, "Print the names of included files");

  cvimp::ImportOptions import;
  bool noMesh = false;
  bool noMaterials = false;
  const std::map<std::string, host::SystemUnit> units = {{"mm", host::SystemUnit::Millimeters},
                                                         {"cm", host::SystemUnit::Centimeters},
                                                         {"m", host::SystemUnit::Meters},
                                                         {"in", host::SystemUnit::Inches},
                                                         {"ft", host::SystemUnit::Feet}};
  CLI::App* importCommand = app.add_subcommand("import", "Import a scene into the stand-in host");
  importCommand->add_option("SCENE", import.scenePath, "V-Ray scene file (.vrscene)")->required();
  importCommand->add_option("--unit", import.unit, "System unit of the host: mm, cm, m, in or ft")
      ->transform(CLI::CheckedTransformer(units, CLI::ignore_case));
  importCommand->add_flag("--no-mesh", noMesh, "Create no nodes, meshes or materials");
  importCommand->add_flag("--no-materials", noMaterials, "Create no materials");
  importCommand->add_flag("--quadrify", import.quadrify, "Turn the imported objects into quad polygons");
  importCommand->add_option("-o,--output", import.outputPath, "Write the host scene as JSON");

  cvimp::JobOptions job;
  CLI::App* jobCommand = app.add_subcommand("job", "Run one job text through the dispatcher");
  auto* jobText = jobCommand->add_option("JSON", job.jobText, "The job, a JSON object");
  jobCommand->add_option("-f,--file", job.jobFile, "Read the job from this file")->excludes(jobText);
  jobCommand->add_option("--download-dir", job.downloadDir,
                         "The host's download directory (default: cvimp/downloads in the user's cache)");

  cvimp::DemoOptions demo;
  demo.designFolder = CVIMP_SAMPLE_DESIGN;
  CLI::App* demoCommand = app.add_subcommand("demo", "Import the sample design through a real package and job");
  demoCommand->add_option("--design", demo.designFolder, "The design folder to package");
  demoCommand->add_option("--download-dir", demo.downloadDir, "The host's download directory");
  demoCommand->add_option("-o,--output", demo.outputPath, "Write the host scene as JSON");

  std::string windowUrl;
  std::string windowDownloadDir;
  CLI::App* windowCommand = app.add_subcommand("window", "Open the import window and run jobs from its page");
  windowCommand->add_option("--url", windowUrl, "Show this page instead of the platform's");
  windowCommand->add_option("--download-dir", windowDownloadDir, "The host's download directory");

  cvimp::ServeOptions serve;
  serve.designFolder = CVIMP_SAMPLE_DESIGN;
  serve.pageFile = CVIMP_TEST_PAGE;
  CLI::App* serveCommand =
      app.add_subcommand("serve", "Serve the sample package and the test page for maxhost's import window");
  serveCommand->add_option("--design", serve.designFolder, "The design folder to package");
  serveCommand->add_option("--page", serve.pageFile, "The page to serve at the platform page's path");

  CLI11_PARSE(app, argc, argv);
  if (serveCommand->parsed()) return cvimp::runServe(serve);
  if (windowCommand->parsed()) return runWindowProgram(windowUrl, windowDownloadDir);
  if (demoCommand->parsed()) return cvimp::runDemo(demo);
  if (jobCommand->parsed()) {
    if (job.jobText.empty() && job.jobFile.empty()) {
      std::fprintf(stderr, "cvimp job: give the job text or --file\n");
      return 2;
    }
    return cvimp::runJobCommand(job);
  }
  if (inspectCommand->parsed()) return cvimp::runInspect(inspect);
  if (importCommand->parsed()) {
    import.importMesh = !noMesh;
    import.importMaterial = !noMaterials;
    return cvimp::runImport(import);
  }
  return 1;
}

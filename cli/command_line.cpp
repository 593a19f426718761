#include "cli/command_line.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/platform.h"

namespace cvimp {

namespace {
constexpr bool kWindowCommands = CVIMP_WINDOW_COMMANDS;
}  // namespace

CommandLine::CommandLine() {
  app.require_subcommand(1);

  inspectCommand = app.add_subcommand("inspect", "Load and prebuild a scene, print a summary");
  inspectCommand->add_option("SCENE", inspect.scenePath, "V-Ray scene file (.vrscene)")->required();
  inspectCommand->add_option("-o,--output", inspect.outputPath, "Write the parsed document as JSON");
  inspectCommand->add_flag("--verbose", inspect.verbose, "Print the names of included files");

  const std::map<std::string, host::SystemUnit> units = {{"mm", host::SystemUnit::Millimeters},
                                                         {"cm", host::SystemUnit::Centimeters},
                                                         {"m", host::SystemUnit::Meters},
                                                         {"in", host::SystemUnit::Inches},
                                                         {"ft", host::SystemUnit::Feet}};
  importCommand = app.add_subcommand("import", "Import a scene into the stand-in host");
  importCommand->add_option("SCENE", import.scenePath, "V-Ray scene file (.vrscene)")->required();
  importCommand->add_option("--unit", import.unit, "System unit of the host: mm, cm, m, in or ft")
      ->transform(CLI::CheckedTransformer(units, CLI::ignore_case));
  importCommand->add_flag("--no-mesh", noMesh_, "Create no nodes, meshes or materials");
  importCommand->add_flag("--no-materials", noMaterials_, "Create no materials");
  importCommand->add_flag("--no-cameras", noCameras_, "Create no camera from the render view");
  importCommand->add_flag("--no-lights", noLights_, "Create no lights, sun or environment");
  importCommand->add_flag("--quadrify", import.quadrify, "Turn the imported objects into quad polygons");
  importCommand->add_option("-o,--output", import.outputPath, "Write the host scene as JSON");
  importCommand->add_option("--gltf", import.gltfPath, "Write the host scene as binary glTF 2.0 (.glb)");

  jobCommand = app.add_subcommand("job", "Run one job text through the dispatcher");
  auto* jobText = jobCommand->add_option("JSON", job.jobText, "The job, a JSON object");
  jobCommand->add_option("-f,--file", job.jobFile, "Read the job from this file")->excludes(jobText);
  jobCommand->add_option("--download-dir", job.downloadDir,
                         "The host's download directory (default: cvimp/downloads in the user's cache)");

  demo.designFolder = CVIMP_SAMPLE_DESIGN;
  demoCommand = app.add_subcommand("demo", "Import the sample design through a real package and job");
  demoCommand->add_option("--design", demo.designFolder, "The design folder to package");
  demoCommand->add_option("--download-dir", demo.downloadDir, "The host's download directory");
  demoCommand->add_option("-o,--output", demo.outputPath, "Write the host scene as JSON");
  demoCommand->add_option("--gltf", demo.gltfPath, "Write the host scene as binary glTF 2.0 (.glb)");

  windowCommand = app.add_subcommand("window", "Open the import window and run jobs from its page");
  windowCommand->add_option("--url", window.url, "Show this page instead of the platform's");
  windowCommand->add_option("--download-dir", window.downloadDir, "The host's download directory");

  serve.designFolder = CVIMP_SAMPLE_DESIGN;
  serve.pageFile = CVIMP_TEST_PAGE;
  serveCommand = app.add_subcommand("serve", "Serve the sample package and the test page for maxhost's import window");
  serveCommand->add_option("--design", serve.designFolder, "The design folder to package");
  serveCommand->add_option("--page", serve.pageFile, "The page to serve at the platform page's path");
}

std::optional<int> CommandLine::parse(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  }
  // The import window and the page server that feeds it need GTK and
  // WebKit, which only the Linux build has.
  for (CLI::App* command : {windowCommand, serveCommand}) {
    if (!kWindowCommands && command->parsed()) {
      std::fprintf(stderr, "cvimp %s: not available on Windows (the import window runs on Linux)\n",
                   command->get_name().c_str());
      return 1;
    }
  }
  import.importMesh = !noMesh_;
  import.importMaterial = !noMaterials_;
  import.importCamera = !noCameras_;
  import.importLight = !noLights_;
  if (jobCommand->parsed() && job.jobText.empty() && job.jobFile.empty()) {
    std::fprintf(stderr, "cvimp job: give the job text or --file\n");
    return 2;
  }
  return std::nullopt;
}

int runSiblingProgram(const char* program, const std::vector<std::string>& arguments) {
  const std::string self = platform::executablePath();
  if (self.empty()) {
    std::fprintf(stderr, "cvimp: cannot tell where cvimp is, to start %s beside it\n", program);
    return 1;
  }
  const std::string path = platform::utf8FromPath(platform::pathFromUtf8(self).parent_path() / program);
  std::vector<std::string> passed{path};
  passed.insert(passed.end(), arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end());
  const std::string error = platform::runInPlaceOfThisProcess(path, passed);
  std::fprintf(stderr, "cvimp: cannot start %s: %s\n", path.c_str(), error.c_str());
  return 1;
}

}  // namespace cvimp

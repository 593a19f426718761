// cvimp: the command-line face of the Casavia importer on this platform.
#include <CLI/CLI.hpp>

#include <map>
#include <string>

#include "cli/import_command.h"
#include "cli/inspect.h"

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

  CLI11_PARSE(app, argc, argv);
  if (inspectCommand->parsed()) return cvimp::runInspect(inspect);
  if (importCommand->parsed()) {
    import.importMesh = !noMesh;
    import.importMaterial = !noMaterials;
    return cvimp::runImport(import);
  }
  return 1;
}

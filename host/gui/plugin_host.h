#pragma once
// The host's start-up and shutdown of plug-ins, as 3ds Max does them: load
// every module of the plug-in folder, ask its exports and class
// descriptors, register their action tables, create and start the global
// utility plug-ins; at shutdown stop and delete them, then unload.
#include <memory>
#include <string>
#include <vector>

#include "host/gup.h"
#include "host/plugin_module.h"

namespace host {

struct LoadedPlugin {
  std::string path;
  std::u16string description;  // LibDescription
  PluginModule module;
  std::vector<GUP*> started;  // the module's running global utility plug-ins
};

class PluginHost {
 public:
  PluginHost() = default;
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Loads and starts the module at `path`. False with a short text when it
  // cannot be loaded, lacks an export or is built for another SDK version.
  bool load(const std::string& path, std::string& error);
  // Every "*.gup" file of `folder`, in name order; the texts of the ones
  // that failed.
  std::vector<std::string> loadFolder(const std::string& folder);
  // Stops every started plug-in, newest first, destroys the dialogs still
  // open, deletes the plug-ins and unloads the modules. Also done by the
  // destructor.
  void shutdown();

  const std::vector<std::unique_ptr<LoadedPlugin>>& plugins() const { return plugins_; }

 private:
  std::vector<std::unique_ptr<LoadedPlugin>> plugins_;
};

}  // namespace host

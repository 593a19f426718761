// maxhost: the stand-in 3ds Max. It loads the plug-in modules of its
// plug-in folder as 3ds Max does at start-up, shows its main window (menu
// bar, node list, viewport, status bar with the progress bar) and runs the
// plug-ins' commands from the menus and shortcuts; with --headless, without
// a display, from commands on standard input.
#include <gtk/gtk.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "host/gui/gtk_ownership.h"
#include "host/gui/plugin_host.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "maxhost/command_shell.h"
#include "maxhost/gltf_export.h"
#include "maxhost/main_window.h"
#include "maxhost/view_menu.h"
#include "maxhost/viewport/offscreen.h"
#include "maxhost/viewport_widget.h"

namespace {

// The picture `view -o` draws without a window, unless --size says.
constexpr int kHeadlessViewWidth = 800;
constexpr int kHeadlessViewHeight = 600;

struct Options {
  bool headless = false;
  std::string plugins;
  std::string downloadDir;
};

// "plugins" beside the executable.
std::string defaultPluginFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("plugins") : (self.parent_path() / "plugins").string();
}

void loadPlugins(host::PluginHost& plugins, const std::string& folder) {
  for (const std::string& error : plugins.loadFolder(folder)) std::fprintf(stderr, "maxhost: %s\n", error.c_str());
  for (const auto& plugin : plugins.plugins()) {
    std::printf("Loaded %s: %s\n", std::filesystem::path(plugin->path).filename().c_str(),
                host::utf16ToUtf8(plugin->description).c_str());
  }
  std::fflush(stdout);
}

// A save dialog for "Export glTF..."; empty when the user cancels.
std::string askGltfPath() {
  GtkWidget* dialog = gtk_file_chooser_dialog_new("Export glTF", nullptr, GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
                                                  GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  gtk_file_chooser_set_current_name(chooser, "scene.glb");
  std::string path;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    const host::gtk::Text chosen(gtk_file_chooser_get_filename(chooser));
    if (chosen.get() != nullptr) path = chosen.get();
  }
  gtk_widget_destroy(dialog);
  return path;
}

// What a command has to tell the user, on standard output with the
// commands' answers.
void say(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

int runHeadless(const Options& options) {
  host::PluginHost plugins;
  loadPlugins(plugins, options.plugins);
  // Without a window there is no one to ask: the file goes beside.
  const maxhost::ExportMenu exportMenu([] { return std::string("scene.glb"); });
  const maxhost::ViewMenu viewMenu(say);
  // Pictures of the viewport without a display: EGL on Mesa's surfaceless
  // platform, made on the first picture.
  maxhost::viewport::OffscreenViewport offscreen;
  maxhost::CommandShell shell({
      .runLoop = nullptr,
      .changed = nullptr,
      .shownList = nullptr,
      .settle = nullptr,
      .viewImage =
          [&offscreen](int& width, int& height, std::vector<std::uint8_t>& rgba, std::string& error) {
            if (width == 0) {
              width = kHeadlessViewWidth;
              height = kHeadlessViewHeight;
            }
            return offscreen.image(width, height, rgba, error);
          },
      .viewportPlace = nullptr,
  });
  std::string line;
  while (std::getline(std::cin, line)) {
    if (shell.run(line).quit) break;
  }
  plugins.shutdown();
  return 0;
}

struct Gui {
  GMainLoop* loop = nullptr;
  maxhost::CommandShell* shell = nullptr;
  GIOChannel* input = nullptr;
  host::gtk::SourceId inputWatch;
  bool inputEnded = false;
  bool inCommand = false;

  void watchInput() {
    if (!inputWatch.active() && !inputEnded)
      inputWatch.set(
          g_io_add_watch(input, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), &Gui::onInput, this));
  }
  // Commands wait while a progress bar shows: the loop then runs for the
  // bar and its Cancel button, in the middle of the work. Work started by
  // a command needs nothing: the loop never runs a source inside itself.
  void pauseInput(bool paused) {
    if (inCommand) return;
    if (!paused) {
      watchInput();
    } else {
      inputWatch.remove();
    }
  }

  static gboolean onInput(GIOChannel* channel, GIOCondition, gpointer data) {
    auto* gui = static_cast<Gui*>(data);
    gchar* read = nullptr;
    gsize length = 0;
    const GIOStatus status = g_io_channel_read_line(channel, &read, &length, nullptr, nullptr);
    const host::gtk::Text text(read);
    if (status == G_IO_STATUS_AGAIN) return G_SOURCE_CONTINUE;
    if (status != G_IO_STATUS_NORMAL) {
      if (status == G_IO_STATUS_ERROR) std::fprintf(stderr, "maxhost: cannot read commands\n");
      // No more commands; the window stays until the user closes it.
      gui->inputWatch.ran();
      gui->inputEnded = true;
      return G_SOURCE_REMOVE;
    }
    const std::string line(text.get(), length);
    gui->inCommand = true;
    const bool quit = gui->shell->run(line).quit;
    gui->inCommand = false;
    if (quit) g_main_loop_quit(gui->loop);
    return G_SOURCE_CONTINUE;
  }
};

int runWindow(const Options& options) {
  Gui gui;
  const host::gtk::MainLoopRef loop(g_main_loop_new(nullptr, FALSE));
  gui.loop = loop.get();
  int status = 0;
  {
    maxhost::MainWindow window([&gui] { g_main_loop_quit(gui.loop); }, [&gui](bool busy) { gui.pauseInput(busy); });
    if (!window.valid()) {
      std::fprintf(stderr, "maxhost: no display (use --headless to run without one)\n");
      status = 1;
    } else {
      host::PluginHost plugins;
      loadPlugins(plugins, options.plugins);
      const maxhost::ExportMenu exportMenu(askGltfPath);
      const maxhost::ViewMenu viewMenu(say);
      window.show();
      maxhost::CommandShell shell({
          .runLoop = [] { g_main_context_iteration(nullptr, TRUE); },
          .changed = [&window] { window.refreshNodes(); },
          .shownList = [&window] { return window.shownNodes(); },
          .settle =
              [] {
                // A round trip first: input another client (xdotool) made
                // before is then queued here. Bounded: a page may keep the
                // loop busy for ever.
                for (int round = 0; round < 2; ++round) {
                  gdk_display_sync(gdk_display_get_default());
                  for (int i = 0; i < 1000 && g_main_context_iteration(nullptr, FALSE); ++i) {
                  }
                }
              },
          .viewImage =
              [&window](int& width, int& height, std::vector<std::uint8_t>& rgba, std::string& error) {
                if (width == 0) window.viewport()->size(width, height);
                return window.viewport()->image(width, height, rgba, error);
              },
          .viewportPlace =
              [&window] {
                int x = 0, y = 0, width = 0, height = 0;
                window.viewport()->origin(x, y);
                window.viewport()->size(width, height);
                return "Viewport at " + std::to_string(x) + "," + std::to_string(y) + " size " + std::to_string(width) +
                       "x" + std::to_string(height) + "\n" + window.firstRowPlace();
              },
      });
      gui.shell = &shell;
      const host::gtk::IOChannelRef input(g_io_channel_unix_new(STDIN_FILENO));
      gui.input = input.get();
      // Lines are bytes: a node name need not be valid UTF-8.
      g_io_channel_set_encoding(gui.input, nullptr, nullptr);
      gui.watchInput();
      g_main_loop_run(gui.loop);
      gui.inputWatch.remove();
      // Closing the host: Stop, the plug-ins' windows, DeleteThis, unload.
      plugins.shutdown();
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app("maxhost: the stand-in 3ds Max that loads cvimp.gup");
  app.add_flag("--headless", options.headless, "No window: take commands on standard input");
  app.add_option("--plugins", options.plugins, "Plug-in folder (default: plugins beside maxhost)");
  app.add_option("--download-dir", options.downloadDir, "The host's download directory");
  CLI11_PARSE(app, argc, argv);
  if (options.plugins.empty()) options.plugins = defaultPluginFolder();
  if (options.headless) {
    // Nothing may open a window: the host's windows need a display.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
  } else {
    host::setProgressOnTerminal(false);
  }
  if (!host::useDownloadDirectory(options.downloadDir, "maxhost")) return 1;
  return options.headless ? runHeadless(options) : runWindow(options);
}

#pragma once
// The viewport in maxhost's main window: a GtkGLArea that draws the host
// scene from the host's viewport camera, with 3ds Max's navigation (wheel
// zooms, middle drag pans, Alt + middle drag orbits) and a click that
// selects the node under the pointer.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace maxhost {

class ViewportWidget {
 public:
  // `selected` is told after a click changed the selection.
  explicit ViewportWidget(std::function<void()> selected);
  ~ViewportWidget();
  ViewportWidget(const ViewportWidget&) = delete;
  ViewportWidget& operator=(const ViewportWidget&) = delete;

  GtkWidget* widget() const;
  // Asks for a new picture at the next frame.
  void redraw();
  // The size it shows, in pixels.
  void size(int& width, int& height) const;
  // Where it shows on the screen: its top left corner, in screen pixels.
  void origin(int& x, int& y) const;
  // The picture it would show at `width` x `height`, as RGBA rows from the
  // top; false with a text (no OpenGL, a size it cannot draw).
  bool image(int width, int height, std::vector<std::uint8_t>& rgba, std::string& error);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace maxhost

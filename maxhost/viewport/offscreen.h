#pragma once
// An OpenGL 3.3 core context without a window system: EGL on Mesa's
// surfaceless platform, for pictures of the viewport when the host runs
// without a display. Current on the thread that made it while it lives.
#include <memory>
#include <string>
#include <vector>

namespace maxhost::viewport {

class OffscreenContext {
 public:
  OffscreenContext();
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // False with a short text when there is no such context on this machine.
  bool valid() const { return error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  void* display_ = nullptr;
  void* context_ = nullptr;
  std::string error_;
};

class SceneRenderer;

// The viewport's picture without a window: a context of its own and a
// renderer in it, both made on first use.
class OffscreenViewport {
 public:
  OffscreenViewport();
  ~OffscreenViewport();
  OffscreenViewport(const OffscreenViewport&) = delete;
  OffscreenViewport& operator=(const OffscreenViewport&) = delete;

  // The host scene from the host's viewport, as RGBA rows from the top;
  // false with a text.
  bool image(int width, int height, std::vector<unsigned char>& rgba, std::string& error);
  // The renderer, null when there is no context; its context is current.
  SceneRenderer* renderer(std::string& error);

 private:
  std::unique_ptr<OffscreenContext> context_;
  std::unique_ptr<SceneRenderer> renderer_;
};

// Writes RGBA rows from the top as a PNG file; false with a text.
bool writePng(const std::string& path, int width, int height, const unsigned char* rgba, std::string& error);

}  // namespace maxhost::viewport

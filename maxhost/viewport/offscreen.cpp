#include "maxhost/viewport/offscreen.h"

#include <epoxy/egl.h>
#include <stb_image_write.h>

#include <cerrno>
#include <cstring>

#include "host/stand_in.h"
#include "maxhost/viewport/scene_renderer.h"

namespace maxhost::viewport {

OffscreenContext::OffscreenContext() {
  if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
    error_ = "no EGL surfaceless platform (Mesa's EGL is needed)";
    return;
  }
  EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (display == EGL_NO_DISPLAY || eglInitialize(display, &major, &minor) != EGL_TRUE) {
    error_ = "cannot open the EGL surfaceless display";
    return;
  }
  display_ = display;
  // The surfaceless platform offers pbuffer configurations only (the
  // default asks for windows).
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint configs = 0;
  if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE ||
      eglChooseConfig(display, configAttributes, &config, 1, &configs) != EGL_TRUE || configs < 1) {
    error_ = "no EGL configuration for OpenGL";
    return;
  }
  const EGLint contextAttributes[] = {
      EGL_CONTEXT_MAJOR_VERSION,           3,       EGL_CONTEXT_MINOR_VERSION, 3, EGL_CONTEXT_OPENGL_PROFILE_MASK,
      EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  if (context == EGL_NO_CONTEXT) {
    error_ = "cannot make an OpenGL 3.3 core context";
    return;
  }
  context_ = context;
  if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) != EGL_TRUE) {
    error_ = "cannot make the OpenGL context current";
  }
}

OffscreenContext::~OffscreenContext() {
  if (display_ == nullptr) return;
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context_ != nullptr) eglDestroyContext(display_, context_);
  // The display stays initialised: EGL keeps one per process anyway, and
  // terminating it unloads the driver with blocks it never frees.
  eglReleaseThread();
}

OffscreenViewport::OffscreenViewport() = default;

OffscreenViewport::~OffscreenViewport() {
  // The renderer's objects go while their context is still there.
  renderer_.reset();
  context_.reset();
}

SceneRenderer* OffscreenViewport::renderer(std::string& error) {
  if (context_ == nullptr) {
    context_ = std::make_unique<OffscreenContext>();
    if (context_->valid()) renderer_ = std::make_unique<SceneRenderer>();
  }
  if (!context_->valid()) {
    error = context_->error();
    return nullptr;
  }
  if (!renderer_->ready()) {
    error = renderer_->error();
    return nullptr;
  }
  return renderer_.get();
}

bool OffscreenViewport::image(int width, int height, std::vector<unsigned char>& rgba, std::string& error) {
  SceneRenderer* drawer = renderer(error);
  return drawer != nullptr && drawer->image(width, height, host::viewport(), rgba, error);
}

bool writePng(const std::string& path, int width, int height, const unsigned char* rgba, std::string& error) {
  // stb writes straight to the path; a failure leaves errno from fopen.
  errno = 0;
  if (stbi_write_png(path.c_str(), width, height, 4, rgba, width * 4) == 0) {
    error = "cannot write " + path + (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
    return false;
  }
  return true;
}

}  // namespace maxhost::viewport

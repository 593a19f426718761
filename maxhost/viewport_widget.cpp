#include "maxhost/viewport_widget.h"

#include <epoxy/gl.h>
#include <gtk/gtk.h>

#include <cmath>
#include <utility>

#include "host/gui/gtk_ownership.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "maxhost/viewport/scene_renderer.h"

namespace maxhost {

namespace {

// A wheel step zooms by a fifth, as 3ds Max's default does roughly.
constexpr double kWheelStep = 1.2;
// Radians of orbit per pixel of drag.
constexpr double kOrbitPerPixel = 0.01;

}  // namespace

struct ViewportWidget::Impl {
  std::function<void()> selected;
  GtkWidget* area = nullptr;  // the window's widget tree owns it
  host::gtk::WidgetRef hold;  // kept until this goes; the window destroys it
  std::unique_ptr<viewport::SceneRenderer> renderer;
  std::string failure;
  // A middle drag in progress: where it was last, and whether it orbits.
  bool dragging = false;
  bool orbiting = false;
  double lastX = 0, lastY = 0;
  int drawnWidth = 0, drawnHeight = 0;  // of the picture the area holds

  int scale() const { return gtk_widget_get_scale_factor(area); }

  bool current() {
    if (!gtk_widget_get_realized(area)) return false;
    gtk_gl_area_make_current(GTK_GL_AREA(area));
    return gtk_gl_area_get_error(GTK_GL_AREA(area)) == nullptr && renderer != nullptr;
  }

  static void onRealize(GtkWidget* widget, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    GtkGLArea* area = GTK_GL_AREA(widget);
    gtk_gl_area_make_current(area);
    if (GError* error = gtk_gl_area_get_error(area)) {
      self->failure = std::string("no OpenGL for the viewport: ") + error->message;
      return;
    }
    self->renderer = std::make_unique<viewport::SceneRenderer>();
    if (!self->renderer->ready()) self->failure = self->renderer->error();
  }

  static void onUnrealize(GtkWidget* widget, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    // GL objects go in their own context.
    gtk_gl_area_make_current(GTK_GL_AREA(widget));
    self->renderer.reset();
  }

  // Whether the scene may be read: not while it is being built (scene
  // redraw off, a job under way, a progress bar up), when worker threads may
  // still be filling its meshes.
  static bool sceneSettled() {
    return !GetCOREInterface()->IsSceneRedrawDisabled() && host::suspendDepth() == 0 && !host::progress().shown;
  }

  static gboolean onRender(GtkGLArea* area, GdkGLContext*, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (self->renderer == nullptr) return TRUE;
    const int scale = self->scale();
    const int width = gtk_widget_get_allocated_width(GTK_WIDGET(area)) * scale;
    const int height = gtk_widget_get_allocated_height(GTK_WIDGET(area)) * scale;
    if (sceneSettled()) {
      self->renderer->draw(width, height, host::viewport());
      self->drawnWidth = width;
      self->drawnHeight = height;
    } else if (width != self->drawnWidth || height != self->drawnHeight) {
      // The last picture stays, unless the area was resized: its new
      // buffers hold nothing yet.
      glClearColor(viewport::kBackground[0] / 255.0f, viewport::kBackground[1] / 255.0f,
                   viewport::kBackground[2] / 255.0f, 1);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      self->drawnWidth = width;
      self->drawnHeight = height;
    }
    return TRUE;
  }

  static gboolean onPress(GtkWidget* widget, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    gtk_widget_grab_focus(widget);
    if (event->type != GDK_BUTTON_PRESS) return FALSE;
    if (event->button == 1) {
      self->click(event->x, event->y);
      return TRUE;
    }
    if (event->button == 2) {
      self->dragging = true;
      self->orbiting = (event->state & GDK_MOD1_MASK) != 0;
      self->lastX = event->x;
      self->lastY = event->y;
      return TRUE;
    }
    return FALSE;
  }

  static gboolean onRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (event->button == 2) self->dragging = false;
    return FALSE;
  }

  static gboolean onMotion(GtkWidget* widget, GdkEventMotion* event, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (!self->dragging) return FALSE;
    const double dx = event->x - self->lastX, dy = event->y - self->lastY;
    self->lastX = event->x;
    self->lastY = event->y;
    if (self->orbiting) {
      host::orbit(-dx * kOrbitPerPixel, dy * kOrbitPerPixel);
    } else {
      const double side =
          std::max(1, std::min(gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget)));
      host::pan(dx / side, -dy / side);
    }
    return TRUE;
  }

  static gboolean onScroll(GtkWidget*, GdkEventScroll* event, gpointer) {
    if (event->direction == GDK_SCROLL_UP) {
      host::zoom(1 / kWheelStep);
    } else if (event->direction == GDK_SCROLL_DOWN) {
      host::zoom(kWheelStep);
    } else if (event->direction == GDK_SCROLL_SMOOTH && event->delta_y != 0) {
      host::zoom(std::pow(kWheelStep, event->delta_y));
    } else {
      return FALSE;
    }
    return TRUE;
  }

  // Selects the node under the pointer; a click on nothing clears the
  // selection, as in 3ds Max.
  void click(double x, double y) {
    if (!sceneSettled() || !current()) return;
    const int s = scale();
    INode* node = renderer->pick(gtk_widget_get_allocated_width(area) * s, gtk_widget_get_allocated_height(area) * s,
                                 host::viewport(), static_cast<int>(x * s), static_cast<int>(y * s));
    Interface* core = GetCOREInterface();
    if (node != nullptr) {
      core->SelectNode(node, 1);
    } else {
      core->ClearNodeSelection(TRUE);
    }
    if (selected) selected();
  }
};

ViewportWidget::ViewportWidget(std::function<void()> selected) : impl_(std::make_unique<Impl>()) {
  impl_->selected = std::move(selected);
  GtkWidget* area = gtk_gl_area_new();
  impl_->area = area;
  impl_->hold.reset(area, false);
  GtkGLArea* gl = GTK_GL_AREA(area);
  gtk_gl_area_set_required_version(gl, 3, 3);
  gtk_gl_area_set_has_depth_buffer(gl, TRUE);
  gtk_gl_area_set_auto_render(gl, FALSE);
  gtk_widget_set_can_focus(area, TRUE);
  gtk_widget_add_events(area,
                        GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_BUTTON2_MOTION_MASK | GDK_SCROLL_MASK);
  g_signal_connect(area, "realize", G_CALLBACK(&Impl::onRealize), impl_.get());
  g_signal_connect(area, "unrealize", G_CALLBACK(&Impl::onUnrealize), impl_.get());
  g_signal_connect(area, "render", G_CALLBACK(&Impl::onRender), impl_.get());
  g_signal_connect(area, "button-press-event", G_CALLBACK(&Impl::onPress), impl_.get());
  g_signal_connect(area, "button-release-event", G_CALLBACK(&Impl::onRelease), impl_.get());
  g_signal_connect(area, "motion-notify-event", G_CALLBACK(&Impl::onMotion), impl_.get());
  g_signal_connect(area, "scroll-event", G_CALLBACK(&Impl::onScroll), impl_.get());
  host::setViewportListener([this] { redraw(); });
}

ViewportWidget::~ViewportWidget() {
  host::setViewportListener(nullptr);
  g_signal_handlers_disconnect_by_data(impl_->area, impl_.get());
  if (gtk_widget_get_realized(impl_->area)) {
    gtk_gl_area_make_current(GTK_GL_AREA(impl_->area));
    impl_->renderer.reset();
  }
}

GtkWidget* ViewportWidget::widget() const { return impl_->area; }

void ViewportWidget::redraw() { gtk_gl_area_queue_render(GTK_GL_AREA(impl_->area)); }

void ViewportWidget::size(int& width, int& height) const {
  const int scale = impl_->scale();
  width = gtk_widget_get_allocated_width(impl_->area) * scale;
  height = gtk_widget_get_allocated_height(impl_->area) * scale;
}

void ViewportWidget::origin(int& x, int& y) const {
  x = y = 0;
  GtkWidget* top = gtk_widget_get_toplevel(impl_->area);
  GdkWindow* window = gtk_widget_get_window(top);
  int inX = 0, inY = 0, topX = 0, topY = 0;
  if (window == nullptr || !gtk_widget_translate_coordinates(impl_->area, top, 0, 0, &inX, &inY)) return;
  gdk_window_get_origin(window, &topX, &topY);
  x = topX + inX;
  y = topY + inY;
}

bool ViewportWidget::image(int width, int height, std::vector<std::uint8_t>& rgba, std::string& error) {
  if (!Impl::sceneSettled()) {
    error = "the scene is being built";
    return false;
  }
  if (!impl_->current()) {
    error = impl_->failure.empty() ? std::string("the viewport is not shown") : impl_->failure;
    return false;
  }
  return impl_->renderer->image(width, height, host::viewport(), rgba, error);
}

}  // namespace maxhost

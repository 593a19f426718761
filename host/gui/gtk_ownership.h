#pragma once
// Ownership of GLib and GTK objects, one way for every part that shows
// windows: a reference released, a widget destroyed, a signal handler
// disconnected, a source removed, when its holder goes.
#include <gtk/gtk.h>

#include <memory>
#include <utility>

namespace host::gtk {

// Calls `Release` on what it holds; one alias per GLib type below.
template <auto Release>
struct Releaser {
  template <typename T>
  void operator()(T* object) const {
    Release(object);
  }
};
template <typename T, auto Release>
using Owned = std::unique_ptr<T, Releaser<Release>>;

template <typename T>
using ObjectRef = Owned<T, &g_object_unref>;
using MainLoopRef = Owned<GMainLoop, &g_main_loop_unref>;
using IOChannelRef = Owned<GIOChannel, &g_io_channel_unref>;
using Text = Owned<gchar, &g_free>;

// A reference to a widget, taken with g_object_ref_sink (so a floating new
// widget becomes ours); `destroys` also destroys it before the release, for
// widgets this side made and owns.
class WidgetRef {
 public:
  WidgetRef() = default;
  ~WidgetRef() { release(); }
  WidgetRef(const WidgetRef&) = delete;
  WidgetRef& operator=(const WidgetRef&) = delete;

  void reset(GtkWidget* widget = nullptr, bool destroys = true) {
    release();
    widget_ = widget;
    destroys_ = destroys;
    if (widget_ != nullptr) g_object_ref_sink(widget_);
  }
  GtkWidget* get() const { return widget_; }

 private:
  void release() {
    if (widget_ == nullptr) return;
    GtkWidget* widget = std::exchange(widget_, nullptr);
    if (destroys_) gtk_widget_destroy(widget);
    g_object_unref(widget);
  }

  GtkWidget* widget_ = nullptr;
  bool destroys_ = false;
};

// A signal handler, disconnected when this goes, unless the instance went
// first and said so (forget()).
class SignalConnection {
 public:
  SignalConnection() = default;
  ~SignalConnection() { disconnect(); }
  SignalConnection(const SignalConnection&) = delete;
  SignalConnection& operator=(const SignalConnection&) = delete;

  void connect(gpointer instance, const char* signal, GCallback callback, gpointer data) {
    disconnect();
    instance_ = instance;
    handler_ = g_signal_connect(instance, signal, callback, data);
  }
  void disconnect() {
    if (handler_ != 0) g_signal_handler_disconnect(instance_, handler_);
    forget();
  }
  void forget() {
    instance_ = nullptr;
    handler_ = 0;
  }

 private:
  gpointer instance_ = nullptr;
  gulong handler_ = 0;
};

// A GLib source, removed when this goes.
class SourceId {
 public:
  SourceId() = default;
  ~SourceId() { remove(); }
  SourceId(const SourceId&) = delete;
  SourceId& operator=(const SourceId&) = delete;

  void set(guint id) {
    remove();
    id_ = id;
  }
  // The source ran for the last time and is gone.
  void ran() { id_ = 0; }
  bool active() const { return id_ != 0; }
  void remove() {
    if (id_ != 0) g_source_remove(id_);
    id_ = 0;
  }

 private:
  guint id_ = 0;
};

}  // namespace host::gtk

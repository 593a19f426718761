#include "maxhost/main_window.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <string>
#include <utility>
#include <vector>

#include "host/gui/gtk_ownership.h"
#include "host/gui/window_host.h"
#include "host/gui/windows.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "maxhost/command_shell.h"
#include "maxhost/viewport_widget.h"

namespace maxhost {

namespace {

enum Column { kName, kObject, kMaterial, kColumns };

// "Casavia (&K)" as a GTK mnemonic label: "Casavia (_K)".
std::string mnemonic(const std::u16string& title) {
  std::string label;
  for (const char c : host::utf16ToUtf8(title)) {
    if (c == '_') {
      label += "__";
    } else if (c == '&') {
      label += '_';
    } else {
      label += c;
    }
  }
  return label;
}

// The shortcut text of a key press ("Z", "F4", "Shift+K"); empty for keys
// without a name the action system knows.
std::string shortcutOf(const GdkEventKey& event) {
  const guint modifiers = event.state & (GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK);
  const guint key = gdk_keyval_to_upper(event.keyval);
  std::string name;
  if ((key >= GDK_KEY_A && key <= GDK_KEY_Z) || (key >= GDK_KEY_0 && key <= GDK_KEY_9)) {
    name = std::string(1, static_cast<char>(key));
  } else if (key >= GDK_KEY_F1 && key <= GDK_KEY_F12) {
    name = std::string("F") + std::to_string(key - GDK_KEY_F1 + 1);
  } else {
    return "";
  }
  std::string text;
  if ((modifiers & GDK_CONTROL_MASK) != 0) text += "Ctrl+";
  if ((modifiers & GDK_MOD1_MASK) != 0) text += "Alt+";
  if ((modifiers & GDK_SHIFT_MASK) != 0) text += "Shift+";
  return text + name;
}

}  // namespace

struct MainWindow::Impl {
  std::function<void()> closing;
  std::function<void(bool)> busyChanged;
  GtkWidget* window = nullptr;  // the host's main window: the host owns it
  GtkWidget* menuBar = nullptr;
  host::gtk::ObjectRef<GtkListStore> nodes;
  GtkWidget* list = nullptr;
  std::vector<host::NodeRow> shownRows;  // what the list holds, selection aside
  bool syncing = false;                  // the list's selection is being set from the host's
  std::unique_ptr<ViewportWidget> viewport;
  GtkWidget* prompt = nullptr;
  GtkWidget* progress = nullptr;
  GtkWidget* cancel = nullptr;
  host::gtk::SignalConnection keyConnection;
  host::gtk::SignalConnection deleteConnection;
  host::gtk::SourceId refreshTimer;
  bool busy = false;  // a progress bar is shown: commands wait

  static void onActivate(GtkMenuItem* item, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (self->busy) return;
    const auto table = static_cast<ActionTableId>(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "table")));
    const int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "command"));
    host::executeAction(table, command);
    self->refresh();
  }

  // Before the focused widget sees the key: a shortcut of the action
  // manager wins over the node list's type-ahead search, as in 3ds Max.
  static gboolean onKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    const std::string shortcut = shortcutOf(*event);
    if (shortcut.empty() || self->busy) return FALSE;
    const bool ran = host::pressShortcut(shortcut);
    self->refresh();
    return ran ? TRUE : FALSE;
  }

  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (self->closing) self->closing();
    return TRUE;  // the host tears the window down itself
  }

  static void onCancel(GtkButton*, gpointer) { host::pressCancel(); }

  static gboolean onTimer(gpointer data) {
    auto* self = static_cast<Impl*>(data);
    // Not while an import is building the scene.
    if (!self->busy) self->refresh();
    return G_SOURCE_CONTINUE;
  }

  // The list and the status line from the host's scene; the viewport is
  // drawn again when what they show changed, or when `redraw` asks.
  void refresh(bool redraw = false) {
    if (!nodes) return;
    std::vector<host::NodeRow> rows = host::nodeRows();
    std::vector<bool> selected;
    for (host::NodeRow& row : rows) {
      selected.push_back(row.selected);
      row.selected = false;
    }
    syncing = true;
    bool changed = redraw;
    if (rows != shownRows) {
      changed = true;
      gtk_list_store_clear(nodes.get());
      for (const host::NodeRow& row : rows) {
        GtkTreeIter iter;
        gtk_list_store_append(nodes.get(), &iter);
        gtk_list_store_set(nodes.get(), &iter, kName, row.name.c_str(), kObject, row.object.c_str(), kMaterial,
                           row.material.c_str(), -1);
      }
      shownRows = std::move(rows);
    }
    // The list shows the host's selection.
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(list));
    GtkTreeModel* model = GTK_TREE_MODEL(nodes.get());
    GtkTreeIter iter;
    std::size_t index = 0;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more && index < selected.size();
         more = gtk_tree_model_iter_next(model, &iter), ++index) {
      if (selected[index] != (gtk_tree_selection_iter_is_selected(selection, &iter) != FALSE)) {
        changed = true;
        if (selected[index]) {
          gtk_tree_selection_select_iter(selection, &iter);
        } else {
          gtk_tree_selection_unselect_iter(selection, &iter);
        }
      }
    }
    syncing = false;
    const host::SceneCounts counts = host::countScene();
    if (!busy) {
      const std::string text = std::to_string(counts.nodes) + " nodes, " + std::to_string(counts.triangles) +
                               " triangles, " + std::to_string(counts.materials) + " materials";
      gtk_label_set_text(GTK_LABEL(prompt), text.c_str());
    }
    if (viewport && changed) viewport->redraw();
  }

  // Rows chosen in the list become the host's selection.
  static void onListSelection(GtkTreeSelection* selection, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (self->syncing || self->busy) return;
    const auto& all = host::scene().nodes();
    // Rows stand for the nodes in order only while the list is current.
    if (self->shownRows.size() != all.size()) {
      self->refresh();
      return;
    }
    Interface* core = GetCOREInterface();
    core->ClearNodeSelection(FALSE);
    GtkTreeModel* model = GTK_TREE_MODEL(self->nodes.get());
    GtkTreeIter iter;
    std::size_t index = 0;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more && index < all.size();
         more = gtk_tree_model_iter_next(model, &iter), ++index) {
      if (gtk_tree_selection_iter_is_selected(selection, &iter)) core->SelectNode(all[index].get(), 0);
    }
    host::requestViewportRedraw();
  }

  // The bar as it stands while long work runs on this thread; the loop
  // runs briefly so that the bar redraws and the cancel button answers.
  void showProgress(const host::ProgressState& state) {
    if (busy != state.shown && busyChanged) busyChanged(state.shown);
    busy = state.shown;
    gtk_widget_set_sensitive(cancel, state.shown ? TRUE : FALSE);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progress), state.shown ? state.percent / 100.0 : 0.0);
    if (state.shown) {
      gtk_label_set_text(GTK_LABEL(prompt), host::utf16ToUtf8(state.title).c_str());
      while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    } else {
      refresh(true);
    }
  }

  GtkWidget* makeMenu(const IMenu& menu) {
    GtkWidget* gtkMenu = gtk_menu_new();
    for (int i = 0; i < menu.NumItems(); ++i) {
      const IMenuItem* item = menu.GetItem(i);
      GtkWidget* entry = nullptr;
      if (item->IsSeparator()) {
        entry = gtk_separator_menu_item_new();
      } else {
        entry = gtk_menu_item_new_with_mnemonic(mnemonic(item->GetTitle().str()).c_str());
        attach(*item, entry);
      }
      gtk_menu_shell_append(GTK_MENU_SHELL(gtkMenu), entry);
    }
    return gtkMenu;
  }

  void attach(const IMenuItem& item, GtkWidget* entry) {
    if (const IMenu* sub = item.GetSubMenu(); sub != nullptr && sub->NumItems() > 0) {
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(entry), makeMenu(*sub));
      return;
    }
    const ActionItem* action = item.GetActionItem();
    if (action == nullptr) return;
    g_object_set_data(G_OBJECT(entry), "table", GUINT_TO_POINTER(item.GetActionTableId()));
    g_object_set_data(G_OBJECT(entry), "command", GINT_TO_POINTER(item.GetActionCommandId()));
    g_signal_connect(entry, "activate", G_CALLBACK(&Impl::onActivate), this);
    const Shortcut shortcut = action->GetShortcut();
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(entry));
    if (!shortcut.empty() && GTK_IS_ACCEL_LABEL(label)) {
      guint modifiers = 0;
      if ((shortcut.modifiers & FSHIFT) != 0) modifiers |= GDK_SHIFT_MASK;
      if ((shortcut.modifiers & FCONTROL) != 0) modifiers |= GDK_CONTROL_MASK;
      if ((shortcut.modifiers & FALT) != 0) modifiers |= GDK_MOD1_MASK;
      gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), gdk_unicode_to_keyval(shortcut.key),
                                static_cast<GdkModifierType>(modifiers));
    }
  }

  void rebuildMenuBar() {
    if (menuBar == nullptr) return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(menuBar));
    for (GList* child = children; child != nullptr; child = child->next) gtk_widget_destroy(GTK_WIDGET(child->data));
    g_list_free(children);
    IMenuManager* menus = GetCOREInterface()->GetMenuManager();
    const IMenu* bar = menus != nullptr ? menus->GetMainMenuBar() : nullptr;
    for (int i = 0; bar != nullptr && i < bar->NumItems(); ++i) {
      const IMenuItem* item = bar->GetItem(i);
      GtkWidget* entry = gtk_menu_item_new_with_mnemonic(mnemonic(item->GetTitle().str()).c_str());
      attach(*item, entry);
      gtk_menu_shell_append(GTK_MENU_SHELL(menuBar), entry);
    }
    gtk_widget_show_all(menuBar);
  }

  void build() {
    window = static_cast<GtkWidget*>(host::nativeWindow(GetCOREInterface()->GetMAXHWnd()));
    if (window == nullptr) return;
    gtk_window_set_default_size(GTK_WINDOW(window), 960, 600);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    menuBar = gtk_menu_bar_new();
    gtk_box_pack_start(GTK_BOX(box), menuBar, FALSE, FALSE, 0);

    nodes.reset(gtk_list_store_new(kColumns, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING));
    GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(nodes.get()));
    list = view;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(view));
    gtk_tree_selection_set_mode(selection, GTK_SELECTION_MULTIPLE);
    g_signal_connect(selection, "changed", G_CALLBACK(&Impl::onListSelection), this);
    const char* titles[kColumns] = {"Node", "Object", "Material"};
    for (int column = 0; column < kColumns; ++column) {
      GtkTreeViewColumn* made = gtk_tree_view_column_new_with_attributes(titles[column], gtk_cell_renderer_text_new(),
                                                                         "text", column, nullptr);
      gtk_tree_view_column_set_resizable(made, TRUE);
      gtk_tree_view_append_column(GTK_TREE_VIEW(view), made);
    }
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_container_add(GTK_CONTAINER(scroll), view);
    // The node list at the left, as 3ds Max's scene explorer; the viewport
    // takes the rest.
    GtkWidget* panes = gtk_paned_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_widget_set_size_request(scroll, 200, -1);
    gtk_paned_pack1(GTK_PANED(panes), scroll, FALSE, TRUE);
    viewport = std::make_unique<ViewportWidget>([this] { refresh(); });
    gtk_paned_pack2(GTK_PANED(panes), viewport->widget(), TRUE, FALSE);
    gtk_paned_set_position(GTK_PANED(panes), 340);
    gtk_box_pack_start(GTK_BOX(box), panes, TRUE, TRUE, 0);

    GtkWidget* status = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(status), 4);
    prompt = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(prompt), 0.0F);
    progress = gtk_progress_bar_new();
    gtk_widget_set_size_request(progress, 240, -1);
    gtk_widget_set_valign(progress, GTK_ALIGN_CENTER);
    cancel = gtk_button_new_with_label("Cancel");
    gtk_widget_set_sensitive(cancel, FALSE);
    g_signal_connect(cancel, "clicked", G_CALLBACK(&Impl::onCancel), nullptr);
    gtk_box_pack_start(GTK_BOX(status), prompt, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(status), progress, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(status), cancel, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(box), status, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);

    keyConnection.connect(window, "key-press-event", G_CALLBACK(&Impl::onKey), this);
    deleteConnection.connect(window, "delete-event", G_CALLBACK(&Impl::onDelete), this);
    // The node list follows jobs that the import window runs, too.
    refreshTimer.set(g_timeout_add_seconds(1, &Impl::onTimer, this));
    host::setMenuBarListener([this] { rebuildMenuBar(); });
    host::setProgressListener([this](const host::ProgressState& state) { showProgress(state); });
    rebuildMenuBar();
    refresh();
  }

  ~Impl() {
    host::setMenuBarListener(nullptr);
    host::setProgressListener(nullptr);
    refreshTimer.remove();
    if (window != nullptr) {
      keyConnection.disconnect();
      deleteConnection.disconnect();
      // A menu still dropped down closes while the bar is in the window:
      // closing it tells the bar's window to hide the mnemonics.
      if (menuBar != nullptr) gtk_menu_shell_deactivate(GTK_MENU_SHELL(menuBar));
      gtk_widget_hide(window);
      // Tearing the list down must not clear the host's selection.
      syncing = true;
      if (GtkWidget* child = gtk_bin_get_child(GTK_BIN(window))) gtk_widget_destroy(child);
    }
    viewport.reset();
    nodes.reset();
  }
};

MainWindow::MainWindow(std::function<void()> closing, std::function<void(bool)> busyChanged)
    : impl_(std::make_unique<Impl>()) {
  impl_->closing = std::move(closing);
  impl_->busyChanged = std::move(busyChanged);
  impl_->build();
}

MainWindow::~MainWindow() = default;

bool MainWindow::valid() const { return impl_->window != nullptr; }

void MainWindow::show() {
  if (impl_->window != nullptr) gtk_widget_show_all(impl_->window);
}

void MainWindow::rebuildMenuBar() { impl_->rebuildMenuBar(); }

void MainWindow::refreshNodes() { impl_->refresh(); }

ViewportWidget* MainWindow::viewport() const { return impl_->viewport.get(); }

std::string MainWindow::firstRowPlace() const {
  GtkTreeView* view = GTK_TREE_VIEW(impl_->list);
  GtkTreePath* path = gtk_tree_path_new_first();
  GdkRectangle area{};
  gtk_tree_view_get_background_area(view, path, nullptr, &area);
  gtk_tree_path_free(path);
  int x = 0, y = 0, windowX = 0, windowY = 0;
  gtk_tree_view_convert_bin_window_to_widget_coords(view, area.x, area.y, &x, &y);
  GtkWidget* top = gtk_widget_get_toplevel(impl_->list);
  if (!gtk_widget_translate_coordinates(impl_->list, top, x, y, &x, &y) || gtk_widget_get_window(top) == nullptr)
    return "No node list on the screen";
  gdk_window_get_origin(gtk_widget_get_window(top), &windowX, &windowY);
  return "Node list row 1 at " + std::to_string(windowX + x) + "," + std::to_string(windowY + y) + " size " +
         std::to_string(gtk_widget_get_allocated_width(impl_->list)) + "x" + std::to_string(area.height);
}

std::string MainWindow::shownNodes() const {
  GtkTreeModel* model = GTK_TREE_MODEL(impl_->nodes.get());
  std::string rows;
  int count = 0;
  GtkTreeIter iter;
  for (gboolean more = model != nullptr && gtk_tree_model_get_iter_first(model, &iter); more;
       more = gtk_tree_model_iter_next(model, &iter)) {
    gchar* cells[kColumns] = {};
    gtk_tree_model_get(model, &iter, kName, &cells[kName], kObject, &cells[kObject], kMaterial, &cells[kMaterial], -1);
    const host::gtk::Text name(cells[kName]), object(cells[kObject]), material(cells[kMaterial]);
    const bool selected =
        gtk_tree_selection_iter_is_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(impl_->list)), &iter) != FALSE;
    rows.append("\n").append(describeNode({name.get(), object.get(), material.get(), selected}));
    ++count;
  }
  return std::string("Node list: ") + std::to_string(count) + rows;
}

}  // namespace maxhost

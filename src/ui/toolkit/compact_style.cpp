#include "ui/toolkit/compact_style.h"

#include <gtk/gtk.h>
#include <wx/stattext.h>
#include <wx/window.h>

#include "ui/toolkit/toolkit.h"

namespace qm {

void makeCompact(wxWindow* control) {
  GtkWidget* widget = control ? control->GetHandle() : nullptr;
  if (!widget) return;
  gtk_style_context_add_class(gtk_widget_get_style_context(widget), kCompactStyleClass);
  if (GTK_IS_CONTAINER(widget) && !GTK_IS_COMBO_BOX(widget)) {
    // Pickers and spin boxes wrap their entries and buttons in boxes.
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child; child = child->next)
      gtk_style_context_add_class(gtk_widget_get_style_context(GTK_WIDGET(child->data)), kCompactStyleClass);
    g_list_free(children);
  }
  if (GTK_IS_COMBO_BOX(widget) && GTK_IS_CELL_LAYOUT(widget)) {
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(widget));
    for (GList* cell = cells; cell; cell = cell->next)
      gtk_cell_renderer_set_padding(GTK_CELL_RENDERER(cell->data), 2, 0);
    g_list_free(cells);
  }
}

void makeUnitBox(wxWindow* box) {
  makeCompact(box);
  if (GtkWidget* widget = box->GetHandle())
    gtk_style_context_add_class(gtk_widget_get_style_context(widget), kUnitStyleClass);
}

void keepScrollBarShown(wxWindow* area) {
  GtkWidget* widget = area->GetHandle();
  if (widget && GTK_IS_SCROLLED_WINDOW(widget))
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(widget), FALSE);
}

void alignLabel(wxStaticText* label) {
  GtkWidget* widget = label->GetHandle();
  if (!widget || !GTK_IS_LABEL(widget)) return;
  gtk_label_set_yalign(GTK_LABEL(widget), 0.0f);
  gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
}

}  // namespace qm

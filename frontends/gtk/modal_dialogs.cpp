#include "frontends/gtk/modal_dialogs.h"

#include "app/platform/modal_scope.h"
#include "frontends/gtk/gobject_ptr.h"

namespace kestrova::gtk {
namespace {

GtkWidget* addField(GtkWidget* dialog, const AlertField& field) {
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(entry), field.text.c_str());
  gtk_entry_set_visibility(GTK_ENTRY(entry), field.masked ? FALSE : TRUE);
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  gtk_widget_set_size_request(entry, field.width, field.height);
  gtk_widget_set_halign(entry, GTK_ALIGN_START);
  GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
  gtk_box_pack_start(GTK_BOX(area), entry, FALSE, FALSE, 0);
  gtk_widget_show(entry);
  return entry;
}

}  // namespace

AlertAnswer runAlertDialog(const AlertSpec& alert, GtkWindow* parent, MainLoop& loop) {
  GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                             GTK_BUTTONS_NONE, "%s", alert.message.c_str());
  if (!alert.informative.empty()) {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                             alert.informative.c_str());
  }
  gtk_window_set_title(GTK_WINDOW(dialog), g_get_application_name());
  // Response ids are the buttons' indexes: GTK reserves the negative ones for itself.
  for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), alert.buttons[i].c_str(), static_cast<int>(i));
  }
  if (!alert.buttons.empty()) {
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
  }
  GtkWidget* entry = alert.field ? addField(dialog, *alert.field) : nullptr;
  if (entry != nullptr) {
    gtk_widget_grab_focus(entry);
  } else if (GtkWidget* first = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 0)) {
    gtk_widget_grab_focus(first);
  }
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  AlertAnswer answer;
  int response = 0;
  {
    ModalScope modal(loop);
    response = gtk_dialog_run(GTK_DIALOG(dialog));
  }
  answer.response = response >= 0 && static_cast<std::size_t>(response) < alert.buttons.size()
                        ? kAlertFirstButton + response
                        : dismissedAlertResponse(alert.buttons);
  if (entry != nullptr) {
    answer.fieldText = gtk_entry_get_text(GTK_ENTRY(entry));
  }
  gtk_widget_destroy(dialog);
  return answer;
}

std::optional<std::string> runFolderChooser(const FolderPanelSpec& panel, GtkWindow* parent,
                                            MainLoop& loop) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      panel.title.c_str(), parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
      GTK_RESPONSE_CANCEL, panel.prompt.c_str(), GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(dialog), FALSE);
  gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(dialog), TRUE);
  if (!panel.message.empty()) {
    GtkWidget* label = gtk_label_new(panel.message.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_widget_set_halign(label, GTK_ALIGN_START);
    gtk_file_chooser_set_extra_widget(GTK_FILE_CHOOSER(dialog), label);
  }
  int response = GTK_RESPONSE_CANCEL;
  {
    ModalScope modal(loop);
    response = gtk_dialog_run(GTK_DIALOG(dialog));
  }
  std::optional<std::string> chosen;
  if (const auto* given =
          static_cast<const char*>(g_object_get_data(G_OBJECT(dialog), kChosenFolderKey))) {
    chosen = given;
  } else if (response == GTK_RESPONSE_ACCEPT) {
    if (gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
      chosen = path;
      g_free(path);
    }
  }
  gtk_widget_destroy(dialog);
  return chosen;
}

}  // namespace kestrova::gtk

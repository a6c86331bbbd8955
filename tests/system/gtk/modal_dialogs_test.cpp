// Alerts as GTK dialogs: answers by button index, the field, the dismissal, the timers' hold.
#include "frontends/gtk/modal_dialogs.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "frontends/gtk/glib_main_loop.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

// Answers the visible alert from inside its modal loop with `act`, noting whether the loop was
// held meanwhile; waits for one to appear.
struct Answerer {
  GlibMainLoop& loop;
  std::function<void(GtkDialog*)> act;
  bool modalWasOpen = false;

  static gboolean onTick(gpointer data) {
    auto* self = static_cast<Answerer*>(data);
    GtkWidget* dialog = gtk_grab_get_current();  // a running dialog is modal, so it holds the grab
    if (dialog == nullptr || !GTK_IS_MESSAGE_DIALOG(dialog)) return G_SOURCE_CONTINUE;
    self->modalWasOpen = self->loop.modalOpen();
    self->act(GTK_DIALOG(dialog));
    return G_SOURCE_REMOVE;
  }
};

// A button answers 1000 + its index; closing the dialog without one answers Cancel. A field is
// masked or plain, prefilled and focused, and its text returned. The loop's timers are held while
// the dialog is open and released once it has closed.
TEST(AlertDialogs, AnswersByButtonIndexOrCancelWhenClosedWithTheFieldsTextWhileTheLoopIsHeld) {
  if (!testing::displayReady()) GTEST_SKIP() << testing::kNeedsDisplay;
  GlibMainLoop loop;
  struct Row {
    std::optional<bool> masked;  // absent: no field
    int response, expected;
  };
  for (const Row& row :
       {Row{{}, 0, 1000}, Row{{}, 1, 1001}, Row{{}, GTK_RESPONSE_DELETE_EVENT, 1001},
        Row{true, 0, 1000}, Row{false, 1, 1001}}) {
    SCOPED_TRACE(row.response);
    std::optional<AlertField> field;
    if (row.masked) field = AlertField{.text = "start", .masked = *row.masked};
    Answerer answerer{loop, [&](GtkDialog* dialog) {
                        GtkWidget* focused = gtk_window_get_focus(GTK_WINDOW(dialog));
                        if (row.masked) {
                          ASSERT_TRUE(focused != nullptr && GTK_IS_ENTRY(focused));
                          GtkEntry* entry = GTK_ENTRY(focused);
                          EXPECT_EQ(gtk_entry_get_visibility(entry), *row.masked ? FALSE : TRUE);
                          EXPECT_STREQ(gtk_entry_get_text(entry), "start");
                          gtk_entry_set_text(entry, "typed");
                        }
                        gtk_dialog_response(dialog, row.response);
                      }};
    g_timeout_add(20, &Answerer::onTick, &answerer);
    const AlertAnswer answer = runAlertDialog(
        {"Quit Kestrova?", "Your channel will keep broadcasting.", {"Quit", "Cancel"}, field},
        nullptr, loop);
    EXPECT_EQ(answer.response, row.expected);
    EXPECT_EQ(answer.fieldText, row.masked ? "typed" : "");
    EXPECT_TRUE(answerer.modalWasOpen);
    EXPECT_FALSE(loop.modalOpen());
  }
}

}  // namespace
}  // namespace kestrova::gtk

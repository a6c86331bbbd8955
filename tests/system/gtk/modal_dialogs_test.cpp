// Alerts as GTK dialogs: answers by button index, the field, the dismissal, the timers' hold.
#include "frontends/gtk/modal_dialogs.h"

#include <gtest/gtest.h>

#include <functional>

#include "frontends/gtk/glib_main_loop.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

TEST(DismissedResponse, IsCancelWhenThereIsOneElseTheLastButton) {
  const std::vector<std::pair<std::vector<std::string>, int>> cases = {
      {{"OK"}, 1000},
      {{"Quit", "Cancel"}, 1001},
      {{"Cancel", "Delete"}, 1000},
      {{"Update Now", "Later"}, 1001},
      {{"Set Up", "Later", "Help"}, 1002},
  };
  for (const auto& [buttons, expected] : cases) {
    EXPECT_EQ(dismissedResponse(buttons), expected) << buttons.front();
  }
}

GtkDialog* openDialog() {
  GList* toplevels = gtk_window_list_toplevels();
  GtkDialog* found = nullptr;
  for (GList* node = toplevels; node != nullptr; node = node->next) {
    if (GTK_IS_MESSAGE_DIALOG(node->data) && gtk_widget_get_visible(GTK_WIDGET(node->data))) {
      found = GTK_DIALOG(node->data);
    }
  }
  g_list_free(toplevels);
  return found;
}

class AlertDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::displayReady()) {
      GTEST_SKIP() << testing::kNeedsDisplay;
    }
  }
  // Runs the alert; `act` answers it from inside its modal loop, after checking what it shows.
  AlertAnswer run(const AlertSpec& alert, std::function<void(GtkDialog*)> act) {
    act_ = std::move(act);
    modalWasOpen_ = false;
    g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
          auto* self = static_cast<AlertDialogs*>(data);
          GtkDialog* dialog = openDialog();
          if (dialog == nullptr) {
            return G_SOURCE_CONTINUE;
          }
          self->modalWasOpen_ = self->loop_.modalOpen();
          self->act_(dialog);
          return G_SOURCE_REMOVE;
        },
        this);
    return runAlertDialog(alert, nullptr, loop_);
  }
  GlibMainLoop loop_;
  std::function<void(GtkDialog*)> act_;
  bool modalWasOpen_ = false;
};

// A button answers 1000 + its index; closing the dialog without one answers Cancel. The loop's
// timers are held while the dialog is open and released once it has closed.
TEST_F(AlertDialogs, AnswersByButtonIndexOrCancelWhenClosedWhileTheLoopIsHeld) {
  const AlertSpec alert{
      "Quit Kestrova?", "Your channel will keep broadcasting.", {"Quit", "Cancel"}, std::nullopt};
  const std::vector<std::pair<int, int>> cases = {
      {0, 1000}, {1, 1001}, {GTK_RESPONSE_DELETE_EVENT, 1001}};
  for (const auto& [response, expected] : cases) {
    SCOPED_TRACE(response);
    // Captured by copy: clang 14, the sanitizer build's compiler, cannot capture a binding.
    const AlertAnswer answer = run(alert, [&, response = response](GtkDialog* dialog) {
      EXPECT_NE(gtk_dialog_get_widget_for_response(dialog, 0), nullptr);
      gtk_dialog_response(dialog, response);
    });
    EXPECT_EQ(answer.response, expected);
    EXPECT_TRUE(modalWasOpen_);
    EXPECT_FALSE(loop_.modalOpen());
  }
}

TEST_F(AlertDialogs, TheFieldIsMaskedOrPlainPrefilledFocusedAndItsTextReturned) {
  for (const bool masked : {true, false}) {
    AlertField field;
    field.text = "start";
    field.masked = masked;
    const AlertAnswer answer =
        run(AlertSpec{"Password", "", {"OK", "Cancel"}, field}, [&](GtkDialog* dialog) {
          // The field is the focused widget.
          GtkWidget* focused = gtk_window_get_focus(GTK_WINDOW(dialog));
          ASSERT_TRUE(focused != nullptr && GTK_IS_ENTRY(focused));
          GtkEntry* entry = GTK_ENTRY(focused);
          EXPECT_EQ(gtk_entry_get_visibility(entry), masked ? FALSE : TRUE);
          EXPECT_STREQ(gtk_entry_get_text(entry), "start");
          int width = 0;
          int height = 0;
          gtk_widget_get_size_request(GTK_WIDGET(entry), &width, &height);
          EXPECT_EQ(width, 260);
          EXPECT_EQ(height, 24);
          gtk_entry_set_text(entry, "typed");
          gtk_dialog_response(dialog, 0);
        });
    EXPECT_EQ(answer.response, 1000);
    EXPECT_EQ(answer.fieldText, "typed");
  }
}

}  // namespace
}  // namespace kestrova::gtk

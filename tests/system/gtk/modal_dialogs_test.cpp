// Alerts as GTK dialogs: answers by button index, the field, the dismissal, the timers' hold.
#include "frontends/gtk/modal_dialogs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "frontends/gtk/glib_main_loop.h"

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

// Answers the open dialog from inside its modal loop, after checking what it shows.
struct Responder {
  std::function<void(GtkDialog*)> act;
  GlibMainLoop* loop = nullptr;
  bool modalWasOpen = false;
};

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

gboolean respond(gpointer data) {
  auto* responder = static_cast<Responder*>(data);
  GtkDialog* dialog = openDialog();
  if (dialog == nullptr) {
    return G_SOURCE_CONTINUE;
  }
  responder->modalWasOpen = responder->loop->modalOpen();
  responder->act(dialog);
  return G_SOURCE_REMOVE;
}

GtkEntry* entryOf(GtkDialog* dialog) {
  GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
  GList* children = gtk_container_get_children(GTK_CONTAINER(area));
  GtkEntry* entry = nullptr;
  for (GList* node = children; node != nullptr; node = node->next) {
    if (GTK_IS_ENTRY(node->data)) {
      entry = GTK_ENTRY(node->data);
    }
  }
  g_list_free(children);
  return entry;
}

class AlertDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr || !gtk_init_check(nullptr, nullptr)) {
      GTEST_SKIP() << "needs an X display (./dev test provides one with xvfb-run)";
    }
  }
  AlertAnswer run(const AlertSpec& spec, std::function<void(GtkDialog*)> act) {
    responder_ = Responder{std::move(act), &loop_, false};
    g_timeout_add(20, &respond, &responder_);
    return runAlertDialog(spec, nullptr, loop_);
  }
  GlibMainLoop loop_;
  Responder responder_;
};

TEST_F(AlertDialogs, AButtonAnswersThousandPlusItsIndexWhileTheLoopIsHeld) {
  const AlertSpec spec{
      "Quit Kestrova?", "Your channel will keep broadcasting.", {"Quit", "Cancel"}, std::nullopt};
  for (const int index : {0, 1}) {
    const AlertAnswer answer = run(spec, [&](GtkDialog* dialog) {
      EXPECT_NE(gtk_dialog_get_widget_for_response(dialog, 0), nullptr);
      gtk_dialog_response(dialog, index);
    });
    EXPECT_EQ(answer.response, kAlertFirstButton + index);
    EXPECT_TRUE(responder_.modalWasOpen);
    EXPECT_FALSE(loop_.modalOpen());
  }
}

TEST_F(AlertDialogs, ClosingWithoutAButtonAnswersCancel) {
  const AlertAnswer answer =
      run(AlertSpec{"Stop Kestrova?", "", {"Stop", "Cancel"}, std::nullopt},
          [](GtkDialog* dialog) { gtk_dialog_response(dialog, GTK_RESPONSE_DELETE_EVENT); });
  EXPECT_EQ(answer.response, 1001);
}

TEST_F(AlertDialogs, TheFieldIsMaskedOrPlainPrefilledFocusedAndItsTextReturned) {
  for (const bool masked : {true, false}) {
    AlertField field;
    field.text = "start";
    field.masked = masked;
    const AlertAnswer answer =
        run(AlertSpec{"Password", "", {"OK", "Cancel"}, field}, [&](GtkDialog* dialog) {
          GtkEntry* entry = entryOf(dialog);
          ASSERT_NE(entry, nullptr);
          EXPECT_EQ(gtk_entry_get_visibility(entry), masked ? FALSE : TRUE);
          EXPECT_STREQ(gtk_entry_get_text(entry), "start");
          EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(dialog)), GTK_WIDGET(entry));
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

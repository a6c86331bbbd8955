// The desktop services: the clipboard keeps the text, a URI no application takes is refused.
#include "frontends/gtk/workspace.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>

namespace kestrova::gtk {
namespace {

class Workspace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr || !gtk_init_check(nullptr, nullptr)) {
      GTEST_SKIP() << "needs an X display (./dev test provides one with xvfb-run)";
    }
  }
};

TEST_F(Workspace, TheClipboardHoldsTheTextReplacingWhatWasThere) {
  for (const std::string text : {"first", "pässwörd with spaces", ""}) {
    setClipboardText(text);
    gchar* held = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    EXPECT_EQ(held != nullptr ? std::string(held) : std::string(), text);
    g_free(held);
  }
}

TEST_F(Workspace, AnAddressNoApplicationTakesIsReportedAsNotOpened) {
  EXPECT_FALSE(openUri("kestrova-no-such-scheme://nowhere"));
}

}  // namespace
}  // namespace kestrova::gtk

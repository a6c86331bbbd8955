// The desktop services: the clipboard keeps the text, a URI no application takes is refused.
#include "frontends/gtk/workspace.h"

#include <gtest/gtest.h>

#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

TEST(Workspace, TheClipboardHoldsTheTextAndAnAddressNoApplicationTakesIsNotOpened) {
  if (!testing::displayReady()) {
    GTEST_SKIP() << testing::kNeedsDisplay;
  }
  // Each text replaces what was there, the empty one included.
  for (const std::string text : {"first", "pässwörd with spaces", ""}) {
    setClipboardText(text);
    gchar* held = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    EXPECT_EQ(held != nullptr ? std::string(held) : std::string(), text);
    g_free(held);
  }
  EXPECT_FALSE(openUri("kestrova-no-such-scheme://nowhere"));
  // "Show Logs…" before the engine has written a log: nothing is shown, no error either.
  EXPECT_FALSE(revealInFileManager("/nonexistent/Kestrova/logs/stream.log"));
}

}  // namespace
}  // namespace kestrova::gtk

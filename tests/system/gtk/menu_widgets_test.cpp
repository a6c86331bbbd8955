// Menus rendered as GTK widgets (titles, enabled lines, check marks, shortcuts, actions), and the
// desktop services (clipboard, opening addresses).
#include "frontends/gtk/menu_widgets.h"

#include <gtest/gtest.h>

#include "app/shell/app_menu.h"
#include "app/shell/status_menu.h"
#include "frontends/gtk/gobject_ptr.h"
#include "frontends/gtk/workspace.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

class RenderedMenus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::displayReady()) {
      GTEST_SKIP() << testing::kNeedsDisplay;
    }
    app_.reset(g_application_new("com.talmiro.kestrova.menutest", G_APPLICATION_NON_UNIQUE));
  }
  GObjectPtr<GApplication> app_;
};

// What the widgets show, read back, is what the core's menu value says, for every state.
TEST_F(RenderedMenus, EveryStatusMenuReadsBackAsTheCoreBuiltIt) {
  for (const EngineStatus status : {EngineStatus::offline, EngineStatus::idle, EngineStatus::onAir,
                                    EngineStatus::live, EngineStatus::needsSetup}) {
    for (const bool agentFile : {false, true}) {
      const Menu menu =
          buildStatusMenu(status, status == EngineStatus::offline ? "" : "Morning Show", agentFile);
      SCOPED_TRACE(menu.items.front().title + (agentFile ? " with agent" : ""));
      GObjectPtr<GtkWidget> widget = adoptFloating(buildMenuWidget(menu, app_.get()));
      EXPECT_EQ(describeMenuWidget(GTK_MENU_SHELL(widget.get())), testing::shownForm(menu));
      gtk_widget_destroy(widget.get());
    }
  }
}

TEST_F(RenderedMenus, TheMainMenuBarNamesTheApplicationMenuAndShowsShiftForCapitals) {
  GObjectPtr<GtkWidget> bar = adoptFloating(buildMenuBar(buildAppMenu(), app_.get(), "Kestrova"));
  const nlohmann::json shown = describeMenuWidget(GTK_MENU_SHELL(bar.get()));
  ASSERT_EQ(shown.size(), 3U);
  EXPECT_EQ(shown[0]["title"], "Kestrova");
  EXPECT_EQ(shown[1]["title"], "Edit");
  EXPECT_EQ(shown[2]["title"], "Window");
  const nlohmann::json& edit = shown[1]["submenu"];
  ASSERT_EQ(edit.size(), 6U);
  EXPECT_EQ(edit[1]["title"], "Redo");
  EXPECT_EQ(edit[1]["shortcut"], "Shift+Ctrl+Z");
  EXPECT_EQ(edit[1]["action"], "redo");
  EXPECT_EQ(shown[0]["submenu"][3]["action"], "terminate");
  EXPECT_EQ(shown[2]["submenu"][1]["title"], "Minimise");
  gtk_widget_destroy(bar.get());
}

TEST_F(RenderedMenus, TheClipboardHoldsTheTextAndAnAddressNoApplicationTakesIsNotOpened) {
  for (const std::string text : {"first", "p\u00e4ssw\u00f6rd with spaces", ""}) {
    setClipboardText(text);
    gchar* held = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    EXPECT_EQ(held != nullptr ? std::string(held) : std::string(), text);
    g_free(held);
  }
  EXPECT_FALSE(openUri("kestrova-no-such-scheme://nowhere"));
  // "Show Logs…" before the engine has written a log: nothing is shown, no error either.
  EXPECT_FALSE(revealInFileManager("/nonexistent/Kestrova/logs/stream.log"));
}

void record(GSimpleAction* action, GVariant* /*parameter*/, gpointer chosen) {
  static_cast<std::vector<std::string>*>(chosen)->emplace_back(g_action_get_name(G_ACTION(action)));
}

TEST_F(RenderedMenus, TheKeyEquivalentsShownInTheStatusMenuChooseTheirItemsWhileItIsOpen) {
  ASSERT_TRUE(g_application_register(app_.get(), nullptr, nullptr));
  std::vector<std::string> chosen;
  for (const char* name : {"openDashboard", "quit"}) {
    GObjectPtr<GSimpleAction> action(g_simple_action_new(name, nullptr));
    connectSignal(action.get(), "activate", &record, &chosen);
    g_action_map_add_action(G_ACTION_MAP(app_.get()), G_ACTION(action.get()));
  }
  GObjectPtr<GtkWidget> menu =
      adoptFloating(buildMenuWidget(buildStatusMenu(EngineStatus::onAir, "", true), app_.get()));
  for (const guint key : {GDK_KEY_d, GDK_KEY_q}) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.keyval = key;
    event->key.state = GDK_CONTROL_MASK;
    gboolean handled = FALSE;
    g_signal_emit_by_name(menu.get(), "key-press-event", event, &handled);
    gdk_event_free(event);
    EXPECT_TRUE(handled);
  }
  EXPECT_TRUE(testing::spinUntil([&] { return chosen.size() >= 2; }));
  EXPECT_EQ(chosen, (std::vector<std::string>{"openDashboard", "quit"}));
  gtk_widget_destroy(menu.get());
}

}  // namespace
}  // namespace kestrova::gtk

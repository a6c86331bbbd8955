// The status item as an indicator (the icon per core symbol, the fallback, dimming, the menu's
// actions), the main menu bar as widgets, and revealing a file that is not there.
#include "frontends/gtk/indicator_status_item.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string_view>
#include <vector>

#include "app/shell/app_menu.h"
#include "app/shell/status_menu.h"
#include "frontends/gtk/glib_main_loop.h"
#include "frontends/gtk/menu_widgets.h"
#include "frontends/gtk/workspace.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

using Names = std::vector<std::string>;

class RecordingHandler final : public AppHandler {
 public:
  Names performed;
  void applicationDidFinishLaunching() override {}
  bool applicationShouldHandleReopen(bool /*hasVisibleWindows*/) override { return true; }
  bool applicationShouldTerminateAfterLastWindowClosed() override { return false; }
  void perform(std::string_view action) override { performed.emplace_back(action); }
};

class IndicatorItem : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::displayReady()) GTEST_SKIP() << testing::kNeedsDisplay;
    setenv("XDG_CACHE_HOME", std::filesystem::temp_directory_path().c_str(), 1);
    // An application answers for its actions once registered, as the running program is.
    ASSERT_TRUE(g_application_register(app_.get(), nullptr, nullptr));
    actions_ = std::make_unique<AppActions>(G_ACTION_MAP(app_.get()), loop_);
    actions_->setHandler(&handler_);
    item_ = std::make_unique<IndicatorStatusItem>(app_.get(), *actions_, kId);
  }
  // What was performed once the context has dispatched every source attached so far.
  Names performed() {
    testing::passMilliseconds(0);
    return handler_.performed;
  }
  static constexpr const char* kId = "com.talmiro.kestrova.itemtest";
  GlibMainLoop loop_;
  GObjectPtr<GApplication> app_{g_application_new(kId, G_APPLICATION_NON_UNIQUE)};
  RecordingHandler handler_;
  std::unique_ptr<AppActions> actions_;
  std::unique_ptr<IndicatorStatusItem> item_;
};

TEST_F(IndicatorItem, EveryStateTheCoreDrawsHasAThemeIconDimmedOnRequestAndElseTheTitleShows) {
  for (const EngineStatus status : {EngineStatus::offline, EngineStatus::idle, EngineStatus::onAir,
                                    EngineStatus::live, EngineStatus::needsSetup}) {
    const StatusAppearance appearance = appearanceFor(status);
    EXPECT_TRUE(item_->setSymbol(appearance.symbol, appearance.accessibility)) << appearance.symbol;
  }
  item_->setAppearsDisabled(true);
  const std::string dimmed = item_->describe()["icon"];
  EXPECT_TRUE(std::filesystem::exists(dimmed)) << dimmed;
  item_->setAppearsDisabled(false);
  EXPECT_EQ(item_->describe()["icon"], "dialog-warning-symbolic");
  // Refused, so that the core shows its title instead.
  EXPECT_FALSE(item_->setSymbol("no.such.symbol", "Nothing"));
  item_->setTitle("● ON AIR");
  EXPECT_EQ(item_->describe()["label"], "● ON AIR");
  ASSERT_TRUE(item_->setSymbol("pause.circle", "Idle"));
  EXPECT_EQ(item_->describe()["label"], "") << "a symbol replaces the title";
  EXPECT_EQ(item_->describe()["title"], "") << "hosts show the title as a tooltip; there is none";
}

// The menu's actions are application actions (reachable over D-Bus); one triggered while an
// alert is open reaches the controller only after the alert has closed.
TEST_F(IndicatorItem, TheMenusActionsReachTheHandlerButNotFromUnderAnOpenAlert) {
  item_->setMenu(buildStatusMenu(EngineStatus::offline, "", false));
  GActionGroup* group = G_ACTION_GROUP(app_.get());
  EXPECT_FALSE(g_action_group_has_action(group, "stopEngine")) << "not in the offline menu";
  // A later menu adds its new actions; one it no longer shows ("Start Kestrova" while on air)
  // stays exported but disabled, and does nothing.
  item_->setMenu(buildStatusMenu(EngineStatus::onAir, "", false));
  for (const char* name : {"openDashboard", "startEngine", "stopEngine", "quit", "toggleAgent"}) {
    EXPECT_TRUE(g_action_group_has_action(group, name)) << name;
  }
  EXPECT_FALSE(g_action_group_get_action_enabled(group, "startEngine"));
  g_action_group_activate_action(group, "startEngine", nullptr);
  g_action_group_activate_action(group, "openDashboard", nullptr);
  g_action_group_activate_action(group, "stopEngine", nullptr);
  EXPECT_EQ(performed(), (Names{"openDashboard", "stopEngine"}));
  loop_.modalBegan();
  g_action_group_activate_action(group, "restartEngine", nullptr);
  EXPECT_EQ(performed().size(), 2U) << "the controller was entered under its alert";
  loop_.modalEnded();
  EXPECT_EQ(performed().back(), "restartEngine");
}

TEST_F(IndicatorItem, TheMenuBarShowsShiftForCapitalsAndAMissingLogRevealsNothing) {
  GObjectPtr<GtkWidget> bar = adoptFloating(buildMenuBar(buildAppMenu(), app_.get(), "Kestrova"));
  const nlohmann::json shown = describeMenuWidget(GTK_MENU_SHELL(bar.get()));
  ASSERT_EQ(shown.size(), 3U);
  EXPECT_EQ(shown[1]["submenu"][1]["shortcut"], "Shift+Ctrl+Z") << shown[1].dump();
  gtk_widget_destroy(bar.get());

  // "Show Logs…" before the engine has written a log: nothing is shown, no error either.
  EXPECT_FALSE(revealInFileManager("/nonexistent/Kestrova/logs/stream.log"));
}

TEST_F(IndicatorItem, TheKeyEquivalentsShownInTheOpenStatusMenuChooseTheirItems) {
  const Menu shown = buildStatusMenu(EngineStatus::onAir, "", true);
  item_->setMenu(shown);
  GObjectPtr<GtkWidget> menu = adoptFloating(buildMenuWidget(shown, app_.get()));
  for (const guint key : {GDK_KEY_d, GDK_KEY_q}) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.keyval = key;
    event->key.state = GDK_CONTROL_MASK;
    gboolean handled = FALSE;
    g_signal_emit_by_name(menu.get(), "key-press-event", event, &handled);
    gdk_event_free(event);
    EXPECT_TRUE(handled);
  }
  EXPECT_TRUE(testing::spinUntil([&] { return handler_.performed.size() >= 2; }));
  EXPECT_EQ(performed(), (Names{"openDashboard", "quit"}));
  gtk_widget_destroy(menu.get());
}

}  // namespace
}  // namespace kestrova::gtk

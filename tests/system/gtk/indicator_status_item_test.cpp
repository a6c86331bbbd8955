// The status item as an indicator: the icon per core symbol, the fallback, dimming, the actions.
#include "frontends/gtk/indicator_status_item.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string_view>
#include <vector>

#include "app/shell/status_menu.h"
#include "frontends/gtk/glib_main_loop.h"
#include "frontends/gtk/symbol_icons.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

class RecordingHandler final : public AppHandler {
 public:
  std::vector<std::string> performed;
  void applicationDidFinishLaunching() override {}
  bool applicationShouldHandleReopen(bool /*hasVisibleWindows*/) override { return true; }
  bool applicationShouldTerminateAfterLastWindowClosed() override { return false; }
  void perform(std::string_view action) override { performed.emplace_back(action); }
};

class IndicatorItem : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::displayReady()) {
      GTEST_SKIP() << testing::kNeedsDisplay;
    }
    setenv("XDG_CACHE_HOME", std::filesystem::temp_directory_path().c_str(), 1);
    app_.reset(g_application_new("com.talmiro.kestrova.itemtest", G_APPLICATION_NON_UNIQUE));
    // An application answers for its actions once registered, as the running program is.
    ASSERT_TRUE(g_application_register(app_.get(), nullptr, nullptr));
    actions_ = std::make_unique<AppActions>(G_ACTION_MAP(app_.get()), loop_);
    actions_->setHandler(&handler_);
    item_ = std::make_unique<IndicatorStatusItem>(app_.get(), *actions_,
                                                  "com.talmiro.kestrova.itemtest");
  }
  // Iterates until the handler has performed `count` actions.
  void runUntilPerformed(std::size_t count) {
    while (handler_.performed.size() < count && g_main_context_iteration(nullptr, TRUE)) {
    }
  }
  GlibMainLoop loop_;
  GObjectPtr<GApplication> app_;
  RecordingHandler handler_;
  std::unique_ptr<AppActions> actions_;
  std::unique_ptr<IndicatorStatusItem> item_;
};

TEST_F(IndicatorItem, EveryStateTheCoreDrawsHasAThemeIconAndAnUnknownSymbolFallsBackToTheTitle) {
  for (const EngineStatus status : {EngineStatus::offline, EngineStatus::idle, EngineStatus::onAir,
                                    EngineStatus::live, EngineStatus::needsSetup}) {
    const StatusAppearance appearance = appearanceFor(status);
    SCOPED_TRACE(appearance.symbol);
    const auto icon = iconForSymbol(appearance.symbol);
    ASSERT_TRUE(icon.has_value());
    ASSERT_TRUE(item_->setSymbol(appearance.symbol, appearance.accessibility));
    const auto shown = item_->describe();
    EXPECT_EQ(shown["icon"], *icon);
    EXPECT_EQ(shown["iconDescription"], appearance.accessibility);
    EXPECT_EQ(shown["label"], "");
    EXPECT_EQ(shown["title"], "") << "hosts show the title as a tooltip, and the item has none";
  }
  // Refused, so that the core shows its title instead.
  EXPECT_FALSE(item_->setSymbol("no.such.symbol", "Nothing"));
  item_->setTitle("● ON AIR");
  EXPECT_EQ(item_->describe()["label"], "● ON AIR");
}

TEST_F(IndicatorItem, AppearingDisabledDimsTheIconAndUndoingItRestoresIt) {
  ASSERT_TRUE(item_->setSymbol("pause.circle", "Idle — not broadcasting"));
  item_->setAppearsDisabled(true);
  const std::string dimmed = item_->describe()["icon"];
  EXPECT_NE(dimmed, "media-playback-pause-symbolic");
  EXPECT_TRUE(std::filesystem::exists(dimmed)) << dimmed;
  EXPECT_EQ(item_->describe()["appearsDisabled"], true);
  item_->setAppearsDisabled(false);
  EXPECT_EQ(item_->describe()["icon"], "media-playback-pause-symbolic");
}

// The menu's actions are application actions (reachable over D-Bus), but only those the menu
// now shows enabled do anything; one triggered while an alert is open reaches the controller
// only after the alert has closed.
TEST_F(IndicatorItem, TheShownMenusActionsReachTheHandlerButNotFromUnderAnOpenAlert) {
  item_->setMenu(buildStatusMenu(EngineStatus::offline, "", false));
  GActionGroup* group = G_ACTION_GROUP(app_.get());
  for (const char* name : {"openDashboard", "startEngine", "quit", "toggleAgent"}) {
    EXPECT_TRUE(g_action_group_has_action(group, name)) << name;
  }
  EXPECT_FALSE(g_action_group_has_action(group, "stopEngine")) << "not in the offline menu";
  // A later menu adds its new actions; one it no longer shows ("Start Kestrova" while on air)
  // stays exported but does nothing.
  item_->setMenu(buildStatusMenu(EngineStatus::onAir, "", false));
  EXPECT_TRUE(g_action_group_has_action(group, "stopEngine"));
  EXPECT_FALSE(g_action_group_get_action_enabled(group, "startEngine"));
  g_action_group_activate_action(group, "startEngine", nullptr);
  g_action_group_activate_action(group, "openDashboard", nullptr);
  g_action_group_activate_action(group, "stopEngine", nullptr);
  runUntilPerformed(2);
  EXPECT_EQ(handler_.performed, (std::vector<std::string>{"openDashboard", "stopEngine"}));

  loop_.modalBegan();
  g_action_group_activate_action(group, "restartEngine", nullptr);
  bool marker = false;
  loop_.post([&] { marker = true; });
  while (!marker && g_main_context_iteration(nullptr, TRUE)) {
  }
  EXPECT_EQ(handler_.performed.size(), 2U) << "the controller was entered under its alert";
  loop_.modalEnded();
  runUntilPerformed(3);
  EXPECT_EQ(handler_.performed,
            (std::vector<std::string>{"openDashboard", "stopEngine", "restartEngine"}));
}

}  // namespace
}  // namespace kestrova::gtk

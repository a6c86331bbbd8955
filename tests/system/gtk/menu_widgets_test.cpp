// Menus rendered as GTK widgets: titles, enabled lines, check marks, shortcuts, actions.
#include "frontends/gtk/menu_widgets.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/shell/app_menu.h"
#include "app/shell/status_menu.h"
#include "frontends/gtk/gobject_ptr.h"

namespace kestrova::gtk {
namespace {

TEST(MenuWidgets, KeyEquivalentsBecomeControlAccelerators) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"d", "<Control>d"}, {"q", "<Control>q"},  {"Z", "<Control><Shift>z"},
      {"", std::nullopt},  {"ab", std::nullopt},
  };
  for (const auto& [key, expected] : cases) {
    EXPECT_EQ(acceleratorFor(key), expected) << "key \"" << key << "\"";
  }
}

TEST(MenuWidgets, ActionNamesDropTheSelectorsColon) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"copy:", "copy"},
      {"performClose:", "performClose"},
      {"openDashboard", "openDashboard"},
      {"", ""},
  };
  for (const auto& [selector, expected] : cases) {
    MenuItem item;
    item.action = selector;
    EXPECT_EQ(actionNameFor(item), expected);
    EXPECT_TRUE(expected.empty() || g_action_name_is_valid(expected.c_str()));
  }
}

class RenderedMenus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr || !gtk_init_check(nullptr, nullptr)) {
      GTEST_SKIP() << "needs an X display (./dev test provides one with xvfb-run)";
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
      GObjectPtr<GtkWidget> widget = adoptFloating(buildMenuWidget(menu, app_.get()));
      const nlohmann::json shown = describeMenuWidget(GTK_MENU_SHELL(widget.get()));
      ASSERT_EQ(shown.size(), menu.items.size());
      for (std::size_t i = 0; i < menu.items.size(); ++i) {
        const MenuItem& item = menu.items[i];
        SCOPED_TRACE(item.title);
        if (item.separator) {
          EXPECT_TRUE(shown[i].value("separator", false));
          continue;
        }
        EXPECT_EQ(shown[i]["title"], item.title);
        EXPECT_EQ(shown[i]["enabled"], item.enabled);
        EXPECT_EQ(shown[i]["checked"], item.checked);
        EXPECT_EQ(shown[i]["action"], actionNameFor(item));
        if (item.key.empty()) {
          EXPECT_FALSE(shown[i].contains("shortcut"));
        } else {
          EXPECT_EQ(shown[i]["shortcut"],
                    "Ctrl+" + std::string(1, static_cast<char>(std::toupper(item.key[0]))));
        }
      }
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

}  // namespace
}  // namespace kestrova::gtk

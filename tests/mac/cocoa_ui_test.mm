// Alerts and the folder panel on an unattended station: the app is activated before each opens,
// none holds up a termination, and a termination dismisses the open one and keeps others from
// opening. Mac only.
#include "frontends/cocoa/cocoa_ui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontends/cocoa/cocoa_main_loop.h"
#include "tests/mac/main_queue.h"

namespace kestrova {
namespace {

class RecordingUi final : public cocoa::CocoaUi {
 public:
  using CocoaUi::CocoaUi;
  void activate() override { seen.emplace_back("activated"); }

  // Once the next modal window runs: how it stands, then a termination begins.
  void terminateWhileOpen(MainLoop& loop) {
    loop.post([this] {
      NSWindow* modal = NSApp.modalWindow;
      seen.emplace_back(modal == nil ? "no modal window"
                        : modal.preventsApplicationTerminationWhenModal
                            ? "open, holding up termination"
                            : "open");
      dismissModalsForTermination();
    });
  }

  std::vector<std::string> seen;
};

TEST(CocoaUi, AlertsAndThePanelOpenActivatedAndATerminationDismissesThem) {
  cocoa::CocoaMainLoop loop;
  RecordingUi alerts(loop);
  alerts.terminateWhileOpen(loop);
  const AlertAnswer answer =
      alerts.runAlert({"Update?", "", {"Install", "Cancel", "Later"}, AlertField{"typed"}});
  EXPECT_EQ(answer.response, kAlertFirstButton + 1);
  EXPECT_EQ(answer.fieldText, "typed");
  alerts.terminateWhileOpen(loop);  // answers, should one open after all
  EXPECT_EQ(alerts.runAlert({"Updated", "", {"OK"}, {}}).response, kAlertFirstButton);
  testing::drainMainQueue();
  EXPECT_EQ(alerts.seen, (std::vector<std::string>{"activated", "open", "no modal window"}));

  RecordingUi panel(loop);
  panel.terminateWhileOpen(loop);
  EXPECT_EQ(panel.chooseFolder({"Media", "Choose the folder", "Use"}), std::nullopt);
  EXPECT_EQ(panel.seen, (std::vector<std::string>{"activated", "open"}));
}

}  // namespace
}  // namespace kestrova

// Tells the main loop that a modal alert or panel is running, for as long as it runs, whatever
// way it ends; every front end holds one around its modal dialogs.
#pragma once

#include "app/platform/main_loop.h"

namespace kestrova {

class ModalScope {
 public:
  explicit ModalScope(MainLoop& loop) : loop_(loop) { loop_.modalBegan(); }
  ~ModalScope() { loop_.modalEnded(); }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  MainLoop& loop_;
};

}  // namespace kestrova

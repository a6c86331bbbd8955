// Readable alerts in assertion failures: compare whole AlertSpecs and still see the texts.
#pragma once

#include <ostream>

#include "app/platform/ui.h"

namespace kestrova {

inline void PrintTo(const AlertSpec& alert, std::ostream* out) {
  *out << "{\"" << alert.message << "\", \"" << alert.informative << "\", [";
  for (const auto& button : alert.buttons) *out << '"' << button << "\" ";
  *out << "], " << (alert.field ? "with a field" : "no field") << '}';
}

}  // namespace kestrova

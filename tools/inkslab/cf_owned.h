// Ownership of Core Foundation references on the Mac (CoreGraphics, CoreText and ImageIO objects
// are ones too): released once, when the owner goes.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <memory>
#include <type_traits>

namespace kestrova::inkslab {

struct CFReleaser {
  void operator()(CFTypeRef object) const { CFRelease(object); }
};

template <typename Ref>
using CFOwned = std::unique_ptr<std::remove_pointer_t<Ref>, CFReleaser>;

}  // namespace kestrova::inkslab

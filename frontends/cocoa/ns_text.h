// Conversions between the core's UTF-8 strings and Foundation's strings.
#pragma once

#import <Foundation/Foundation.h>

#include <string>

namespace kestrova::cocoa {

// Bytes that are not UTF-8 give an empty string rather than nil, which AppKit setters reject.
[[nodiscard]] inline NSString* toNSString(const std::string& text) {
  NSString* converted = [[NSString alloc] initWithBytes:text.data()
                                                 length:text.size()
                                               encoding:NSUTF8StringEncoding];
  return converted != nil ? converted : @"";
}

[[nodiscard]] inline std::string toStdString(NSString* text) {
  const char* utf8 = text != nil ? text.UTF8String : nullptr;
  return utf8 != nullptr ? std::string(utf8) : std::string();
}

}  // namespace kestrova::cocoa

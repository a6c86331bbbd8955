#import <Foundation/Foundation.h>

#include "app/platform/info_plist.h"

namespace kestrova {

// Foundation reads every property list format; what is not a string is left out as on Linux.
std::map<std::string, std::string> readInfoPlistStrings(const std::string& path) {
  std::map<std::string, std::string> strings;
  @autoreleasepool {
    NSString* file = [NSString stringWithUTF8String:path.c_str()];
    NSData* data = file != nil ? [NSData dataWithContentsOfFile:file] : nil;
    if (data == nil) {
      return strings;
    }
    id list = [NSPropertyListSerialization propertyListWithData:data
                                                        options:NSPropertyListImmutable
                                                         format:nullptr
                                                          error:nullptr];
    if (![list isKindOfClass:[NSDictionary class]]) {
      return strings;
    }
    NSDictionary* dictionary = list;
    for (id key in dictionary) {
      id value = dictionary[key];
      if ([key isKindOfClass:[NSString class]] && [value isKindOfClass:[NSString class]]) {
        strings.emplace(static_cast<NSString*>(key).UTF8String,
                        static_cast<NSString*>(value).UTF8String);
      }
    }
  }
  return strings;
}

}  // namespace kestrova

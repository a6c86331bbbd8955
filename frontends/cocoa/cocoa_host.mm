#include "frontends/cocoa/cocoa_host.h"

#import <Foundation/Foundation.h>
#include <unistd.h>

#include "app/platform/detached_spawn.h"
#include "frontends/cocoa/ns_text.h"

namespace kestrova::cocoa {

std::string CocoaHost::homeDirectory() const { return toStdString(NSHomeDirectory()); }

std::optional<std::string> CocoaHost::environment(const std::string& name) const {
  NSString* value = NSProcessInfo.processInfo.environment[toNSString(name)];
  if (value == nil) {
    return std::nullopt;
  }
  return toStdString(value);
}

int CocoaHost::processId() const { return NSProcessInfo.processInfo.processIdentifier; }

unsigned CocoaHost::userId() const { return static_cast<unsigned>(::getuid()); }

// "Version 14.2.1 (Build 23C71)": the version and the build, as the diagnostics report shows it.
std::string CocoaHost::osVersionText() const {
  return toStdString(NSProcessInfo.processInfo.operatingSystemVersionString);
}

std::string CocoaHost::bundlePath() const { return toStdString(NSBundle.mainBundle.bundlePath); }

std::optional<std::string> CocoaHost::resourcesPath() const {
  NSString* resources = NSBundle.mainBundle.resourcePath;
  BOOL folder = NO;
  if (resources == nil ||
      ![NSFileManager.defaultManager fileExistsAtPath:resources isDirectory:&folder] || !folder) {
    return std::nullopt;
  }
  return toStdString(resources);
}

std::optional<std::string> CocoaHost::infoString(const std::string& key) const {
  id value = [NSBundle.mainBundle objectForInfoDictionaryKey:toNSString(key)];
  if (![value isKindOfClass:[NSString class]]) {
    return std::nullopt;
  }
  return toStdString(static_cast<NSString*>(value));
}

void CocoaHost::systemLog(const std::string& line) const { NSLog(@"%@", toNSString(line)); }

bool CocoaHost::isExecutableFile(const std::string& path) const {
  NSString* file = toNSString(path);
  BOOL folder = NO;
  return [NSFileManager.defaultManager fileExistsAtPath:file isDirectory:&folder] && !folder &&
         [NSFileManager.defaultManager isExecutableFileAtPath:file];
}

std::chrono::system_clock::time_point CocoaHost::now() const {
  return std::chrono::system_clock::now();
}

void CocoaHost::sleepFor(double seconds) const { [NSThread sleepForTimeInterval:seconds]; }

std::optional<std::string> CocoaHost::spawnDetached(
    const std::string& path, const std::vector<std::string>& arguments) const {
  return spawnDetachedProgram(path, arguments);
}

}  // namespace kestrova::cocoa

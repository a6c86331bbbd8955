#include "standins/launchctl/job.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <pugixml.hpp>

#include "standins/launchctl/plist_text.h"

namespace kestrova::launchd {
namespace {

using Entries = std::map<std::string, pugi::xml_node>;

// Far beyond any agent's file: the file is read whole, so its size is bounded first.
constexpr off_t kLargestFile = 1 << 20;

struct Refusal {
  std::string reason;
};

std::optional<Refusal> readEntries(const pugi::xml_node& dict, Entries& entries) {
  for (pugi::xml_node node = dict.first_child(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_element) {
      continue;
    }
    if (std::string(node.name()) != "key") {
      return Refusal{std::string("expected <key>, found <") + node.name() + ">"};
    }
    pugi::xml_node value = node.next_sibling();
    while (value && value.type() != pugi::node_element) {
      value = value.next_sibling();
    }
    if (!value || std::string(value.name()) == "key") {
      return Refusal{std::string("key ") + node.child_value() + " has no value"};
    }
    entries[node.child_value()] = value;
    node = value;
  }
  return std::nullopt;
}

bool isA(const pugi::xml_node& node, const char* type) { return std::string(node.name()) == type; }

std::optional<Refusal> readString(const Entries& entries, const std::string& key,
                                  std::optional<std::string>& out) {
  auto found = entries.find(key);
  if (found == entries.end()) {
    return std::nullopt;
  }
  if (!isA(found->second, "string")) {
    return Refusal{key + " must be a string"};
  }
  out = found->second.child_value();
  return std::nullopt;
}

std::optional<Refusal> readBoolean(const Entries& entries, const std::string& key, bool& out) {
  auto found = entries.find(key);
  if (found == entries.end()) {
    return std::nullopt;
  }
  if (isA(found->second, "true") || isA(found->second, "false")) {
    out = isA(found->second, "true");
    return std::nullopt;
  }
  // KeepAlive may be a dictionary of conditions; here any condition counts as "always".
  if (key == "KeepAlive" && isA(found->second, "dict")) {
    out = true;
    return std::nullopt;
  }
  return Refusal{key + " must be a boolean"};
}

std::optional<Refusal> readInteger(const Entries& entries, const std::string& key, int& out) {
  auto found = entries.find(key);
  if (found == entries.end()) {
    return std::nullopt;
  }
  const std::string text = found->second.child_value();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (!isA(found->second, "integer") || text.empty() || *end != '\0' || errno != 0 || value < 0 ||
      value > 86400) {
    return Refusal{key + " must be an integer from 0 to 86400"};
  }
  out = static_cast<int>(value);
  return std::nullopt;
}

std::optional<Refusal> readProgram(const Entries& entries, Job& job) {
  std::optional<std::string> program;
  if (auto refused = readString(entries, "Program", program)) {
    return refused;
  }
  auto found = entries.find("ProgramArguments");
  if (found != entries.end()) {
    if (!isA(found->second, "array")) {
      return Refusal{"ProgramArguments must be an array"};
    }
    for (pugi::xml_node item : found->second.children()) {
      if (item.type() != pugi::node_element) {
        continue;
      }
      if (!isA(item, "string")) {
        return Refusal{"ProgramArguments may hold strings only"};
      }
      job.arguments.emplace_back(item.child_value());
    }
  }
  if (!program && job.arguments.empty()) {
    return Refusal{"neither Program nor ProgramArguments names a program"};
  }
  job.program = program ? *program : job.arguments.front();
  if (job.arguments.empty()) {
    job.arguments.push_back(job.program);
  }
  return std::nullopt;
}

std::optional<Refusal> readEnvironment(const Entries& entries, Job& job) {
  auto found = entries.find("EnvironmentVariables");
  if (found == entries.end()) {
    return std::nullopt;
  }
  Entries variables;
  if (!isA(found->second, "dict")) {
    return Refusal{"EnvironmentVariables must be a dictionary"};
  }
  if (auto refused = readEntries(found->second, variables)) {
    return refused;
  }
  for (const auto& [name, value] : variables) {
    if (!isA(value, "string")) {
      return Refusal{"EnvironmentVariables may hold strings only"};
    }
    job.environment.emplace_back(name, value.child_value());
  }
  return std::nullopt;
}

std::optional<Refusal> readKeys(const Entries& entries, Job& job) {
  std::optional<std::string> label;
  std::optional<Refusal> refused = readString(entries, "Label", label);
  if (!refused && (!label || label->empty())) {
    refused = Refusal{"no Label"};
  }
  if (!refused && (label->find('/') != std::string::npos || label->front() == '.')) {
    refused = Refusal{"a Label may not contain '/' or begin with '.'"};
  }
  if (refused) {
    return refused;
  }
  job.label = *label;
  for (auto step : {readProgram, readEnvironment}) {
    if (auto failed = step(entries, job)) {
      return failed;
    }
  }
  if (auto failed = readBoolean(entries, "RunAtLoad", job.runAtLoad)) return failed;
  if (auto failed = readBoolean(entries, "KeepAlive", job.keepAlive)) return failed;
  if (auto failed = readInteger(entries, "ThrottleInterval", job.throttleInterval)) return failed;
  if (auto failed = readInteger(entries, "ExitTimeOut", job.exitTimeout)) return failed;
  if (auto failed = readString(entries, "StandardOutPath", job.standardOutPath)) return failed;
  if (auto failed = readString(entries, "StandardErrorPath", job.standardErrorPath)) return failed;
  return readString(entries, "WorkingDirectory", job.workingDirectory);
}

std::optional<Refusal> checkFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return Refusal{std::strerror(errno)};
  }
  if (!S_ISREG(info.st_mode)) {
    return Refusal{"not a regular file"};
  }
  if (info.st_size > kLargestFile) {
    return Refusal{"too large for a property list"};
  }
  // launchd will not run what others could have rewritten.
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return Refusal{"dubious permissions: the file is group- or world-writable"};
  }
  return std::nullopt;
}

}  // namespace

JobReading readJob(const std::string& path) {
  if (auto refused = checkFile(path)) {
    return {std::nullopt, refused->reason};
  }
  std::ifstream file(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), {}};
  if (auto fault = plistTextFault(text)) {
    return {std::nullopt, "not a property list: " + *fault};
  }
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
  if (!parsed) {
    return {std::nullopt, std::string("not a property list: ") + parsed.description() +
                              " at offset " + std::to_string(parsed.offset)};
  }
  // One document: the property list's element, and nothing after it.
  const pugi::xml_node root = document.document_element();
  const pugi::xml_node dict = root.child("dict");
  if (std::string(root.name()) != "plist" || root.next_sibling() || !dict) {
    return {std::nullopt, "not a property list: no <plist><dict> alone"};
  }
  Entries entries;
  Job job;
  if (auto refused = readEntries(dict, entries)) {
    return {std::nullopt, refused->reason};
  }
  if (auto refused = readKeys(entries, job)) {
    return {std::nullopt, refused->reason};
  }
  return {job, ""};
}

}  // namespace kestrova::launchd

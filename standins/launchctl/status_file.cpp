#include "standins/launchctl/status_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kestrova::launchd {
namespace {

// One value per line: line breaks and backslashes inside values are escaped.
std::string escaped(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string unescaped(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      out += value[i + 1] == 'n' ? '\n' : value[i + 1];
      ++i;
    } else {
      out += value[i];
    }
  }
  return out;
}

int number(const std::string& text) {
  return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

void assign(ServiceStatus& status, const std::string& key, const std::string& value) {
  if (key == "label")
    status.label = value;
  else if (key == "path")
    status.path = value;
  else if (key == "program")
    status.program = value;
  else if (key == "argument")
    status.arguments.push_back(value);
  else if (key == "stdout")
    status.standardOutPath = value;
  else if (key == "stderr")
    status.standardErrorPath = value;
  else if (key == "supervisor")
    status.supervisor = number(value);
  else if (key == "pid")
    status.pid = number(value);
  else if (key == "runs")
    status.runs = number(value);
  else if (key == "state")
    status.state = value;
  else if (key == "last_exit")
    status.lastExit = value;
}

}  // namespace

void writeStatus(const std::string& folder, const ServiceStatus& status) {
  std::ostringstream text;
  text << "label=" << escaped(status.label) << "\npath=" << escaped(status.path)
       << "\nprogram=" << escaped(status.program) << "\n";
  for (const auto& argument : status.arguments) {
    text << "argument=" << escaped(argument) << "\n";
  }
  text << "stdout=" << escaped(status.standardOutPath)
       << "\nstderr=" << escaped(status.standardErrorPath) << "\nsupervisor=" << status.supervisor
       << "\npid=" << status.pid << "\nruns=" << status.runs << "\nstate=" << status.state
       << "\nlast_exit=" << escaped(status.lastExit) << "\n";
  // Readers never see half a file: write beside it, then rename over it.
  const std::string temporary = folder + "/.status." + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << text.str();
  }
  std::rename(temporary.c_str(), (folder + "/status").c_str());
}

std::optional<ServiceStatus> readStatus(const std::string& folder) {
  std::ifstream in(folder + "/status");
  if (!in) {
    return std::nullopt;
  }
  ServiceStatus status;
  std::string line;
  while (std::getline(in, line)) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) {
      assign(status, line.substr(0, equals), unescaped(line.substr(equals + 1)));
    }
  }
  return status;
}

std::string describe(const std::string& target, const ServiceStatus& status) {
  std::ostringstream text;
  text << target << " = {\n"
       << "\tactive count = " << (status.pid > 0 ? 1 : 0) << "\n"
       << "\tpath = " << status.path << "\n"
       << "\ttype = LaunchAgent\n"
       << "\tstate = " << status.state << "\n\n"
       << "\tprogram = " << status.program << "\n"
       << "\targuments = {\n";
  for (const auto& argument : status.arguments) {
    text << "\t\t" << argument << "\n";
  }
  text << "\t}\n\n";
  if (!status.standardOutPath.empty()) {
    text << "\tstdout path = " << status.standardOutPath << "\n";
  }
  if (!status.standardErrorPath.empty()) {
    text << "\tstderr path = " << status.standardErrorPath << "\n";
  }
  text << "\truns = " << status.runs << "\n";
  if (status.pid > 0) {
    text << "\tpid = " << status.pid << "\n";
  }
  text << "\tlast exit code = " << status.lastExit << "\n}\n";
  return text.str();
}

}  // namespace kestrova::launchd

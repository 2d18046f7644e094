// Console programs of the fake world: the consoles found, the windows listed
// with them, and the keys typed into the one attached.
#include <algorithm>
#include <map>

#include "console.h"
#include "fake_platform.h"
#include "text.h"

using fake::State;

namespace {

fake::World::Console* AttachedConsole() {
  for (auto& c : State().consoles) {
    if (c.processId == State().attachedTo && State().attachedTo != 0) return &c;
  }
  return nullptr;
}

ConsoleWrite WriteKeys(const ConsoleKey* keys, std::size_t count, std::size_t& written) {
  fake::Record("WriteConsoleKeys(" + std::to_string(count) + ")");
  written = 0;
  fake::World::Console* console = AttachedConsole();
  if (console == nullptr || !console->running) return ConsoleWrite::kFailed;
  if (count > State().refuseWritesAbove) return ConsoleWrite::kNoMemory;
  written = std::min(count, State().writeTakesAtMost);
  for (std::size_t i = 0; i < written; ++i) console->typed.push_back(keys[i].unit);
  return ConsoleWrite::kWritten;
}

}  // namespace

std::vector<ConsoleProcess> FindConsoleProcesses(ConsoleProgram program) {
  const std::string exeName = program == ConsoleProgram::kSqlcl ? "sql.exe" : "sqlplus.exe";
  fake::Record("FindConsoleProcesses(" + exeName + ")");
  std::vector<ConsoleProcess> found;
  for (const auto& c : State().consoles) {
    if (c.running && c.attachable && text::ToUtf8(text::ToLower(c.exeName)) == exeName) {
      found.push_back({c.processId, c.startTime, c.window, c.rootOwner != 0 ? c.rootOwner : c.window, c.title, program});
    }
  }
  return found;
}

std::vector<TopWindow> VisibleTopWindows() {
  fake::Record("VisibleTopWindows()");
  std::map<int, TopWindow> places = State().topWindows;
  for (const auto& c : State().consoles) {
    if (c.zOrder >= 0 && c.running) places.insert({c.zOrder, {c.window, c.minimised, u"ConsoleWindowClass", c.title}});
  }
  std::vector<TopWindow> out;
  for (const auto& p : places) out.push_back(p.second);
  return out;
}

bool TypeIntoConsoleOf(const ConsoleProcess& process, const ConsoleTyping& type) {
  fake::Record("TypeIntoConsoleOf(" + std::to_string(process.processId) + ")");
  for (const auto& c : State().consoles) {
    if (c.processId == process.processId && c.startTime == process.startTime && c.running && c.attachable) {
      State().attachedTo = c.processId;
      const bool typed = type(WriteKeys);
      State().attachedTo = 0;
      return typed;
    }
  }
  return false;
}

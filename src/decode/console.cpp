#include "decode/console.h"

#include <cstdio>

namespace orvalis {
namespace {

thread_local ConsoleLog* tLog = nullptr;

}  // namespace

ConsoleToLog::ConsoleToLog(ConsoleLog& log) : previous_(tLog) { tLog = &log; }

ConsoleToLog::~ConsoleToLog() { tLog = previous_; }

void Say(std::string_view text) {
  if (tLog != nullptr) {
    if (tLog->Text.size() + text.size() <= tLog->Limit) {
      tLog->Text.append(text);
    } else {
      tLog->Outgrown = true;
    }
  } else if (!text.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
}

void SayProgress(int percent) {
  if (tLog != nullptr) {
    tLog->Progresses.push_back({tLog->Text.size(), percent});
    return;
  }
  char text[32];
  const int size = std::snprintf(text, sizeof text, "%3d%% completed\r", percent);
  Say(std::string_view(text, static_cast<std::size_t>(size)));
}

}  // namespace orvalis

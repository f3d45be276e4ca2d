#include "decode/console.h"

#include <charconv>
#include <cstdio>

namespace orvalis {
namespace {

thread_local ConsoleLog* tLog = nullptr;

}  // namespace

ConsoleToLog::ConsoleToLog(ConsoleLog& log) : previous_(tLog) { tLog = &log; }

ConsoleToLog::~ConsoleToLog() { tLog = previous_; }

void Say(std::string_view text) {
  if (tLog != nullptr) {
    tLog->Text.append(text);
  } else if (!text.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
}

void SayProgress(int percent) {
  if (tLog != nullptr) {
    tLog->Progresses.push_back({tLog->Text.size(), percent});
    return;
  }
  // "%3d": right-aligned in three places
  char text[16] = "   ";
  char digits[8];
  const char* end = std::to_chars(digits, digits + sizeof digits, percent).ptr;
  const auto width = static_cast<std::size_t>(end - digits);
  const std::size_t start = width < 3 ? 3 - width : 0;
  std::string_view(digits, width).copy(text + start, width);
  std::size_t size = start + width;
  for (char c : std::string_view("% completed\r")) text[size++] = c;
  Say(std::string_view(text, size));
}

}  // namespace orvalis

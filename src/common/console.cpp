#include "common/console.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace orvalis {
namespace {

thread_local ConsoleLog* tLog = nullptr;
thread_local HeldMessages* tHeld = nullptr;
bool gQuiet = false;
bool gOnErrorStream = false;  // the console goes to standard error: the output is on standard output
bool gErrorLineOpen = false;  // the last text written to standard error did not end a line
uint64_t gProblems[static_cast<int>(Problem::kCount)] = {};

// Writes to a stream, or holds the text for it while this thread's messages are held.
void WriteTo(std::FILE* stream, std::string_view text) {
  if (text.empty()) return;
  if (tHeld == nullptr) {
    std::fwrite(text.data(), 1, text.size(), stream);
    if (stream == stderr) gErrorLineOpen = text.back() != '\n';
    return;
  }
  const bool errorStream = stream == stderr;
  std::vector<HeldMessages::Piece>& pieces = tHeld->Pieces;
  if (pieces.empty() || pieces.back().ErrorStream != errorStream) pieces.push_back({errorStream, 0});
  pieces.back().Size += text.size();
  if (!tHeld->Spilled.empty() || tHeld->Text.size() + text.size() > HeldMessages::kInMemory) {
    if (tHeld->Spilled.Append(text)) return;  // else (no temporary file) the text stays in memory
  }
  tHeld->Text.append(text);
}

// Writes held text in order, each character to the stream of its piece.
class HeldTextWriter {
 public:
  explicit HeldTextWriter(const std::vector<HeldMessages::Piece>& pieces) : pieces_(pieces) {}
  void Write(std::string_view text) {
    while (!text.empty() && piece_ < pieces_.size()) {
      if (left_ == 0) {
        left_ = pieces_[piece_].Size;
        if (left_ == 0) ++piece_;
        continue;
      }
      const std::size_t n = text.size() < left_ ? text.size() : static_cast<std::size_t>(left_);
      WriteTo(pieces_[piece_].ErrorStream ? stderr : stdout, text.substr(0, n));
      text.remove_prefix(n);
      left_ -= n;
      if (left_ == 0) ++piece_;
    }
  }

 private:
  const std::vector<HeldMessages::Piece>& pieces_;
  std::size_t piece_ = 0;
  uint64_t left_ = 0;
};

}  // namespace

void SetQuiet(bool quiet) { gQuiet = quiet; }

bool Quiet() { return gQuiet; }

void SetConsoleOnErrorStream(bool onErrorStream) { gOnErrorStream = onErrorStream; }

ConsoleToLog::ConsoleToLog(ConsoleLog& log) : previous_(tLog) { tLog = &log; }

ConsoleToLog::~ConsoleToLog() { tLog = previous_; }

ConsoleRoute ThisThreadsRoute() { return {tLog, tHeld}; }

ConsoleOnRoute::ConsoleOnRoute(const ConsoleRoute& route) : previous_(ThisThreadsRoute()) {
  tLog = route.Log;
  tHeld = route.Held;
}

ConsoleOnRoute::~ConsoleOnRoute() {
  tLog = previous_.Log;
  tHeld = previous_.Held;
}

ConsoleToHeld::ConsoleToHeld(HeldMessages& held) : previous_(tHeld) { tHeld = &held; }

ConsoleToHeld::~ConsoleToHeld() { tHeld = previous_; }

void ShowHeld(HeldMessages& held) {
  HeldTextWriter writer(held.Pieces);
  writer.Write(held.Text);
  TextBuffer block;
  const int error = held.Spilled.TakeBack(block, HeldMessages::kInMemory, [&writer](TextBuffer& taken) {
    writer.Write(taken.view());
  });
  if (error != 0) {
    errno = error;
    std::perror("Error: messages held in a temporary file can not be read back");
  }
  held.Pieces.clear();
  held.Text.clear();
  for (int problem = 0; problem < static_cast<int>(Problem::kCount); ++problem) {
    if (tHeld != nullptr) {
      tHeld->Problems[problem] += held.Problems[problem];
    } else {
      gProblems[problem] += held.Problems[problem];
    }
  }
}

void Say(std::string_view text) {
  if (tLog != nullptr) {
    if (tLog->Text.size() + text.size() <= tLog->Limit) {
      tLog->Text.append(text);
    } else {
      tLog->Outgrown = true;
    }
  } else {
    WriteTo(gQuiet || gOnErrorStream ? stderr : stdout, text);
  }
}

void SayFormatted(const char* format, ...) {
  char text[4096];
  std::va_list arguments;
  va_start(arguments, format);
  const int size = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (size <= 0) return;
  const std::size_t length = static_cast<std::size_t>(size);
  Say(std::string_view(text, length < sizeof text ? length : sizeof text - 1));
}

void SayOnErrorStream(std::string_view text) {
  WriteTo(stderr, text);
}

bool ErrorStreamAtLineStart() { return !gErrorLineOpen; }

void SayChrome(std::string_view text) {
  if (!gQuiet) Say(text);
}

void SayProgress(int percent) {
  if (tLog != nullptr) {
    tLog->Progresses.push_back({tLog->Text.size(), percent});
    return;
  }
  if (gQuiet) return;
  char text[32];
  const int size = std::snprintf(text, sizeof text, "%3d%% completed\r", percent);
  Say(std::string_view(text, static_cast<std::size_t>(size)));
}

void CountProblem(Problem problem) {
  ++(tHeld != nullptr ? tHeld->Problems : gProblems)[static_cast<int>(problem)];
}

uint64_t ProblemCount(Problem problem) { return gProblems[static_cast<int>(problem)]; }

}  // namespace orvalis

// The console: every message of the program goes through here.
//
// By default messages go to standard output byte for byte, and the messages about files that
// cannot be opened, read or written to standard error. In quiet mode every message goes to
// standard error, and the banner, the progress display and the completion line are dropped; when
// the output or the manifest is standard output, everything goes to standard error.
// While a thread walks a stretch of the input ahead of its turn, its messages go to that
// stretch's log instead, shown when the stretch's turn comes; the messages of a text file read
// before its turn are held likewise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/spilled_text.h"

namespace orvalis {

// Switches quiet mode on or off; set once, before any thread is started.
void SetQuiet(bool quiet);
bool Quiet();

// Sends the console (messages, banner, progress) to standard error also outside quiet mode, for a
// run whose output or manifest goes to standard output; set once, before any thread is started.
void SetConsoleOnErrorStream(bool onErrorStream);

struct HeldMessages;

// The messages of a stretch walked ahead, and the places among them where the walk reached a
// progress percentage (shown in its turn only when above the last one shown by then).
struct ConsoleLog {
  struct Progress {
    std::size_t At;  // offset in Text
    int Percent;
  };
  std::string Text;
  std::vector<Progress> Progresses;
  // Messages beyond Limit are not kept: the log has outgrown what a stretch may hold.
  std::size_t Limit = SIZE_MAX;
  bool Outgrown = false;

  void Clear() {
    Text.clear();
    Progresses.clear();
    Outgrown = false;
  }
};

// While it lives, this thread's messages go to `log` instead of the console.
class ConsoleToLog {
 public:
  explicit ConsoleToLog(ConsoleLog& log);
  ConsoleToLog(const ConsoleToLog&) = delete;
  ConsoleToLog& operator=(const ConsoleToLog&) = delete;
  ~ConsoleToLog();

 private:
  ConsoleLog* previous_;
};

// Where this thread's messages go: the console, a log (ConsoleToLog) or held messages
// (ConsoleToHeld). A thread that works for another takes the other's route (ConsoleOnRoute), so
// that what it says goes where the other's messages go.
struct ConsoleRoute {
  ConsoleLog* Log = nullptr;
  HeldMessages* Held = nullptr;
};
ConsoleRoute ThisThreadsRoute();

// While it lives, this thread's messages take `route`.
class ConsoleOnRoute {
 public:
  explicit ConsoleOnRoute(const ConsoleRoute& route);
  ConsoleOnRoute(const ConsoleOnRoute&) = delete;
  ConsoleOnRoute& operator=(const ConsoleOnRoute&) = delete;
  ~ConsoleOnRoute();

 private:
  ConsoleRoute previous_;
};

// Says a message: on standard output (standard error in quiet mode, or when the console is on
// it), byte for byte, or in this thread's log.
void Say(std::string_view text);

// Says a message formatted as printf formats it.
void SayFormatted(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Says a message on standard error in both modes.
void SayOnErrorStream(std::string_view text);

// False when the last message written to standard error did not end its line.
bool ErrorStreamAtLineStart();

// The banner, the progress display and the completion line: dropped in quiet mode.
void SayChrome(std::string_view text);

// Shows a progress percentage ("%3d%% completed\r"), or notes it in this thread's log.
void SayProgress(int percent);

// What went wrong in the text files, counted for the run's summary as each is reported.
enum class Problem {
  kBadDictionaryLine,
  kBadConfigLine,
  kBadFilterLine,
  kBareLineFeeds,   // a text file holding line feeds without carriage returns
  kFilterNotRead,   // a filter file that could not be read (the run ends)
  kDictionaryLacks,  // a dictionary without what the format names: a record start, any tag
  kCount
};
void CountProblem(Problem problem);
uint64_t ProblemCount(Problem problem);

// The messages of a text file read before its turn, each with the stream it was to go to, and
// the problems found in it: shown and counted at the file's turn (ShowHeld), or never. The text
// stays in memory up to kInMemory characters; what follows goes to a temporary file, so that a
// file of many bad lines costs no more memory than one of a few.
struct HeldMessages {
  static constexpr std::size_t kInMemory = 1 << 20;
  struct Piece {
    bool ErrorStream;  // standard error, else standard output
    uint64_t Size;     // the characters of Text, then of Spilled, that go to it
  };
  std::vector<Piece> Pieces;  // in order, each stream's text of one stretch
  std::string Text;           // the pieces' text from the first on
  SpilledText Spilled;        // the text after Text, once Text is full
  uint64_t Problems[static_cast<int>(Problem::kCount)] = {};
};

// While it lives, this thread's messages (to either stream) and problems go to `held` instead.
class ConsoleToHeld {
 public:
  explicit ConsoleToHeld(HeldMessages& held);
  ConsoleToHeld(const ConsoleToHeld&) = delete;
  ConsoleToHeld& operator=(const ConsoleToHeld&) = delete;
  ~ConsoleToHeld();

 private:
  HeldMessages* previous_;
};

// Shows held messages, each on its stream and in its order, and counts their problems; the
// messages are no longer held.
void ShowHeld(HeldMessages& held);

}  // namespace orvalis

// Where a walk's messages go: standard output, or, while a thread walks a stretch of the input
// ahead of its turn, that stretch's log, shown when the stretch's turn comes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

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

// While it lives, this thread's messages go to `log` instead of standard output.
class ConsoleToLog {
 public:
  explicit ConsoleToLog(ConsoleLog& log);
  ConsoleToLog(const ConsoleToLog&) = delete;
  ConsoleToLog& operator=(const ConsoleToLog&) = delete;
  ~ConsoleToLog();

 private:
  ConsoleLog* previous_;
};

// Says a message: on standard output, byte for byte, or in this thread's log.
void Say(std::string_view text);

// Shows a progress percentage ("%3d%% completed\r"), or notes it in this thread's log.
void SayProgress(int percent);

}  // namespace orvalis

// Writes the output in large blocks. Where the platform has threads, a block is written by a
// thread of its own while the walk fills the next one, so the file system's work and the walk's
// overlap; elsewhere each block is written on the spot. The bytes and their order are the same.
// A writer may keep the text in memory instead, up to a bound, for a walk whose text only matters
// that far.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "common/spilled_text.h"
#include "common/text_buffer.h"

#if ORVALIS_THREADS
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace orvalis {

#if ORVALIS_THREADS

// The text of a walk made ahead of its turn (the inputs of a list converted side by side), for
// the output file: held in memory up to a bound, beyond it in a temporary file, until its turn
// comes; from then on every text goes straight to the file. Where no temporary file can be had,
// the walk waits for its turn instead. A walk's writer hands text in (Take), from its thread; the
// thread that keeps the turns gives the turn (TakeTurn), after the text before it is written.
class TurnHold {
 public:
  TurnHold(std::FILE* file, std::size_t inMemory) : file_(file), inMemory_(inMemory) {}
  TurnHold(const TurnHold&) = delete;
  TurnHold& operator=(const TurnHold&) = delete;

  std::FILE* File() const { return file_; }
  // Holds the text, or writes it once the turn has come. Returns 0, or the error number of a
  // write that failed.
  int Take(std::string_view text);
  // Writes what is held and lets every text after it go straight to the file. Returns 0, or the
  // error number of the first write (or read of the temporary file) that failed.
  int TakeTurn();
  // Drops what is held and every text after it (a run that ends before the turn comes).
  void Drop();

 private:
  int WriteToFile(std::string_view text);

  std::FILE* file_;
  std::size_t inMemory_;
  std::mutex mutex_;
  std::condition_variable turnCame_;
  bool turn_ = false;
  bool dropped_ = false;
  std::string held_;
  SpilledText spilled_;
};

#endif

class BlockWriter {
 public:
  // A null file takes every block and writes nothing.
  explicit BlockWriter(std::FILE* file) : file_(file) {}
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;
  ~BlockWriter();  // waits for the block being written

  // Takes the text of `block` to be written and leaves `block` empty (with room of its own).
  void Write(TextBuffer& block);
  // Waits until every block taken has been written. Returns 0, or the error number (errno) of the
  // first write that failed.
  int Finish();

  // From now on, writes every block on the spot (true) or by the thread (false), once what was
  // taken before has been written.
  void WriteInPlace(bool inPlace);
  // Writes the text on the spot, after every block taken before.
  void WriteText(std::string_view text);
  // From now on (before the first block) keeps the text in `kept`, empty, instead of writing it:
  // its first `limit` octets, room for which is taken now (std::bad_alloc when there is none); the
  // rest is dropped as it comes, and no thread is started.
  void KeepInMemory(std::string& kept, std::size_t limit);
#if ORVALIS_THREADS
  // From now on (before the first block) hands every block to `hold` instead of the file, by the
  // writer's thread as before.
  void HoldForTurn(TurnHold& hold) { hold_ = &hold; }
#endif
  // Notes that text meant for the file was lost before it reached the writer (errno `error`):
  // Finish reports it as a failed write.
  void Fail(int error) {
    Finish();
    if (error_ == 0) error_ = error;
  }

 private:
  void WriteSpare();
  void WriteNow(std::string_view text);

  std::FILE* file_;
  std::string* kept_ = nullptr;  // the text kept in memory, up to keptLimit_ octets; null: written
  std::size_t keptLimit_ = 0;
  int error_ = 0;  // errno of the first failed write
  TextBuffer spare_;  // the block being written, or an empty one
#if ORVALIS_THREADS
  void Run();

  TurnHold* hold_ = nullptr;  // where the text waits for its turn; null: written to the file

  std::thread thread_;  // started with the first block
  std::mutex mutex_;
  std::condition_variable changed_;
  bool pending_ = false;  // spare_ holds a block still to be written
  bool stop_ = false;
  bool inPlace_ = false;  // the thread could not be started
#endif
};

}  // namespace orvalis

// Writes the output in large blocks. Where the platform has threads, a block is written by a
// thread of its own while the walk fills the next one, so the file system's work and the walk's
// overlap; elsewhere each block is written on the spot. The bytes and their order are the same.
// A writer may keep the text in memory instead, up to a bound, for a walk whose text only matters
// that far.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "common/text_buffer.h"

#if ORVALIS_THREADS
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace orvalis {

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

  std::thread thread_;  // started with the first block
  std::mutex mutex_;
  std::condition_variable changed_;
  bool pending_ = false;  // spare_ holds a block still to be written
  bool stop_ = false;
  bool inPlace_ = false;  // the thread could not be started
#endif
};

}  // namespace orvalis

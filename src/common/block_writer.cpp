#include "common/block_writer.h"

#include <cerrno>
#include <system_error>

namespace orvalis {

void BlockWriter::WriteNow(std::string_view text) {
#if ORVALIS_THREADS
  if (hold_ != nullptr) {
    const int error = text.empty() ? 0 : hold_->Take(text);
    if (error != 0 && error_ == 0) error_ = error;
    return;
  }
#endif
  if (kept_ != nullptr) {
    kept_->append(text.substr(0, keptLimit_ - kept_->size()));  // beyond the limit: dropped
  } else if (file_ != nullptr && !text.empty()) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() && error_ == 0) {
      error_ = errno != 0 ? errno : EIO;
    }
  }
}

void BlockWriter::WriteSpare() {
  WriteNow(spare_.view());
  spare_.clear();
}

void BlockWriter::KeepInMemory(std::string& kept, std::size_t limit) {
  kept.reserve(limit);
  kept_ = &kept;
  keptLimit_ = limit;
  file_ = nullptr;  // every block on the spot, without a thread
}

void BlockWriter::WriteText(std::string_view text) {
  Finish();
  WriteNow(text);
}

#if ORVALIS_THREADS

int TurnHold::WriteToFile(std::string_view text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) == text.size()) return 0;
  return errno != 0 ? errno : EIO;
}

int TurnHold::Take(std::string_view text) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!turn_) {
    if (spilled_.empty() && held_.size() + text.size() <= inMemory_) {
      held_.append(text);
      return 0;
    }
    if (spilled_.Append(text)) return 0;
    turnCame_.wait(lock, [this] { return turn_; });  // no temporary file: the walk waits for its turn
  }
  return dropped_ ? 0 : WriteToFile(text);
}

int TurnHold::TakeTurn() {
  std::lock_guard<std::mutex> lock(mutex_);
  int error = WriteToFile(held_);
  held_.clear();
  held_.shrink_to_fit();
  TextBuffer block;
  const int spillError = spilled_.TakeBack(block, 1 << 20, [this, &error](TextBuffer& taken) {
    if (error == 0) error = WriteToFile(taken.view());
  });
  if (error == 0) error = spillError;
  turn_ = true;
  turnCame_.notify_all();
  return error;
}

void TurnHold::Drop() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_.clear();
  spilled_.Drop();
  dropped_ = true;
  turn_ = true;
  turnCame_.notify_all();
}

BlockWriter::~BlockWriter() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BlockWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return pending_ || stop_; });
    if (pending_) {
      lock.unlock();
      WriteSpare();
      lock.lock();
      pending_ = false;
      changed_.notify_all();
    } else {
      return;  // stopping, with nothing left to write
    }
  }
}

void BlockWriter::Write(TextBuffer& block) {
  if (file_ == nullptr) {
    WriteNow(block.view());  // kept in memory, or nowhere to write: no thread is needed
    block.clear();
    return;
  }
  if (block.empty()) return;
  if (!thread_.joinable() && !inPlace_) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      inPlace_ = true;  // no thread to be had: every block is written on the spot
    }
  }
  if (inPlace_) {
    spare_.swap(block);
    WriteSpare();
    return;
  }
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    spare_.swap(block);
    pending_ = true;
  }
  changed_.notify_all();
}

int BlockWriter::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !pending_; });
  return error_;
}

void BlockWriter::WriteInPlace(bool inPlace) {
  Finish();
  inPlace_ = inPlace;
}

#else

BlockWriter::~BlockWriter() = default;

void BlockWriter::Write(TextBuffer& block) {
  spare_.swap(block);
  WriteSpare();
}

int BlockWriter::Finish() { return error_; }

void BlockWriter::WriteInPlace(bool) {}

#endif

}  // namespace orvalis

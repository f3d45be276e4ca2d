// The input file in memory, walked in place: mapped where the system allows it (no copy, and the
// pages come straight from the file cache), otherwise read whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace orvalis {

// Memory taken with std::malloc, so that a growing image may be given more with std::realloc.
struct FreeOctets {
  void operator()(uint8_t* octets) const { std::free(octets); }
};
using OctetBlock = std::unique_ptr<uint8_t[], FreeOctets>;

// A block of `size` octets, or null. A block of some MiB is backed by large pages where the
// system has them: the first touch of each 4 KiB page of fresh memory costs more than inflating
// into it (some 3 ms per MiB in a virtual machine, against 2 ms for igzip's inflating).
OctetBlock NewOctetBlock(uint64_t size);

struct InputImage {
  InputImage() = default;
  InputImage(const InputImage&) = delete;
  InputImage& operator=(const InputImage&) = delete;
  ~InputImage();

  const uint8_t* Bytes() const { return Data ? Data.get() : Mapped; }
  // True when the file of a mapped input is now shorter than when it was mapped: the octets past
  // its new end that share its last page with it read as zeros, not as the file's octets; also
  // when a file read whole (LoadInputImage without mapping) gave fewer octets than its length, or
  // is now shorter than what was read.
  bool CutShort() const;

  OctetBlock Data;                  // the input read: Size bytes and one more; null when mapped
  const uint8_t* Mapped = nullptr;  // the input mapped: Size bytes
  int MappedFile = -1;              // a descriptor of the mapped file (or the file read whole), for CutShort
  bool ReadShort = false;           // the file read whole gave fewer octets than its length
  uint64_t Size = 0;
};

// Brings the open input file of `size` bytes into memory: maps it or, where it cannot be mapped
// or `mayMap` is false, reads it (a short read keeps what was read). Returns false after the memory
// message when the image cannot be allocated.
bool LoadInputImage(std::FILE* input, uint64_t size, InputImage& image, bool mayMap = true);

// False, with errno set, when the open input is not a billing file at all: neither a regular file
// nor a pipe (a device, a socket: EINVAL), or a regular file whose length reads as 0 but which
// yields octets when read (as files under /proc do: EINVAL).
bool IsConvertibleInput(std::FILE* input, uint64_t size);

// The message of an input cut short during the conversion, on standard error.
void ReportInputCutShort();

// Reads a stream (a pipe, standard input) to its end into the image, after the `headSize` octets
// of it already read into `head` (at most 1 MiB), growing its buffer as it goes (so memory may
// reach twice the input while it is read). Results:
enum class StreamRead { kRead, kTooLarge, kFailed };
// kTooLarge when the stream holds more than maxSize octets; kFailed, after its message in the
// error form, when the buffer cannot be allocated or the stream cannot be read.
StreamRead ReadStreamImage(std::FILE* input, const uint8_t* head, std::size_t headSize, uint64_t maxSize,
                           InputImage& image);

// While a guard lives, a fault in reading a mapped input (the file cut short by another program
// while it is being converted) ends the program with "Error: input file was cut short while it
// was being converted" on standard error, then `ending` (called from the signal handler: it may
// only do what is safe there), and status -1, instead of a crash.
class InputFaultGuard {
 public:
  InputFaultGuard(const InputImage& image, void (*ending)());
  InputFaultGuard(const InputFaultGuard&) = delete;
  InputFaultGuard& operator=(const InputFaultGuard&) = delete;
  ~InputFaultGuard();

 private:
  bool installed_ = false;
  std::unique_ptr<char[]> previous_;  // the handler in force before, restored at the end
};

}  // namespace orvalis

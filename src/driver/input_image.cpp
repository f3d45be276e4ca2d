#include "driver/input_image.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/stat.h>

#include "common/console.h"
#include "common/text_file.h"

#if defined(__unix__) || defined(__APPLE__)
#define ORVALIS_MAPPED_INPUT 1
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace orvalis {
namespace {

constexpr char kCutShortMessage[] = "Error: input file was cut short while it was being converted\n";

// Asks the system to back the `size` octets from `block` with large pages (2 MiB on x86-64
// Linux) where the block can hold some. Only advice: a system without them, or short of them,
// gives small pages.
void AdviseLargePages(void* block, uint64_t size) {
#if defined(MADV_HUGEPAGE)
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<uintptr_t>(block);
  if (size < 2 * kLargePage) return;  // holds at most one large page, likely none
  const uintptr_t pageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t first = (begin + pageSize - 1) & ~(pageSize - 1);
  const uintptr_t last = (begin + static_cast<uintptr_t>(size)) & ~(pageSize - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)block;
  (void)size;
#endif
}

bool ReadImage(std::FILE* input, uint64_t size, InputImage& image, bool watched) {
  image.Data = NewOctetBlock(size + 1);
  if (!image.Data) {
    errno = ENOMEM;
    PrintErrorForm("Error: memory allocation fault");
    return false;
  }
  // A short read is not an error of its own: the image holds what was read.
  std::size_t got = size > 0 ? std::fread(image.Data.get(), 1, size, input) : 0;
  image.Size = got;
  image.Data[got] = 0;
#if ORVALIS_MAPPED_INPUT
  if (watched) {
    image.ReadShort = got < size;
    image.MappedFile = dup(fileno(input));
  }
#else
  (void)watched;
#endif
  return true;
}

#if ORVALIS_MAPPED_INPUT

bool MapImage(std::FILE* input, uint64_t size, InputImage& image) {
  if (size == 0 || size > SIZE_MAX) return false;
  void* mapped = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fileno(input), 0);
  if (mapped == MAP_FAILED) return false;
  madvise(mapped, static_cast<std::size_t>(size), MADV_SEQUENTIAL);
  image.Mapped = static_cast<const uint8_t*>(mapped);
  image.MappedFile = dup(fileno(input));
  image.Size = size;
  return true;
}

void (*gFaultEnding)() = nullptr;

extern "C" void OnInputFault(int) {
  ssize_t written = write(STDERR_FILENO, kCutShortMessage, sizeof kCutShortMessage - 1);
  (void)written;
  if (gFaultEnding != nullptr) gFaultEnding();
  _exit(255);
}

#endif

}  // namespace

OctetBlock NewOctetBlock(uint64_t size) {
  OctetBlock block(size < SIZE_MAX ? static_cast<uint8_t*>(std::malloc(static_cast<std::size_t>(size))) : nullptr);
  if (block) AdviseLargePages(block.get(), size);
  return block;
}

StreamRead ReadStreamImage(std::FILE* input, const uint8_t* head, std::size_t headSize, uint64_t maxSize,
                           InputImage& image) {
  constexpr uint64_t kFirstCapacity = 1 << 20;
  uint64_t capacity = kFirstCapacity;
  uint64_t size = 0;
  OctetBlock data = NewOctetBlock(capacity + 1);
  if (data && headSize > 0) {
    std::memcpy(data.get(), head, headSize);
    size = headSize;
  }
  for (;;) {
    if (!data) {
      errno = ENOMEM;
      PrintErrorForm("Error: memory allocation fault");
      return StreamRead::kFailed;
    }
    if (size == capacity) {
      if (size > maxSize) return StreamRead::kTooLarge;
      const uint64_t grown = capacity * 2 < maxSize + 1 ? capacity * 2 : maxSize + 1;
      if (grown >= SIZE_MAX) {
        data.reset();
        continue;  // the memory message
      }
      OctetBlock larger = NewOctetBlock(grown + 1);
      if (larger) std::memcpy(larger.get(), data.get(), size);
      data = std::move(larger);
      capacity = grown;
      continue;
    }
    const std::size_t got = std::fread(data.get() + size, 1, static_cast<std::size_t>(capacity - size), input);
    size += got;
    if (size < capacity) {
      if (std::ferror(input)) {
        PrintErrorForm("Error: can not read input file");
        return StreamRead::kFailed;
      }
      if (std::feof(input)) break;
    }
  }
  if (size > maxSize) return StreamRead::kTooLarge;
  data[size] = 0;
  image.Data = std::move(data);
  image.Size = size;
  return StreamRead::kRead;
}

InputImage::~InputImage() {
#if ORVALIS_MAPPED_INPUT
  if (Mapped != nullptr) munmap(const_cast<uint8_t*>(Mapped), static_cast<std::size_t>(Size));
  if (MappedFile >= 0) close(MappedFile);
#endif
}

bool InputImage::CutShort() const {
#if ORVALIS_MAPPED_INPUT
  struct stat info;
  return ReadShort || (MappedFile >= 0 && fstat(MappedFile, &info) == 0 && static_cast<uint64_t>(info.st_size) < Size);
#else
  return false;
#endif
}

void ReportInputCutShort() { SayOnErrorStream(kCutShortMessage); }

bool IsConvertibleInput(std::FILE* input, uint64_t size) {
  struct stat info;
  if (fstat(fileno(input), &info) != 0) return false;
#ifdef S_ISFIFO
  if (S_ISFIFO(info.st_mode)) return true;
#endif
  if (!S_ISREG(info.st_mode) || (size == 0 && std::fgetc(input) != EOF)) {
    errno = EINVAL;
    return false;
  }
  std::rewind(input);
  return true;
}

bool LoadInputImage(std::FILE* input, uint64_t size, InputImage& image, bool mayMap) {
#if ORVALIS_MAPPED_INPUT
  if (mayMap && MapImage(input, size, image)) return true;
#endif
  return ReadImage(input, size, image, !mayMap);
}

#if ORVALIS_MAPPED_INPUT

InputFaultGuard::InputFaultGuard(const InputImage& image, void (*ending)()) {
  if (image.Mapped == nullptr) return;
  gFaultEnding = ending;
  struct sigaction action {};
  action.sa_handler = OnInputFault;
  sigemptyset(&action.sa_mask);
  previous_.reset(new char[sizeof(struct sigaction)]);
  installed_ = sigaction(SIGBUS, &action, reinterpret_cast<struct sigaction*>(previous_.get())) == 0;
}

InputFaultGuard::~InputFaultGuard() {
  if (!previous_) return;  // an image read, not mapped: nothing was set
  if (installed_) sigaction(SIGBUS, reinterpret_cast<struct sigaction*>(previous_.get()), nullptr);
  gFaultEnding = nullptr;
}

#else

InputFaultGuard::InputFaultGuard(const InputImage&, void (*)()) {}
InputFaultGuard::~InputFaultGuard() = default;

#endif

}  // namespace orvalis

#include "common/spilled_text.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace orvalis {
namespace {

// A temporary file in TMPDIR (or /tmp), removed from its folder at once: it goes when it is
// closed, or when the program ends however it ends.
std::FILE* OpenTemporaryFile() {
#if defined(_WIN32)
  return std::tmpfile();
#else
  const char* folder = std::getenv("TMPDIR");
  std::string name = folder != nullptr && *folder != '\0' ? folder : "/tmp";
  name += "/orvalis-held-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) return nullptr;
  unlink(name.c_str());
  std::FILE* file = fdopen(fd, "w+b");
  if (file == nullptr) close(fd);
  return file;
#endif
}

}  // namespace

SpilledText::~SpilledText() {
  if (file_ != nullptr) std::fclose(file_);
}

bool SpilledText::Append(std::string_view text) {
  if (file_ == nullptr) {
    file_ = OpenTemporaryFile();
    if (file_ == nullptr) return false;
  }
  if (text.empty()) return true;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() && error_ == 0) {
    error_ = errno != 0 ? errno : EIO;
  }
  size_ += text.size();
  return true;
}

int SpilledText::Rewind() {
  if (file_ == nullptr || size_ == 0) return error_;
  errno = 0;
  if ((std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) && error_ == 0) {
    error_ = errno != 0 ? errno : EIO;
  }
  return error_;
}

int SpilledText::ReadInto(char* to, std::size_t n) {
  errno = 0;
  if (std::fread(to, 1, n, file_) == n) return 0;
  return errno != 0 ? errno : EIO;
}

void SpilledText::Drop() {
  size_ = 0;
  error_ = 0;
  // The next text is written from the file's beginning again; what lies beyond it is never read.
  if (file_ != nullptr) std::fseek(file_, 0, SEEK_SET);
}

}  // namespace orvalis

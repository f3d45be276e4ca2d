#include "common/text_file.h"

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/stat.h>

#include "common/console.h"
#include "common/line_splitter.h"
#include "common/text_format.h"

namespace orvalis {

void PrintErrorForm(const char* text) {
  const int error = errno;
  // Formatted on the stack: the message may tell that memory has run out.
  char line[512];
  const int size = std::snprintf(line, sizeof line, "%s: %s\n", text, std::strerror(error));
  if (size > 0) SayOnErrorStream(std::string_view(line, std::min(static_cast<std::size_t>(size), sizeof line - 1)));
  errno = error;  // for the caller, whose hint may hang on it
}

std::FILE* OpenForReading(const std::string& name) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return nullptr;
  struct stat info;
  if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fclose(file);
    errno = EISDIR;
    return nullptr;
  }
  return file;
}

FileKind KindOfNamedFile(const std::string& name) {
  struct stat info;
  if (stat(name.c_str(), &info) != 0) return FileKind::kUnknown;
  if (S_ISREG(info.st_mode)) return FileKind::kRegular;
  if (S_ISDIR(info.st_mode)) return FileKind::kFolder;
#ifdef S_ISFIFO
  if (S_ISFIFO(info.st_mode)) return FileKind::kPipe;
#endif
  return FileKind::kOther;
}

std::FILE* OpenTextFileForReading(const std::string& name) {
  const FileKind kind = KindOfNamedFile(name);
  if (kind == FileKind::kPipe || kind == FileKind::kOther) {
    errno = EINVAL;
    return nullptr;
  }
  return OpenForReading(name);
}

bool FileLength(std::FILE* file, uint64_t& length) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return false;
  const int64_t end = _ftelli64(file);
  if (end < 0 || _fseeki64(file, 0, SEEK_SET) != 0) return false;
#else
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  const off_t end = ftello(file);
  if (end < 0 || fseeko(file, 0, SEEK_SET) != 0) return false;
#endif
  length = static_cast<uint64_t>(end);
  return true;
}

bool ReadWholeFile(std::FILE* file, std::string& text) {
  uint64_t length = 0;
  if (!FileLength(file, length)) return false;
  if (length >= SIZE_MAX) {
    errno = ENOMEM;
    return false;
  }
  try {
    text.resize(static_cast<std::size_t>(length));
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return false;
  }
  std::size_t got = length > 0 ? std::fread(&text[0], 1, text.size(), file) : 0;
  text.resize(got);  // a short read keeps what was read
  return true;
}

uint64_t CountBareLineFeeds(std::string_view text) {
  if (LineEndOf(text) == "\n") return 0;  // written with line feeds alone: each ends a line
  uint64_t count = 0;
  for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
    const bool crBefore = at > 0 && text[at - 1] == '\r';
    const bool crAfter = at + 1 < text.size() && text[at + 1] == '\r';
    if (!crBefore && !crAfter) ++count;
  }
  return count;
}

void WarnOfBareLineFeeds(const std::string& name, std::string_view text) {
  const uint64_t count = CountBareLineFeeds(text);
  if (count == 0) return;
  SayFormatted("Warning: %s holds %llu line feed%s without a carriage return: lines must end with CR LF.\n\n",
               ConsoleName(name).c_str(), static_cast<unsigned long long>(count), count == 1 ? "" : "s");
  CountProblem(Problem::kBareLineFeeds);
}

}  // namespace orvalis

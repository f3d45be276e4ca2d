#include "driver/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace orvalis {
namespace {

// What the temporary's name adds to the output's: a dot before it, a tag and this suffix after.
constexpr char kTemporarySuffix[] = ".part";
constexpr std::size_t kTagLength = 6;
constexpr std::size_t kLongestFileName = 255;

#ifdef _WIN32
std::wstring Wide(const std::string& name) {
  const int size = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, &wide[0], size);
  return wide;
}

// A rename that replaces the file at `to`, as rename does on POSIX systems.
bool ReplaceWith(const char* from, const char* to) {
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  errno = EACCES;
  return false;
}
#else
bool ReplaceWith(const char* from, const char* to) { return std::rename(from, to) == 0; }
#endif

// The folder part of a name (with its last separator) and the rest.
std::size_t FolderLength(const std::string& name) {
#ifdef _WIN32
  const std::size_t separator = name.find_last_of("/\\:");
#else
  const std::size_t separator = name.rfind('/');
#endif
  return separator == std::string::npos ? 0 : separator + 1;
}

// ".NAME.XXXXXX.part" beside `target`; NAME is cut where the whole would pass the longest file name
// when `cut` (a name that is there already is not too long: one to be made may be).
std::string TemporaryName(const std::string& target, uint64_t seed, bool cut) {
  const std::size_t folder = FolderLength(target);
  const std::size_t room = cut ? kLongestFileName - 2 - kTagLength - (sizeof kTemporarySuffix - 1) : std::string::npos;
  std::string name = target.substr(0, folder) + "." + target.substr(folder, room) + ".";
  for (std::size_t i = 0; i < kTagLength; ++i, seed /= 36) name += "0123456789abcdefghijklmnopqrstuvwxyz"[seed % 36];
  return name + kTemporarySuffix;
}

// The temporaries being written, where a signal handler finds them: each name is copied into room
// of its own when the temporary is made, so that the handler reads nothing the run changes.
constexpr int kTemporarySlots = 4;  // the output and the manifest, and room to spare
constexpr std::size_t kLongestPath = 4096;
struct TemporarySlot {
  std::atomic<bool> InUse{false};
  char Name[kLongestPath];
};
TemporarySlot gTemporaries[kTemporarySlots];

// Notes a temporary's name; returns its slot, or -1 when there is no room (a longer name).
int NoteTemporary(const std::string& name) {
  if (name.size() >= kLongestPath) return -1;
  for (int slot = 0; slot < kTemporarySlots; ++slot) {
    TemporarySlot& room = gTemporaries[slot];
    if (room.InUse.load()) continue;
    std::memcpy(room.Name, name.c_str(), name.size() + 1);
    room.InUse.store(true);
    return slot;
  }
  return -1;
}

void ForgetTemporary(int& slot) {
  if (slot >= 0) gTemporaries[slot].InUse.store(false);
  slot = -1;
}

#ifndef _WIN32
extern "C" void OnEndingSignal(int signal) {
  RemoveTemporariesFromSignalHandler();
  raise(signal);  // its default action, put back as the handler was entered (SA_RESETHAND)
}

// False where the folder keeps others from replacing the file: in a folder with the sticky bit
// (/tmp, say), only the owners of the file and of the folder may rename over it.
bool MayReplace(const std::string& target, const struct stat& file) {
  const std::size_t folderLength = FolderLength(target);
  const std::string folderName = folderLength == 0 ? "." : target.substr(0, folderLength);
  struct stat folder;
  if (stat(folderName.c_str(), &folder) != 0) return false;
  const uid_t user = geteuid();
  return (folder.st_mode & S_ISVTX) == 0 || user == 0 || file.st_uid == user || folder.st_uid == user;
}
#endif

}  // namespace

bool OutputFile::OpenInPlace(const std::string& name) {
  target_ = name;
  const int file = open(name.c_str(), O_WRONLY | O_CREAT | O_BINARY, 0666);  // not cut yet
  if (file < 0) return false;
  stream_ = fdopen(file, "wb");
  if (stream_ == nullptr) {
    close(file);
    return false;
  }
  uncut_ = true;
  return true;
}

bool OutputFile::Cut() {
  if (!uncut_ || stream_ == nullptr) return true;
  uncut_ = false;
  const int file = fileno(stream_);
  struct stat info;
  if (fstat(file, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) return true;  // nothing to cut
#ifdef _WIN32
  return _chsize(file, 0) == 0;
#else
  return ftruncate(file, 0) == 0;
#endif
}

void OutputFile::OpenStandardOutput() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  stream_ = stdout;
  standard_ = true;
}

bool OutputFile::OpenTemporary(const std::string& target, const void* replaced) {
  uint64_t seed = static_cast<uint64_t>(getpid()) * 2654435761u ^ static_cast<uint64_t>(std::time(nullptr));
  for (int attempt = 0; attempt < 100; ++attempt, seed = seed * 6364136223846793005u + 1442695040888963407u) {
    const std::string name = TemporaryName(target, seed >> 16, replaced != nullptr);
    const int file = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
    if (file < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    slot_ = NoteTemporary(name);
#ifndef _WIN32
    if (replaced != nullptr) {
      // The owner and mode of the file replaced; the owner only where the system allows it.
      const struct stat& info = *static_cast<const struct stat*>(replaced);
      if (fchown(file, info.st_uid, info.st_gid) != 0) {
        // kept as created: this user's
      }
      if (fchmod(file, info.st_mode & 07777) != 0) {
        // kept as created: 0666 less the umask
      }
    }
#else
    (void)replaced;
#endif
    stream_ = fdopen(file, "wb");
    if (stream_ == nullptr) {
      close(file);
      std::remove(name.c_str());
      ForgetTemporary(slot_);
      return false;
    }
    target_ = target;
    temporary_ = name;
    return true;
  }
  return false;
}

bool OutputFile::Open(const std::string& name) {
  struct stat info;
  const bool exists = stat(name.c_str(), &info) == 0;
  if (exists && (!S_ISREG(info.st_mode) || info.st_nlink > 1)) return OpenInPlace(name);
  std::string target = name;
#ifndef _WIN32
  struct stat link;
  if (lstat(name.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char* resolved = exists ? realpath(name.c_str(), nullptr) : nullptr;
    if (resolved == nullptr) return OpenInPlace(name);  // a link to nothing: its target created
    target = resolved;
    std::free(resolved);
  }
  if (exists && !MayReplace(target, info)) return OpenInPlace(name);
#endif
  if (exists) {
    // A file that may not be written is refused as before, whatever its folder allows.
    const int file = open(target.c_str(), O_WRONLY | O_BINARY);
    if (file < 0) return false;
    close(file);
  }
  if (!OpenTemporary(target, exists ? &info : nullptr)) return OpenInPlace(name);
  existed_ = exists;
  return true;
}

bool OutputFile::Close() {
  std::FILE* stream = stream_;
  stream_ = nullptr;
  if (stream == nullptr) return true;
  return standard_ ? std::fflush(stream) == 0 : std::fclose(stream) == 0;
}

bool OutputFile::Commit() {
  Close();
  if (temporary_.empty()) return true;
  if (!ReplaceWith(temporary_.c_str(), target_.c_str())) {
    Discard();
    return false;
  }
  ForgetTemporary(slot_);
  temporary_.clear();
  return true;
}

void OutputFile::Discard() {
  const int error = errno;
  Close();
  if (!temporary_.empty()) {
    std::remove(temporary_.c_str());
    ForgetTemporary(slot_);
    temporary_.clear();
    if (!existed_) {
      const int file = open(target_.c_str(), O_WRONLY | O_CREAT | O_BINARY, 0666);
      if (file >= 0) close(file);
    }
  }
  errno = error;
}

#ifdef _WIN32
// Windows gives no file numbers through stat: the volume and index of the files are compared.
bool IsStandardInputFile(const std::string& name) {
  BY_HANDLE_FILE_INFORMATION input, named;
  const HANDLE standard = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdin)));
  if (standard == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(standard, &input)) return false;
  const HANDLE file = CreateFileW(Wide(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool got = GetFileInformationByHandle(file, &named);
  CloseHandle(file);
  return got && input.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
         input.nFileIndexHigh == named.nFileIndexHigh && input.nFileIndexLow == named.nFileIndexLow;
}
#else
bool IsStandardInputFile(const std::string& name) {
  struct stat input, named;
  return fstat(STDIN_FILENO, &input) == 0 && stat(name.c_str(), &named) == 0 && input.st_dev == named.st_dev &&
         input.st_ino == named.st_ino;
}
#endif

std::string FolderOf(const std::string& name) {
  const std::size_t length = FolderLength(name);
  return name.substr(0, length > 1 ? length - 1 : length);
}

void OutputFile::CommitFromSignalHandler() const {
  if (!temporary_.empty()) ReplaceWith(temporary_.c_str(), target_.c_str());
}

void RemoveTemporariesFromSignalHandler() {
#ifndef _WIN32
  for (TemporarySlot& room : gTemporaries) {
    if (room.InUse.load()) unlink(room.Name);
  }
#endif
}

void RemoveTemporariesOnSignals() {
#ifndef _WIN32
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, nullptr);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
#endif
}

}  // namespace orvalis

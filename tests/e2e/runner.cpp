// End-to-end runner: executes the built orvalis once for one case folder and compares
// everything the run leaves behind (console, exit status, files) byte for byte.
//
//   orvalis_e2e_runner <path to orvalis> <case folder>
//
// A case folder holds:
//   args               the arguments, one per line (a final line feed is not an extra argument)
//   files/             copied into a fresh working directory; X.hex becomes the binary file X
//   setup              optional actions done in the working directory before the run:
//                        mkdir NAME | link EXISTING NEW | symlink TARGET NEW | copy FROM TO
//                        chmod OCTAL NAME | truncate NAME SIZE
//   expected/stdout    expected console output (missing file: must be empty)
//   expected/stderr    expected error output (missing file: must be empty)
//   expected/status    exit status as the shell sees it (0 or 255)
//   expected/files/    files that must exist afterwards with exactly these bytes (X.hex: decoded)
//   expected/absent    optional: names, one per line, that must not exist afterwards
//
// Exit status 0 when everything matches; 1 with a diff hint otherwise (the working directory is
// then kept and its path printed); 2 when the case folder itself is malformed.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kTimeoutSeconds = 60;

struct CaseError {
  std::string message;
};

std::string SysError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ReadFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) throw CaseError{SysError("cannot open " + path)};
  std::string data;
  char chunk[65536];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::string message = SysError("cannot read " + path);
      close(fd);
      throw CaseError{message};
    }
    if (n == 0) break;
    data.append(chunk, static_cast<size_t>(n));
  }
  close(fd);
  return data;
}

void WriteFile(const std::string& path, const std::string& data) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) throw CaseError{SysError("cannot create " + path)};
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::string message = SysError("cannot write " + path);
      close(fd);
      throw CaseError{message};
    }
    done += static_cast<size_t>(n);
  }
  close(fd);
}

// Splits at line feeds; a final line feed does not start another line; an empty text has no lines.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Hex digit pairs; white space and "#" comments up to the end of the line are ignored.
std::string DecodeHex(const std::string& text, const std::string& where) {
  std::string bytes;
  int high = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    int value;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    else throw CaseError{where + ": not a hex digit: '" + std::string(1, c) + "'"};
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + value));
      high = -1;
    }
  }
  if (high >= 0) throw CaseError{where + ": odd number of hex digits"};
  return bytes;
}

std::vector<std::string> ListDirectory(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (!dir) throw CaseError{SysError("cannot list " + path)};
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

// Copies a fixture tree into the working directory, turning X.hex into the binary X.
void CopyTree(const std::string& from, const std::string& to) {
  for (const std::string& name : ListDirectory(from)) {
    std::string source = from + "/" + name;
    if (IsDirectory(source)) {
      std::string target = to + "/" + name;
      if (mkdir(target.c_str(), 0755) != 0 && errno != EEXIST) throw CaseError{SysError("cannot create " + target)};
      CopyTree(source, target);
    } else if (EndsWith(name, ".hex")) {
      WriteFile(to + "/" + name.substr(0, name.size() - 4), DecodeHex(ReadFile(source), source));
    } else {
      WriteFile(to + "/" + name, ReadFile(source));
    }
  }
}

void RemoveTree(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    chmod(path.c_str(), 0700);
    std::vector<std::string> names;
    try {
      names = ListDirectory(path);
    } catch (const CaseError&) {
    }
    for (const std::string& name : names) RemoveTree(path + "/" + name);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

void RunSetup(const std::string& setup_file, const std::string& work) {
  std::vector<std::string> lines = SplitLines(ReadFile(setup_file));
  for (size_t n = 0; n < lines.size(); ++n) {
    std::vector<std::string> w = SplitWords(lines[n]);
    if (w.empty() || w[0][0] == '#') continue;
    std::string where = setup_file + " line " + std::to_string(n + 1);
    auto need = [&](size_t count) {
      if (w.size() != count) throw CaseError{where + ": '" + w[0] + "' takes " + std::to_string(count - 1) + " operand(s)"};
    };
    auto in_work = [&](const std::string& name) { return work + "/" + name; };
    int rc = 0;
    if (w[0] == "mkdir") {
      need(2);
      rc = mkdir(in_work(w[1]).c_str(), 0755);
    } else if (w[0] == "link") {
      need(3);
      rc = link(in_work(w[1]).c_str(), in_work(w[2]).c_str());
    } else if (w[0] == "symlink") {
      need(3);
      rc = symlink(w[1].c_str(), in_work(w[2]).c_str());
    } else if (w[0] == "copy") {
      need(3);
      WriteFile(in_work(w[2]), ReadFile(in_work(w[1])));
    } else if (w[0] == "chmod") {
      need(3);
      rc = chmod(in_work(w[2]).c_str(), static_cast<mode_t>(std::strtoul(w[1].c_str(), nullptr, 8)));
    } else if (w[0] == "truncate") {
      need(3);
      int fd = open(in_work(w[1]).c_str(), O_WRONLY | O_CREAT, 0644);
      if (fd < 0) throw CaseError{SysError(where)};
      rc = ftruncate(fd, static_cast<off_t>(std::strtoull(w[2].c_str(), nullptr, 10)));
      close(fd);
    } else {
      throw CaseError{where + ": unknown action '" + w[0] + "'"};
    }
    if (rc != 0) throw CaseError{SysError(where)};
  }
}

std::vector<std::string> ReadArgs(const std::string& case_dir) {
  std::string path = case_dir + "/args";
  if (!Exists(path)) throw CaseError{"missing " + path + " (use an empty file for no arguments)"};
  return SplitLines(ReadFile(path));
}

struct RunResult {
  bool timed_out = false;
  bool signalled = false;
  int code = 0;  // exit status, or the signal number when signalled
};

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& work,
                     const std::string& out_path, const std::string& err_path) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) throw CaseError{SysError("fork")};
  if (pid == 0) {
    setpgid(0, 0);
    int in = open("/dev/null", O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    close(in);
    close(out);
    close(err);
    if (chdir(work.c_str()) != 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }

  RunResult result;
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status)) {
        result.code = WEXITSTATUS(status);
      } else if (WIFSIGNALED(status)) {
        result.signalled = true;
        result.code = WTERMSIG(status);
      }
      break;
    }
    if (done < 0 && errno != EINTR) throw CaseError{SysError("waitpid")};
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long elapsed_ms = (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsed_ms >= kTimeoutSeconds * 1000LL) {
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timed_out = true;
      break;
    }
    timespec pause = {0, 5 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  return result;
}

std::string Escape(const std::string& bytes) {
  std::string out;
  char buf[8];
  for (unsigned char c : bytes) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out;
}

// Empty when equal; otherwise a hint naming the first differing offset with context from both sides.
std::string Compare(const std::string& what, const std::string& expected, const std::string& actual) {
  if (expected == actual) return "";
  size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
  size_t line = 1;
  for (size_t k = 0; k < i; ++k)
    if (expected[k] == '\n') ++line;
  size_t from = i > 24 ? i - 24 : 0;
  std::string hint = what + " differs at offset " + std::to_string(i) + " (line " + std::to_string(line) +
                     "); expected " + std::to_string(expected.size()) + " bytes, got " +
                     std::to_string(actual.size()) + " bytes\n";
  hint += "  expected: ..." + Escape(expected.substr(from, i - from)) + " >>>" + Escape(expected.substr(i, 48)) +
          (i + 48 < expected.size() ? "..." : "") + "\n";
  hint += "  actual:   ..." + Escape(actual.substr(from, i - from)) + " >>>" + Escape(actual.substr(i, 48)) +
          (i + 48 < actual.size() ? "..." : "") + "\n";
  return hint;
}

std::string ExpectedText(const std::string& path) { return Exists(path) ? ReadFile(path) : std::string(); }

// Compares every file under expected/files (recursively) with the same name in the work dir.
void CompareFiles(const std::string& expected_dir, const std::string& work_dir, const std::string& shown,
                  std::vector<std::string>& failures) {
  for (const std::string& name : ListDirectory(expected_dir)) {
    std::string source = expected_dir + "/" + name;
    if (IsDirectory(source)) {
      CompareFiles(source, work_dir + "/" + name, shown + name + "/", failures);
      continue;
    }
    std::string target = name;
    std::string expected;
    if (EndsWith(name, ".hex")) {
      target = name.substr(0, name.size() - 4);
      expected = DecodeHex(ReadFile(source), source);
    } else {
      expected = ReadFile(source);
    }
    std::string actual_path = work_dir + "/" + target;
    if (!Exists(actual_path)) {
      failures.push_back("file " + shown + target + " was expected but does not exist\n");
      continue;
    }
    std::string hint = Compare("file " + shown + target, expected, ReadFile(actual_path));
    if (!hint.empty()) failures.push_back(hint);
  }
}

int RunCase(const std::string& program, const std::string& case_dir) {
  std::vector<std::string> args = ReadArgs(case_dir);
  std::string status_path = case_dir + "/expected/status";
  if (!Exists(status_path)) throw CaseError{"missing " + status_path};
  std::string status_text = ReadFile(status_path);
  char* end = nullptr;
  long expected_status = std::strtol(status_text.c_str(), &end, 10);
  if (end == status_text.c_str()) throw CaseError{status_path + ": not a number"};

  const char* tmp_env = std::getenv("TMPDIR");
  std::string tmp_root = (tmp_env && *tmp_env) ? tmp_env : "/tmp";
  std::string pattern = tmp_root + "/orvalis-e2e-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw CaseError{SysError("mkdtemp " + pattern)};
  std::string base = buf.data();
  std::string work = base + "/work";
  if (mkdir(work.c_str(), 0755) != 0) throw CaseError{SysError("cannot create " + work)};

  std::vector<std::string> failures;
  try {
    if (IsDirectory(case_dir + "/files")) CopyTree(case_dir + "/files", work);
    if (Exists(case_dir + "/setup")) RunSetup(case_dir + "/setup", work);

    RunResult run = RunProgram(program, args, work, base + "/stdout", base + "/stderr");
    if (run.timed_out) {
      failures.push_back("the program did not end within " + std::to_string(kTimeoutSeconds) + " s (killed)\n");
    } else if (run.signalled) {
      failures.push_back("the program was killed by signal " + std::to_string(run.code) + " (" +
                         strsignal(run.code) + ")\n");
    } else if (run.code != expected_status) {
      failures.push_back("exit status: expected " + std::to_string(expected_status) + ", got " +
                         std::to_string(run.code) + "\n");
    }

    std::string hint = Compare("stdout", ExpectedText(case_dir + "/expected/stdout"), ReadFile(base + "/stdout"));
    if (!hint.empty()) failures.push_back(hint);
    hint = Compare("stderr", ExpectedText(case_dir + "/expected/stderr"), ReadFile(base + "/stderr"));
    if (!hint.empty()) failures.push_back(hint);

    if (IsDirectory(case_dir + "/expected/files")) CompareFiles(case_dir + "/expected/files", work, "", failures);
    if (Exists(case_dir + "/expected/absent")) {
      for (const std::string& name : SplitLines(ReadFile(case_dir + "/expected/absent"))) {
        if (!name.empty() && Exists(work + "/" + name))
          failures.push_back("file " + name + " must not exist afterwards, but it does\n");
      }
    }
  } catch (const CaseError& e) {
    std::fprintf(stderr, "%s: %s\n(working directory kept: %s)\n", case_dir.c_str(), e.message.c_str(), base.c_str());
    return 2;
  }

  if (failures.empty()) {
    RemoveTree(base);
    std::printf("%s: ok\n", case_dir.c_str());
    return 0;
  }
  std::fprintf(stderr, "%s: FAILED\n", case_dir.c_str());
  for (const std::string& f : failures) std::fprintf(stderr, "%s", f.c_str());
  std::fprintf(stderr, "working directory kept: %s (stdout and stderr of the run beside it)\n", base.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <path to orvalis> <case folder>\n", argc > 0 ? argv[0] : "orvalis_e2e_runner");
    return 2;
  }
  char resolved[PATH_MAX];
  if (!realpath(argv[1], resolved)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
    return 2;
  }
  std::string case_dir = argv[2];
  while (case_dir.size() > 1 && case_dir.back() == '/') case_dir.pop_back();
  try {
    return RunCase(resolved, case_dir);
  } catch (const CaseError& e) {
    std::fprintf(stderr, "%s: %s\n", case_dir.c_str(), e.message.c_str());
    return 2;
  }
}

// End-to-end runner: executes the built orvalis once for one case folder (format in README.md)
// and compares everything the run leaves behind (console, exit status, files) byte for byte.
//
//   orvalis_e2e_runner <path to orvalis> <case folder>
//
// Exit status 0 when everything matches; 1 with a diff hint otherwise (the working directory is
// then kept and its path printed); 2 when the case folder itself is malformed.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

constexpr int kTimeoutSeconds = 60;

struct CaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string SysError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool Exists(const fs::path& path) { return fs::exists(fs::symlink_status(path)); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CaseError("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReadIfThere(const fs::path& path) { return Exists(path) ? ReadFile(path) : std::string(); }

void WriteFile(const fs::path& path, const std::string& data) {
  if (!(std::ofstream(path, std::ios::binary) << data)) throw CaseError("cannot write " + path.string());
}

// Lines at line feeds; a final line feed does not start another line; an empty text has none.
Strings SplitLines(const std::string& text) {
  Strings lines;
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// The bytes a fixture file stands for, and its name: X.hex stands for X, the bytes written as hex
// digit pairs (white space and "#" comments up to the end of the line ignored).
std::pair<fs::path, std::string> Fixture(const fs::path& path) {
  if (path.extension() != ".hex") return {path, ReadFile(path)};
  std::string digits, bytes;
  for (const std::string& line : SplitLines(ReadFile(path))) {
    for (char c : line.substr(0, line.find('#'))) {
      if (std::isspace(static_cast<unsigned char>(c))) continue;
      if (!std::isxdigit(static_cast<unsigned char>(c))) throw CaseError(path.string() + ": not a hex digit: " + c);
      digits.push_back(c);
    }
  }
  if (digits.size() % 2 != 0) throw CaseError(path.string() + ": odd number of hex digits");
  for (std::size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return {fs::path(path).replace_extension(), bytes};
}

void RunSetup(const fs::path& setupFile, const fs::path& work) {
  const Strings lines = SplitLines(ReadFile(setupFile));
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::istringstream words(lines[n]);
    const Strings w{std::istream_iterator<std::string>(words), {}};
    if (w.empty() || w[0][0] == '#') continue;
    const std::string where = setupFile.string() + " line " + std::to_string(n + 1);
    static const Strings kActions = {"mkdir", "mkfifo", "link", "symlink", "copy", "chmod", "truncate"};
    if (std::find(kActions.begin(), kActions.end(), w[0]) == kActions.end())
      throw CaseError(where + ": unknown action '" + w[0] + "'");
    const std::size_t operands = w[0] == "mkdir" || w[0] == "mkfifo" ? 1 : 2;
    if (w.size() != operands + 1)
      throw CaseError(where + ": '" + w[0] + "' takes " + std::to_string(operands) + " operand(s)");
    int rc = 0;
    if (w[0] == "mkdir") {
      rc = mkdir((work / w[1]).c_str(), 0755);
    } else if (w[0] == "mkfifo") {
      rc = mkfifo((work / w[1]).c_str(), 0644);
    } else if (w[0] == "link") {
      rc = link((work / w[1]).c_str(), (work / w[2]).c_str());
    } else if (w[0] == "symlink") {
      rc = symlink(w[1].c_str(), (work / w[2]).c_str());
    } else if (w[0] == "copy") {
      WriteFile(work / w[2], ReadFile(work / w[1]));
    } else if (w[0] == "chmod") {
      rc = chmod((work / w[2]).c_str(), static_cast<mode_t>(std::stoul(w[1], nullptr, 8)));
    } else {  // truncate
      std::ofstream(work / w[1], std::ios::app).close();  // made when missing, kept when there
      rc = truncate((work / w[1]).c_str(), static_cast<off_t>(std::stoull(w[2])));
    }
    if (rc != 0) throw CaseError(SysError(where));
  }
}

// Runs the program in `work`, stdin from /dev/null, stdout and stderr into `base`. Returns what
// went wrong if it did not exit by itself (empty when it did, with its status in `code`).
std::string Run(const std::string& program, const Strings& args, const fs::path& work, const fs::path& base,
                int& code) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw CaseError(SysError("fork"));
  if (pid == 0) {
    setpgid(0, 0);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;  // only the dup2 copies stay open
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = open((base / "stdout").c_str(), flags, 0644), err = open((base / "stderr").c_str(), flags, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    if (chdir(work.c_str()) != 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeoutSeconds);
  int status = 0;
  for (pid_t done; (done = waitpid(pid, &status, WNOHANG)) != pid;) {
    if (done < 0 && errno != EINTR) throw CaseError(SysError("waitpid"));
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return "the program did not end within " + std::to_string(kTimeoutSeconds) + " s (killed)\n";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFSIGNALED(status)) {
    const int number = WTERMSIG(status);
    return "the program was killed by signal " + std::to_string(number) + " (" + strsignal(number) + ")\n";
  }
  code = WEXITSTATUS(status);
  return "";
}

std::string Escape(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    const char* named = c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : c == '\\' ? "\\\\" : nullptr;
    out += named ? named : (c < 0x20 || c >= 0x7f) ? hex : std::string(1, static_cast<char>(c));
  }
  return out;
}

// Empty when equal; otherwise a hint naming the first differing offset with context from both sides.
std::string Compare(const std::string& what, const std::string& expected, const std::string& actual) {
  if (expected == actual) return "";
  std::size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
  const std::size_t from = i > 24 ? i - 24 : 0;
  const auto line = 1 + std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(i), '\n');
  auto context = [&](const std::string& text) {
    return "..." + Escape(text.substr(from, i - from)) + " >>>" + Escape(text.substr(i, 48)) +
           (i + 48 < text.size() ? "..." : "") + "\n";
  };
  return what + " differs at offset " + std::to_string(i) + " (line " + std::to_string(line) + "); expected " +
         std::to_string(expected.size()) + " bytes, got " + std::to_string(actual.size()) + " bytes\n" +
         "  expected: " + context(expected) + "  actual:   " + context(actual);
}

// What a case expects on `stream` ("stdout" or "stderr"): expected/<stream> (empty when missing),
// or the expected/<stream> of the case that expected/<stream>-from names, a folder beside this one
// whose file is its own (so that one fixture holds a text that many runs print). `what` gets the
// name a mismatch is told under: the stream, and the case its text comes from.
std::string ExpectedStream(const fs::path& caseDir, const std::string& stream, std::string& what) {
  const fs::path own = caseDir / "expected" / stream, from = caseDir / "expected" / (stream + "-from");
  what = stream;
  if (!Exists(from)) return ReadIfThere(own);
  if (Exists(own)) throw CaseError(caseDir.string() + ": both expected/" + stream + " and expected/" + stream + "-from");
  const Strings lines = SplitLines(ReadFile(from));
  if (lines.size() != 1 || lines[0].empty() || lines[0].find('/') != std::string::npos || lines[0] == "." ||
      lines[0] == "..")
    throw CaseError(from.string() + ": must hold the name of one case folder on one line");
  const fs::path other = caseDir.parent_path() / lines[0] / "expected" / stream;
  if (!Exists(other)) throw CaseError(from.string() + ": " + other.string() + " does not exist");
  what = stream + " (expected as in " + lines[0] + ")";
  return ReadFile(other);
}

// The failures of the run, in the working directory `base`/work.
std::string RunAndCompare(const std::string& program, const fs::path& caseDir, const fs::path& base) {
  if (!Exists(caseDir / "args"))
    throw CaseError("missing " + (caseDir / "args").string() + " (use an empty file for no arguments)");
  const fs::path statusPath = caseDir / "expected" / "status";
  if (!Exists(statusPath)) throw CaseError("missing " + statusPath.string());
  const std::string statusText = ReadFile(statusPath);
  char* end = nullptr;
  const long expectedStatus = std::strtol(statusText.c_str(), &end, 10);
  if (end == statusText.c_str()) throw CaseError(statusPath.string() + ": not a number");
  struct Stream {
    std::string Name, What, Expected;
  };
  std::vector<Stream> streams;
  for (const char* stream : {"stdout", "stderr"}) {
    streams.push_back({stream, "", ""});
    streams.back().Expected = ExpectedStream(caseDir, stream, streams.back().What);
  }

  const fs::path work = base / "work", files = caseDir / "files";
  fs::create_directory(work);
  if (fs::is_directory(files)) {
    for (const auto& entry : fs::recursive_directory_iterator(files)) {
      if (entry.is_directory()) {
        fs::create_directories(work / entry.path().lexically_relative(files));
      } else {
        const auto [name, bytes] = Fixture(entry.path());
        WriteFile(work / name.lexically_relative(files), bytes);
      }
    }
  }
  if (Exists(caseDir / "setup")) RunSetup(caseDir / "setup", work);

  int code = -1;
  std::string failures = Run(program, SplitLines(ReadFile(caseDir / "args")), work, base, code);
  if (failures.empty() && code != expectedStatus)
    failures = "exit status: expected " + std::to_string(expectedStatus) + ", got " + std::to_string(code) + "\n";
  for (const auto& [stream, what, expected] : streams) failures += Compare(what, expected, ReadFile(base / stream));
  const fs::path expectedFiles = caseDir / "expected" / "files";
  if (fs::is_directory(expectedFiles)) {
    for (const auto& entry : fs::recursive_directory_iterator(expectedFiles)) {
      if (entry.is_directory()) continue;
      const auto [name, bytes] = Fixture(entry.path());
      const fs::path relative = name.lexically_relative(expectedFiles);
      failures += Exists(work / relative) ? Compare("file " + relative.string(), bytes, ReadFile(work / relative))
                                          : "file " + relative.string() + " was expected but does not exist\n";
    }
  }
  for (const std::string& name : SplitLines(ReadIfThere(caseDir / "expected" / "absent")))
    if (!name.empty() && Exists(work / name)) failures += "file " + name + " must not exist afterwards, but does\n";
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <path to orvalis> <case folder>\n", argc > 0 ? argv[0] : "orvalis_e2e_runner");
    return 2;
  }
  std::string caseDir = argv[2];
  while (caseDir.size() > 1 && caseDir.back() == '/') caseDir.pop_back();
  std::error_code error;
  const fs::path program = fs::canonical(argv[1], error);
  if (error) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.message().c_str());
    return 2;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvalis-e2e-XXXXXX";
  if (!mkdtemp(base.data())) {
    std::fprintf(stderr, "%s\n", SysError("mkdtemp " + base).c_str());
    return 2;
  }
  std::string failures;
  try {
    failures = RunAndCompare(program.string(), caseDir, base);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n(working directory kept: %s)\n", caseDir.c_str(), e.what(), base.c_str());
    return 2;
  }
  if (!failures.empty()) {
    std::fprintf(stderr, "%s: FAILED\n%sworking directory kept: %s (stdout and stderr of the run beside it)\n",
                 caseDir.c_str(), failures.c_str(), base.c_str());
    return 1;
  }
  try {  // a folder of mode 000 must not stay behind; its links are not followed
    for (const auto& entry : fs::recursive_directory_iterator(base))
      if (fs::is_directory(entry.symlink_status())) fs::permissions(entry.path(), fs::perms::owner_all);
    fs::remove_all(base);
  } catch (const fs::filesystem_error&) {
  }
  std::printf("%s: ok\n", caseDir.c_str());
  return 0;
}

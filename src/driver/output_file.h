// The output file of a run, written so that a run that does not finish leaves the earlier output
// as it was.
//
// A regular file, or a name where nothing is yet, is written to a temporary file in the same
// folder, ".NAME.XXXXXX.part" (a leading dot and a suffix of its own, so that neither `*.csv`
// nor `ls` shows it), which takes the output's name once the walk has run (Commit). A run that
// gives up (Discard, or the destructor) removes it: an earlier output stays as it was, and a
// missing one is created empty, as it was when the output was opened in place. The temporary
// gets the mode and owner of the file it replaces; a new output gets 0666 less the umask.
//
// Written in place as before, created when opened but cut to zero length only when the run is about
// to write it (Cut), so that a run that gives up before leaves it as it was: standard output, what
// is not a regular file (a pipe, a device such as /dev/null), a file with other hard links (so
// that every name of it sees the new text), a symbolic link whose target is missing, a file of
// another user's in a folder with the sticky bit (which only its owner may replace), and any
// output whose temporary cannot be created (a folder that may not be written, say). A symbolic
// link to a regular file keeps the link: the temporary is made beside its target, which it
// replaces.
//
// The temporaries' names are noted where a signal handler finds them: a run ended by SIGINT,
// SIGTERM, SIGHUP or SIGPIPE removes them (RemoveTemporariesOnSignals).
#pragma once

#include <cstdio>
#include <string>

namespace orvalis {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() { Discard(); }

  // Opens the output; false, with errno set, when it cannot be written (a read-only file, a
  // missing folder, a folder given as the output).
  bool Open(const std::string& name);
  // Standard output, written unbuffered as it is.
  void OpenStandardOutput();

  std::FILE* Stream() const { return stream_; }
  // Cuts an output written in place to zero length, once: the text written from now on replaces
  // what it held. False, with errno set, when a regular file could not be cut.
  bool Cut();
  // Closes the stream (standard output is flushed, not closed); false, with errno set, when the
  // last of it could not be written.
  bool Close();
  // Gives the written temporary the output's name; false, with errno set, when it cannot (the
  // temporary is then removed).
  bool Commit();
  // Removes the temporary; a missing output is created empty.
  void Discard();
  // Commit for a signal handler: the temporary renamed, nothing else (no memory, no stream).
  void CommitFromSignalHandler() const;

 private:
  bool OpenInPlace(const std::string& name);
  bool OpenTemporary(const std::string& target, const void* replaced);

  std::FILE* stream_ = nullptr;
  bool standard_ = false;
  std::string target_;     // the file the temporary replaces (a symbolic link's target)
  std::string temporary_;  // empty when the output is written in place
  bool existed_ = false;   // the target was there when the output was opened
  bool uncut_ = false;     // written in place and not yet cut
  int slot_ = -1;          // where a signal handler finds the temporary's name; -1: nowhere
};

// From now on a write past a limit of the file size fails (EFBIG) instead of ending the program
// (SIGXFSZ is ignored), and SIGINT, SIGTERM, SIGHUP and SIGPIPE remove the temporaries of the
// outputs being written before they end the program as they would have (their default action,
// the signal raised again); a signal that was ignored stays ignored. Nothing on Windows.
void RemoveTemporariesOnSignals();

// In a signal handler: removes the temporaries still being written (unlink only).
void RemoveTemporariesFromSignalHandler();

// True when standard input is the file that `name` names (`-i - -o day.ber < day.ber`).
bool IsStandardInputFile(const std::string& name);

// The folder that a name puts its file in, as the name gives it (without the last separator, but
// for the root "/"); empty for a name without a folder.
std::string FolderOf(const std::string& name);

}  // namespace orvalis

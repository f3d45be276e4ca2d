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
// Written in place as before, created or cut to zero length when opened: standard output, what
// is not a regular file (a pipe, a device such as /dev/null), a file with other hard links (so
// that every name of it sees the new text), a symbolic link whose target is missing, a file of
// another user's in a folder with the sticky bit (which only its owner may replace), and any
// output whose temporary cannot be created (a folder that may not be written, say). A symbolic
// link to a regular file keeps the link: the temporary is made beside its target, which it
// replaces.
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
};

// True when standard input is the file that `name` names (`-i - -o day.ber < day.ber`).
bool IsStandardInputFile(const std::string& name);

}  // namespace orvalis

// Whole-file reading and the error form of the program's messages.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>

namespace orvalis {

// Prints "<text>: <description of errno>\n" on standard error; errno stays as it was.
void PrintErrorForm(const char* text);

// Opens a file for binary reading. A directory is refused with errno set to EISDIR, so that the
// caller's error form reads "Is a directory" on every system. Returns null on failure.
std::FILE* OpenForReading(const std::string& name);

// What a name stands for, taken from the name before the file is opened: opening a named pipe
// waits until a program opens it for writing, and opening a device may wait or act. kUnknown when
// the name cannot be looked at (a missing file, say): opening it then tells why.
enum class FileKind { kUnknown, kRegular, kFolder, kPipe, kOther };  // kOther: a device, a socket
FileKind KindOfNamedFile(const std::string& name);

// OpenForReading for a text file, which is read by its length: a named pipe, a device or a
// socket is refused without being opened, with errno set to EINVAL.
std::FILE* OpenTextFileForReading(const std::string& name);

// Reads an open file whole into text (its length taken by seeking to the end). Returns false with
// errno set when the file's length cannot be taken or its buffer cannot be allocated.
bool ReadWholeFile(std::FILE* file, std::string& text);

// Says one warning line naming the file when its text mixes CR LF with line feeds without
// carriage returns (CountBareLineFeeds), and counts it.
void WarnOfBareLineFeeds(const std::string& name, std::string_view text);

// The one loader of the text files. Reads the named text file whole, warns of line feeds without
// carriage returns among CR LF line ends, and hands its text to apply(std::string_view). When the
// file cannot be opened, prints openError in the error form; when its length cannot be taken, or its
// text or anything that apply builds from it cannot be allocated, prints memoryError in the error
// form (with "Cannot allocate memory" for an allocation). Returns true when apply ran to its end;
// after an allocation failed in apply, what apply built is incomplete. When it returns false,
// errno tells why (ENOENT: there is no such file).
template <typename Apply>
bool ReadTextFile(const std::string& name, const char* openError, const char* memoryError, Apply&& apply) {
  std::FILE* file = OpenTextFileForReading(name);
  if (file == nullptr) {
    PrintErrorForm(openError);
    return false;
  }
  std::string text;
  const bool read = ReadWholeFile(file, text);
  if (!read) PrintErrorForm(memoryError);
  std::fclose(file);
  if (!read) return false;
  WarnOfBareLineFeeds(name, text);
  try {
    apply(std::string_view(text));
    return true;
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    PrintErrorForm(memoryError);
    return false;
  }
}

}  // namespace orvalis

namespace orvalis {

// The line feeds of a text file's text that have no carriage return on either side, in a text
// whose lines end with CR LF: a file that mixes CR LF with line feeds alone. (A line feed that
// ends a value, right before the line's CR LF, is not one of them; in a text without any CR LF
// every line feed ends a line, and none is counted.)
uint64_t CountBareLineFeeds(std::string_view text);


// Takes an open file's length by seeking to its end, then seeks back to its start.
bool FileLength(std::FILE* file, uint64_t& length);

}  // namespace orvalis

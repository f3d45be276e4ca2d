// Whole-file reading and the error form of the program's messages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace orvalis {

// Prints "<text>: <description of errno>\n" on standard error.
void PrintErrorForm(const char* text);

// Opens a file for binary reading. A directory is refused with errno set to EISDIR, so that the
// caller's error form reads "Is a directory" on every system. Returns null on failure.
std::FILE* OpenForReading(const std::string& name);

// Reads an open file whole into text (its length taken by seeking to the end). Returns false with
// errno set when the file's length cannot be taken or its buffer cannot be allocated.
bool ReadWholeFile(std::FILE* file, std::string& text);

}  // namespace orvalis

namespace orvalis {

// Takes an open file's length by seeking to its end, then seeks back to its start.
bool FileLength(std::FILE* file, uint64_t& length);

}  // namespace orvalis

// Whole-file reading and the error form of the program's messages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

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

// The line feeds of a text file's text that have no carriage return on either side: a file
// written with line feeds alone. (A line feed that ends a value, right before the line's CR LF,
// is not one of them.)
uint64_t CountBareLineFeeds(std::string_view text);

// Says one warning line naming the file when its text holds such line feeds, and counts it.
void WarnOfBareLineFeeds(const std::string& name, std::string_view text);

// Takes an open file's length by seeking to its end, then seeks back to its start.
bool FileLength(std::FILE* file, uint64_t& length);

}  // namespace orvalis

#pragma once

// What differs between platforms at quillmarrow-cli's edges: how the arguments arrive, how
// standard output and error are written, and how argument text becomes a path or an entry name.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Puts standard input, output and error in binary mode (bytes as they are, lines end in LF) and
// returns the arguments after the program's name as UTF-8. On Windows they are taken from the
// UTF-16 command line, so that any character can be given, not just the ANSI code page's.
std::vector<std::string> StartUp(int argc, char** argv);

// The path an argument names.
std::filesystem::path PathArgument(const std::string& utf8);

// The entry name bytes an argument stands for. Entry names become file names through the ANSI
// code page on Windows, so an argument is that code page's bytes there; elsewhere the argument
// is the bytes. "" (which names no entry) when the code page cannot write the argument.
std::string EntryNameArgument(const std::string& utf8);

// The entry name bytes for the file an argument names: its last component, by
// EntryNameArgument's rule.
std::string FileNameArgument(const std::string& utf8);

// How the bytes written to standard output or error read.
enum class Encoding {
    Data,  // bytes kept as they are (cat)
    Names, // lines holding entry names' bytes (list, sums, find)
    Text,  // UTF-8 text for people (messages, check, verify, diff)
    Json,  // UTF-8 JSON
};

// Writes `bytes` to `to`; false when not all of them were written. The bytes as they are,
// except on Windows: a console gets them as UTF-16 (WriteConsoleW), names read in the ANSI code
// page, text and JSON as UTF-8, so that each name shows as its file is named; redirected to a
// file or a pipe, text goes out in the ANSI code page, so that a script reads names as `dir`
// shows them, and everything else unchanged.
bool Write(std::FILE* to, std::string_view bytes, Encoding encoding);

// Argument text (UTF-8) in the encoding of the entry names beside it: the ANSI code page on
// Windows ('?' for what it cannot write), the text itself elsewhere.
std::string NativeText(const std::string& utf8);

} // namespace cli

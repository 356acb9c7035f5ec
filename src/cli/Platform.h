#pragma once

// What differs between platforms at quillmarrow-cli's edges: how the arguments arrive, how
// standard output and error are written, and how argument text becomes a path or an entry name.

#include <filesystem>
#include <string>
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

} // namespace cli

#pragma once

// What quillmarrow-cli writes: messages on standard error, one a line and escaped, and
// standard output with every write checked.

#include "cli/Platform.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

// UTF-8 text (see Encoding).
void Print(std::FILE* to, std::string_view text);

// One line on standard error, escaped: "quillmarrow-cli: SUBJECT: MESSAGE". An entry name
// in it is given as archive::NameText has it.
void Complain(std::string_view subject, std::string_view message);

// Sets memory aside for the moment it runs out, so that the program can still say so: false
// (after saying so) when there is not even that much. See Output.cpp.
bool KeepMemoryInReserve();
// "quillmarrow-cli: not enough memory to go on", written without taking any memory.
void OutOfMemory();

// Standard output with every write checked: after the first failure nothing more is written,
// and Finish reports it once.
class Output {
public:
    explicit Output(Encoding encoding = Encoding::Names) : encoding_(encoding) {}
    bool Ok() const { return error_ == 0; }
    void Write(std::string_view text);
    // Writes `pending` and empties it once it holds 64 KiB or more: lines go out in blocks.
    void WriteInBlocks(std::string& pending);
    // Flushes what is buffered; the exit status: 0, or 1 after one message when any byte was
    // not written.
    int Finish();

private:
    Encoding encoding_;
    int error_ = 0;
};

// "1 entry", "2 entries".
std::string Count(std::uint64_t n, const char* one, const char* many);

} // namespace cli

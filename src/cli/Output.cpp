#include "cli/Output.h"

#include "archive/Escape.h"

#include <cerrno>
#include <cstdlib>
#include <new>
#include <system_error>

namespace cli {

namespace {

// Throwing std::bad_alloc takes memory too. The C++ runtime sets some aside for that as it
// starts, but not when memory is short already then (a tight address-space limit): the first
// throw would end the program with an abort instead of the message. So the program keeps a
// reserve of its own, which the first allocation that fails frees before it throws.
constexpr std::size_t Reserve = 64u << 10;
void* reserve = nullptr;

void ReleaseReserve() {
    std::free(reserve);
    reserve = nullptr;
    std::set_new_handler(nullptr);
    throw std::bad_alloc();
}

} // namespace

void Print(std::FILE* to, std::string_view text) {
    Write(to, text, Encoding::Text);
}

void Complain(std::string_view subject, std::string_view message) {
    std::string line;
    if (!subject.empty())
        line.append(subject).append(": ");
    line.append(message);
    Print(stderr, "quillmarrow-cli: " + archive::Escaped(line) + "\n");
}

bool KeepMemoryInReserve() {
    reserve = std::malloc(Reserve);
    if (!reserve) {
        OutOfMemory();
        return false;
    }
    std::set_new_handler(ReleaseReserve);
    return true;
}

void OutOfMemory() {
    static constexpr std::string_view Text = "quillmarrow-cli: not enough memory to go on\n";
    std::fwrite(Text.data(), 1, Text.size(), stderr);
}

void Output::Write(std::string_view text) {
    if (error_ == 0 && !cli::Write(stdout, text, encoding_))
        error_ = errno != 0 ? errno : EIO;
}

void Output::WriteInBlocks(std::string& pending) {
    if (pending.size() < (1u << 16))
        return;
    Write(pending);
    pending.clear();
}

int Output::Finish() {
    if (error_ == 0 && std::fflush(stdout) != 0)
        error_ = errno != 0 ? errno : EIO;
    if (error_ == 0)
        return 0;
    Complain({}, "cannot write to standard output: " + std::generic_category().message(error_));
    return 1;
}

std::string Count(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

} // namespace cli

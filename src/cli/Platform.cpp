#include "Platform.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#endif

namespace cli {

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& text, UINT codePage) {
    const int n =
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// `wide` in codePage; false in `exact` when a character has no form there.
std::string Narrow(const std::wstring& wide, UINT codePage, bool* exact = nullptr) {
    BOOL usedDefault = FALSE;
    BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = ::WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, used);
    std::string text(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), text.data(),
                          n, nullptr, used);
    if (exact)
        *exact = !usedDefault;
    return text;
}

} // namespace

std::vector<std::string> StartUp(int, char**) {
    // Without this the C runtime writes every "\n" as CR LF.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::_setmode(::_fileno(stdin), _O_BINARY); // a checksum list's bytes as they are
    // argv holds the arguments in the ANSI code page, with '?' for what it cannot write.
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; argv && i < argc; ++i)
        args.push_back(Narrow(argv[i], CP_UTF8));
    ::LocalFree(argv);
    return args;
}

std::filesystem::path PathArgument(const std::string& utf8) {
    return Wide(utf8, CP_UTF8);
}

std::string EntryNameArgument(const std::string& utf8) {
    bool exact = false;
    std::string name = Narrow(Wide(utf8, CP_UTF8), CP_ACP, &exact);
    return exact ? name : std::string();
}

bool Write(std::FILE* to, std::string_view bytes, Encoding encoding) {
    const auto write = [to](std::string_view b) {
        return std::fwrite(b.data(), 1, b.size(), to) == b.size();
    };
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(to)));
    DWORD mode = 0;
    if (encoding == Encoding::Data || !::GetConsoleMode(handle, &mode))
        return write(encoding == Encoding::Text
                         ? Narrow(Wide(std::string(bytes), CP_UTF8), CP_ACP)
                         : std::string(bytes));
    if (std::fflush(to) != 0)
        return false;
    const std::wstring wide =
        Wide(std::string(bytes), encoding == Encoding::Names ? CP_ACP : CP_UTF8);
    for (std::size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        const auto n = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 1u << 14));
        if (!::WriteConsoleW(handle, wide.data() + done, n, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

std::string NativeText(const std::string& utf8) {
    return Narrow(Wide(utf8, CP_UTF8), CP_ACP);
}

#else

std::vector<std::string> StartUp(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::filesystem::path PathArgument(const std::string& arg) {
    return arg;
}

std::string EntryNameArgument(const std::string& arg) {
    return arg;
}

bool Write(std::FILE* to, std::string_view bytes, Encoding) {
    return std::fwrite(bytes.data(), 1, bytes.size(), to) == bytes.size();
}

std::string NativeText(const std::string& utf8) {
    return utf8;
}

#endif

std::string FileNameArgument(const std::string& utf8) {
#ifdef _WIN32
    const std::size_t separator = utf8.find_last_of("/\\:");
#else
    const std::size_t separator = utf8.rfind('/');
#endif
    return EntryNameArgument(separator == std::string::npos ? utf8 : utf8.substr(separator + 1));
}

} // namespace cli

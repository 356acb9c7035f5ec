// The file layer on Windows: wide-character paths, files created exclusively under a
// temporary name and moved over the entry's name when whole, the system's own error texts.
// Entry names are bytes in the ANSI code page and become file names through it.

#include "FileIO.h"

#include "archive/Extract.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace archive::io {

namespace {

std::error_code LastError() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

OpenError::Kind KindOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        return OpenError::Kind::NotFound;
    case ERROR_ACCESS_DENIED:
        return OpenError::Kind::PermissionDenied;
    default:
        return OpenError::Kind::Unreadable;
    }
}

std::int64_t Ticks(const FILETIME& t) {
    return static_cast<std::int64_t>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
}

bool IdOf(HANDLE h, FileId& id, FileState* state = nullptr, std::int64_t since = 0) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info))
        return false;
    id.Device = info.dwVolumeSerialNumber;
    id.Inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    id.Recent = std::max(Ticks(info.ftCreationTime), Ticks(info.ftLastWriteTime)) >= since;
    if (state) {
        state->Size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        state->Modified = Ticks(info.ftLastWriteTime);
        // The change time, which every write moves (and a rename); the write time where the
        // file system keeps none.
        FILE_BASIC_INFO basic{};
        state->Changed = ::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)
                             ? basic.ChangeTime.QuadPart
                             : state->Modified;
    }
    return true;
}

// The identity and state of the file or link (not followed) at a path; false when there is none.
bool StateAt(const std::wstring& path, FileId& id, FileState& state) {
    HANDLE h = ::CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool known = IdOf(h, id, &state);
    ::CloseHandle(h);
    return known;
}

// A hidden name in the folder for a file of this run: the process ID and a counter say whose.
std::wstring TemporaryPath(const std::wstring& folder) {
    static std::atomic<unsigned> counter{0};
    return folder + L".quillmarrow-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter++) + L".part";
}

// The process ID in a name that TemporaryPath made, or 0 for any other name.
DWORD TemporaryNamePid(const std::wstring& name) {
    const std::wstring prefix = L".quillmarrow-", suffix = L".part";
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix))
        return 0;
    const std::wstring rest =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t dash = rest.find(L'-');
    const auto digits = [](const std::wstring& t) {
        return !t.empty() && t.size() <= 10 &&
               t.find_first_not_of(L"0123456789") == std::wstring::npos;
    };
    if (dash == std::wstring::npos || !digits(rest.substr(0, dash)) ||
        !digits(rest.substr(dash + 1)))
        return 0;
    return static_cast<DWORD>(std::wcstoul(rest.substr(0, dash).c_str(), nullptr, 10));
}

bool ProcessLives(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return ::GetLastError() != ERROR_INVALID_PARAMETER; // a process this one may not see
    DWORD code = 0;
    const bool lives = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    ::CloseHandle(process);
    return lives;
}

// The identity of the file or link (not followed) at a path; false when there is none.
bool IdentifyPath(const std::wstring& path, FileId& id, std::int64_t since) {
    HANDLE h = ::CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool known = IdOf(h, id, nullptr, since);
    ::CloseHandle(h);
    return known;
}

// A path from its root (C:\..., \\server\share\..., or \... on the current drive) in the
// extended form, \\?\C:\... or \\?\UNC\server\share\..., which the system takes past MAX_PATH
// (260 characters) without its long-path setting. That form is taken as it is, so the path is
// made whole first (GetFullPathNameW: "/" as "\", "." and ".." resolved). Relative paths and
// the device forms (\\?\, \\.\) are left as given.
std::wstring Extended(const std::filesystem::path& path) {
    const std::wstring& given = path.native();
    if (!path.has_root_directory() || given.starts_with(L"\\\\?\\") ||
        given.starts_with(L"\\\\.\\") || given.starts_with(L"//?/") || given.starts_with(L"//./"))
        return given;
    std::wstring full(given.size() + MAX_PATH, L'\0');
    DWORD n = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                 nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = ::GetFullPathNameW(given.c_str(), n, full.data(), nullptr);
    }
    if (n == 0 || n >= full.size())
        return given;
    full.resize(n);
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\')
        return L"\\\\?\\" + full;
    return given;
}

std::wstring FromAnsi(const std::string& bytes) {
    if (bytes.empty())
        return {};
    const int n =
        ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    return wide;
}

// The temporary file of the entry in progress, for RemovePartialFile.
std::atomic<bool> partialSet{false};
wchar_t partialPath[32768];

void RegisterPartialFile(const std::wstring& path) {
    partialSet.store(false);
    const std::size_t n = std::min(path.size(), std::size(partialPath) - 1);
    std::wmemcpy(partialPath, path.c_str(), n);
    partialPath[n] = L'\0';
    partialSet.store(true);
}

// Marks a file to be removed when its last handle closes, or clears the mark.
bool SetDeleteOnClose(HANDLE h, bool remove) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

bool WriteAll(HANDLE h, const char* data, std::size_t n, std::error_code& ec) {
    while (n > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(h, data, want, &put, nullptr)) {
            ec = LastError();
            return false;
        }
        if (put == 0) {
            ec = std::make_error_code(std::errc::io_error);
            return false;
        }
        data += put;
        n -= put;
    }
    return true;
}

} // namespace

void ForgetPartialFile() noexcept {
    partialSet.store(false);
}

std::string SystemMessage(const std::error_code& ec) {
    if (ec.category() != std::system_category())
        return ec.message();
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(ec.value()), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0 || !text)
        return "error " + std::to_string(ec.value());
    std::wstring wide(text, n);
    ::LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.' ||
                             wide.back() == L' '))
        wide.pop_back();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                          nullptr, nullptr);
    return utf8;
}

// Handles have no limit worth the name here; this keeps the memory they take bounded.
std::size_t OpenFilesAllowed() {
    return 65536;
}

// --- InputFile

std::unique_ptr<InputFile> InputFile::Open(const std::filesystem::path& given, OpenError& error) {
    error = {OpenError::Kind::None, OpenError::Subject::Archive, {}};
    const std::wstring path = Extended(given);
    const auto fail = [&](OpenError::Kind kind, std::error_code ec) {
        error.What = kind;
        error.Error = ec;
        return nullptr;
    };
    if (path.empty())
        return fail(OpenError::Kind::NotFound,
                    std::make_error_code(std::errc::no_such_file_or_directory));
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        return fail(KindOf(code), {static_cast<int>(code), std::system_category()});
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return fail(OpenError::Kind::IsFolder, std::make_error_code(std::errc::is_a_directory));
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        return fail(KindOf(code), {static_cast<int>(code), std::system_category()});
    }
    std::unique_ptr<InputFile> file(new InputFile);
    file->handle_ = h;
    if (::GetFileType(h) != FILE_TYPE_DISK)
        return fail(OpenError::Kind::NotRegularFile,
                    std::make_error_code(std::errc::invalid_argument));
    if (!IdOf(h, file->id_, &file->state_))
        return fail(OpenError::Kind::Unreadable, LastError());
    return file;
}

bool OneFileBySpelling(const InputFile&, const InputFile&) {
    return false; // a file's identity here is the file's, whichever spelling opened it
}

InputFile::~InputFile() {
    if (handle_)
        ::CloseHandle(handle_);
}

std::size_t InputFile::ReadAt(char* buffer, std::size_t n, std::uint64_t pos, std::error_code& ec,
                              bool oneRead) const {
    std::size_t done = 0;
    while (done < n) {
        OVERLAPPED at{};
        const std::uint64_t from = pos + done;
        at.Offset = static_cast<DWORD>(from & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
        if (!::ReadFile(handle_, buffer + done, want, &got, &at)) {
            if (::GetLastError() != ERROR_HANDLE_EOF)
                ec = LastError();
            break;
        }
        if (got == 0)
            break;
        done += got;
        if (oneRead)
            break;
    }
    return done;
}

FileState InputFile::StateNow(std::error_code& ec) const {
    FileId id;
    FileState now;
    if (!IdOf(handle_, id, &now))
        ec = LastError();
    return now;
}

// --- OutputFolder

OutputFolder::~OutputFolder() {
    if (handle_)
        ::CloseHandle(handle_);
}

OpenError OutputFolder::Open(const std::filesystem::path& given) {
    OpenError error{OpenError::Kind::None, OpenError::Subject::OutputFolder, {}};
    const std::wstring path = Extended(given);
    if (path.empty()) {
        error.What = OpenError::Kind::NotFound;
        return error;
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        error.What = KindOf(code);
        error.Error = {static_cast<int>(code), std::system_category()};
        return error;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error.What = OpenError::Kind::NotAFolder;
        return error;
    }
    // Held open without delete sharing, the folder cannot be renamed or replaced while the
    // entries are written into it.
    HANDLE h = ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        error.What = KindOf(code);
        error.Error = {static_cast<int>(code), std::system_category()};
        return error;
    }
    handle_ = h;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    // Three seconds earlier (in 100 ns ticks): FAT keeps write times to two seconds only.
    openedAt_ = Ticks(now) - 3 * 10000000LL;
    path_ = path;
    if (!path_.empty() && path_.back() != L'\\' && path_.back() != L'/')
        path_ += L'\\';
    return error;
}

void OutputFolder::Create(NewFile& file, std::error_code& ec) const {
    file.Discard();
    file.folder_ = path_;
    file.folderOpenedAt_ = openedAt_;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring temp = TemporaryPath(path_);
        RegisterPartialFile(temp);
        // Shared for deletion, so that RemovePartialFile can remove it while it is open.
        HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            // Until it is named, the system removes the file when its handle closes, also when
            // the program is ended from outside, so that an interruption leaves nothing behind.
            SetDeleteOnClose(h, true);
            file.handle_ = h;
            file.temp_ = std::move(temp);
            return;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    ec = LastError();
    ForgetPartialFile();
}

bool OutputFolder::Identify(const std::string& name, FileId& id) const {
    return IdentifyPath(path_ + FromAnsi(name), id, openedAt_);
}

// A file's identity here is the file's, whichever spelling of its name finds it.
bool OutputFolder::FoldsCase() const {
    return false;
}

bool OutputFolder::NamesFile(const std::string&, const InputFile&) const {
    return false;
}

void OutputFolder::RemoveLeftovers() const {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((path_ + L".quillmarrow-*.part").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const DWORD pid = TemporaryNamePid(found.cFileName);
        if (pid == 0 || pid == ::GetCurrentProcessId() || ProcessLives(pid))
            continue;
        // Opened so only when no process has it open to write (a run writing it has): then
        // removed through this handle, which is the file that was looked at.
        HANDLE h = ::CreateFileW((path_ + found.cFileName).c_str(), DELETE, FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        SetDeleteOnClose(h, true);
        ::CloseHandle(h);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

bool OutputFolder::CreateNamed(NewFile&, const std::string&, std::error_code&) const {
    return false; // every file goes through a temporary name here
}

namespace {

// Whether the file system of the open file or folder `handle` keeps named streams. Asked of
// the handle, which reads the volume's attributes only (its label would need the device).
bool KeepsStreams(HANDLE handle) {
    DWORD flags = 0;
    return ::GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, &flags,
                                           nullptr, 0) &&
           (flags & FILE_NAMED_STREAMS) != 0;
}

} // namespace

bool KeepsZones(const std::filesystem::path& path) {
    if (!ZoneSuffix().starts_with(':'))
        return true;
    HANDLE h = ::CreateFileW(Extended(path).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool keeps = KeepsStreams(h);
    ::CloseHandle(h);
    return keeps;
}

bool OutputFolder::MarkZone(const std::string& name, std::string_view zone) const {
    if (keepsZones_ < 0)
        keepsZones_ = !ZoneSuffix().starts_with(':') || KeepsStreams(handle_) ? 1 : 0;
    if (keepsZones_ == 0)
        return false;
    const std::wstring stream = path_ + FromAnsi(name + ZoneSuffix());
    HANDLE h = ::CreateFileW(stream.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = ::WriteFile(h, zone.data(), static_cast<DWORD>(zone.size()), &written,
                                   nullptr) &&
                       written == zone.size();
    ::CloseHandle(h);
    return whole;
}

// --- NewFile

void NewFile::Write(const char* data, std::size_t n, std::error_code& ec) {
    WriteAll(handle_, data, n, ec);
}

bool NewFile::CopyInKernel(const InputFile&, std::uint64_t, std::uint64_t,
                           const std::function<bool(std::uint64_t)>&, Copied&) {
    return false; // every copy goes through the buffer
}

bool NewFile::CloneOf(const InputFile&) {
    return false; // copied through the buffer
}

void NewFile::Seek(std::uint64_t pos, std::error_code& ec) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(pos);
    if (!::SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN))
        ec = LastError();
}

void NewFile::Sync(std::error_code& ec) {
    if (!::FlushFileBuffers(handle_))
        ec = LastError();
    else
        Observed(Step::Synced);
}

NewFile::Naming NewFile::Name(const std::string& name, bool keepExisting,
                              const std::function<bool(const FileId&)>& mayReplace,
                              FileId& replaced, std::error_code& ec) {
    return NameAs(FromAnsi(name), keepExisting, mayReplace, replaced, ec);
}

bool NewFile::CloseToName(std::error_code& ec) {
    std::error_code failed;
    if (!SetDeleteOnClose(handle_, false))
        failed = LastError(); // closing it then removes it
    if (!::CloseHandle(handle_) && !failed)
        failed = LastError();
    handle_ = nullptr;
    if (failed) {
        ec = failed;
        Discard();
    }
    return !failed;
}

NewFile::Naming NewFile::TakePlaceOf(const std::filesystem::path& fileName, const FileId& old,
                                     const FileState& state, std::error_code& ec) {
    FileId own;
    if (!IdOf(handle_, own)) {
        ec = LastError();
        Discard();
        return Naming::Refused;
    }
    if (!CloseToName(ec))
        return Naming::Refused;
    const std::wstring target = folder_ + fileName.native(), back = TemporaryPath(folder_);
    const auto asRead = [&](const std::wstring& path, FileId& id) {
        FileState now;
        return StateAt(path, id, now) && id == old && !now.DataDiffers(state);
    };
    // The system replaces a file by renaming it aside (to `back`) and this one into its place:
    // what comes back is then looked at, and when it is not the file read, the two are swapped
    // back.
    Observed(Step::Naming);
    if (!::ReplaceFileW(target.c_str(), temp_.c_str(), back.c_str(),
                        REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                        nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) // aside already: it gets its name back
            ::MoveFileExW(back.c_str(), target.c_str(), 0);
        Discard();
        if (error == ERROR_FILE_NOT_FOUND)
            return Naming::Gone;
        ec = {static_cast<int>(error), std::system_category()};
        return Naming::Refused;
    }
    ForgetPartialFile();
    FileId came;
    if (asRead(back, came)) {
        ::DeleteFileW(back.c_str());
        temp_.clear();
        Observed(Step::Named);
        return Naming::Replaced;
    }
    // The new archive goes back to its hidden name, and is removed only when it is the file
    // found there.
    FileId ours;
    FileState unused;
    if (::ReplaceFileW(target.c_str(), back.c_str(), temp_.c_str(),
                       REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                       nullptr) &&
        StateAt(temp_, ours, unused) && ours == own)
        ::DeleteFileW(temp_.c_str());
    temp_.clear();
    return came == old ? Naming::Changed : Naming::Refused;
}

NewFile::Naming NewFile::NameAs(const std::filesystem::path& fileName, bool keepExisting,
                                const std::function<bool(const FileId&)>& mayReplace,
                                FileId& replaced, std::error_code& ec) {
    if (!CloseToName(ec))
        return Naming::Refused;
    Observed(Step::Naming);
    const std::wstring target = folder_ + fileName.native();
    if (keepExisting) {
        // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
        if (::MoveFileExW(temp_.c_str(), target.c_str(), 0)) {
            temp_.clear();
            ForgetPartialFile();
            Observed(Step::Named);
            return Naming::Named;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            ec = {static_cast<int>(error), std::system_category()};
        Discard();
        return ec ? Naming::Refused : Naming::Kept;
    }
    Naming naming = Naming::Named;
    HANDLE old = ::CreateFileW(
        target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (old != INVALID_HANDLE_VALUE) {
        const bool known = IdOf(old, replaced);
        ::CloseHandle(old);
        if (known && !mayReplace(replaced)) {
            Discard();
            return Naming::Refused;
        }
        naming = Naming::Replaced;
    }
    if (!::MoveFileExW(temp_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ec = LastError();
        Discard();
        return Naming::Refused;
    }
    temp_.clear();
    ForgetPartialFile();
    Observed(Step::Named);
    return naming;
}

void NewFile::Discard() noexcept {
    if (handle_)
        ::CloseHandle(handle_);
    handle_ = nullptr;
    if (!temp_.empty()) {
        ::DeleteFileW(temp_.c_str());
        temp_.clear();
        ForgetPartialFile();
    }
}

} // namespace archive::io

void archive::RemovePartialFile() noexcept {
    if (archive::io::partialSet.exchange(false))
        ::DeleteFileW(archive::io::partialPath);
}

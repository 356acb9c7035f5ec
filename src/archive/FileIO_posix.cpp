// The file layer on POSIX systems: positioned reads, a folder handle that every file is made
// relative to, and on Linux files without a name (O_TMPFILE) that get one only when whole.

#include "FileIO.h"

#include "archive/Extract.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#if defined(__linux__)
#include <linux/fs.h> // FICLONE
#include <sys/ioctl.h>
#endif
#include <pthread.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace archive::io {

namespace {

// The most that one call of the kernel's copy moves, so that a stop is seen in between.
constexpr std::size_t KernelChunk = 4u << 20;

std::error_code LastError() {
    return {errno, std::generic_category()};
}

FileId IdOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::int64_t Nanoseconds(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileState StateOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_size), Nanoseconds(st.st_mtim),
            Nanoseconds(st.st_ctim)};
}

bool IdentifyAt(int folder, const std::string& name, FileId& id, std::int64_t since) {
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    id = IdOf(st);
    id.Recent = Nanoseconds(st.st_ctim) >= since;
    return true;
}

OpenError Failure(OpenError::Subject of, OpenError::Kind kind, int code) {
    return {kind, of, {code, std::generic_category()}};
}

OpenError::Kind KindOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return OpenError::Kind::NotFound;
    case EACCES:
    case EPERM:
        return OpenError::Kind::PermissionDenied;
    default:
        return OpenError::Kind::Unreadable;
    }
}

// The file of the entry in progress, for RemovePartialFile: a file this run made and has not
// yet named or removed. A thread changes it only through PartialFileChange; a signal handler
// removing it holds Removing meanwhile.
enum PartialState : int { NoFile, Changing, Registered, Removing };
std::atomic<int> partialState{NoFile};
int partialFolder = -1;
char partialName[64];

void Pause() {
    const timespec millisecond{0, 1000000};
    ::nanosleep(&millisecond, nullptr);
}

// Making or removing the file of the entry and registering or forgetting it, as one step for
// a signal handler: this thread holds SIGINT, SIGTERM and SIGHUP back meanwhile, and a handler
// on another thread waits until the step is done. So a handler never removes a name before it
// is this run's file (or after it no longer is), and never misses a file that was made.
class PartialFileChange {
public:
    PartialFileChange() {
        sigset_t signals;
        ::sigemptyset(&signals);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            ::sigaddset(&signals, signal);
        ::pthread_sigmask(SIG_BLOCK, &signals, &saved_);
        int state = partialState.load();
        while (state == Removing || !partialState.compare_exchange_weak(state, Changing)) {
            if (state == Removing) {
                Pause();
                state = partialState.load();
            }
        }
        registered_ = state == Registered;
    }
    PartialFileChange(const PartialFileChange&) = delete;
    PartialFileChange& operator=(const PartialFileChange&) = delete;
    ~PartialFileChange() {
        partialState.store(registered_ ? Registered : NoFile);
        ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }

    void Register(int folder, const std::string& name) {
        partialFolder = folder;
        std::memcpy(partialName, name.c_str(), std::min(name.size() + 1, sizeof partialName));
        partialName[sizeof partialName - 1] = '\0';
        registered_ = true;
    }
    void Forget() { registered_ = false; }

private:
    sigset_t saved_;
    bool registered_ = false;
};

// Gives a registered temporary file its final name, after which it is no longer removed.
bool RenameRegistered(int folder, const std::string& temp, const std::string& name) {
    PartialFileChange change;
    if (::renameat(folder, temp.c_str(), folder, name.c_str()) != 0)
        return false;
    change.Forget();
    return true;
}

// The same, but only when no file has the name: false with errno EEXIST when one has.
bool RenameRegisteredNoReplace(int folder, const std::string& temp, const std::string& name) {
    PartialFileChange change;
#ifdef RENAME_NOREPLACE
    if (::renameat2(folder, temp.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0) {
        change.Forget();
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // Where the system cannot rename so, a second link does the same in one step.
    if (::linkat(folder, temp.c_str(), folder, name.c_str(), 0) == 0) {
        ::unlinkat(folder, temp.c_str(), 0);
        change.Forget();
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
    // A file system with neither (FAT through FUSE, say): look, then rename. A file made under
    // the name in between would be replaced; such a system offers nothing closer.
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        errno = EEXIST;
    if (errno != ENOENT || ::renameat(folder, temp.c_str(), folder, name.c_str()) != 0)
        return false;
    change.Forget();
    return true;
}

std::string Upper(std::string name) {
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return name;
}

// The path of an open file or folder, or "" where the system does not tell.
std::string PathOf(int fd) {
#ifdef __linux__
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), path, sizeof path);
    return n > 0 && static_cast<std::size_t>(n) < sizeof path ? std::string(path, n) : "";
#elif defined(F_GETPATH)
    char path[PATH_MAX];
    return ::fcntl(fd, F_GETPATH, path) == 0 ? path : "";
#else
    return {};
#endif
}

// Hidden files get names that say whose they are: PREFIX, the process ID, "-", a counter (and
// a suffix).
constexpr const char* PartPrefix = ".quillmarrow-";
constexpr const char* PartSuffix = ".part";
constexpr const char* LinkPrefix = ".qm";

std::string TemporaryName(const char* prefix) {
    static std::atomic<unsigned> counter{0};
    return prefix + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// The process ID in a name that TemporaryName made, or 0 for any other name.
pid_t TemporaryNamePid(std::string_view name) {
    for (const auto& [prefix, suffix] :
         {std::pair{std::string_view(PartPrefix), std::string_view(PartSuffix)},
          std::pair{std::string_view(LinkPrefix), std::string_view()}}) {
        if (!name.starts_with(prefix) || !name.ends_with(suffix))
            continue;
        const std::string_view rest =
            name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        const char* const end = rest.data() + rest.size();
        pid_t pid = 0;
        unsigned long counter = 0;
        const auto a = std::from_chars(rest.data(), end, pid);
        if (a.ec != std::errc() || a.ptr == rest.data() || a.ptr == end || *a.ptr != '-' ||
            pid <= 0)
            return 0;
        const auto b = std::from_chars(a.ptr + 1, end, counter);
        return b.ec == std::errc() && b.ptr == end && b.ptr != a.ptr + 1 ? pid : 0;
    }
    return 0;
}

// Links a file without a name (O_TMPFILE) under a name in the folder. Linking by the descriptor
// itself needs a privilege; /proc/self/fd does the same for anyone.
bool LinkUnnamed(int fd, int folder, const char* as) {
#ifndef AT_EMPTY_PATH
    (void)fd, (void)folder, (void)as;
    errno = ENOSYS; // every file has a name here
    return false;
#else
    static std::atomic<bool> emptyPathWorks{true};
    if (emptyPathWorks) {
        if (::linkat(fd, "", folder, as, AT_EMPTY_PATH) == 0)
            return true;
        if (errno != ENOENT && errno != EPERM)
            return false;
        emptyPathWorks = false;
    }
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, proc.c_str(), folder, as, AT_SYMLINK_FOLLOW) == 0;
#endif
}

bool WriteAll(int fd, const char* data, std::size_t n, std::error_code& ec) {
    while (n > 0) {
        const ssize_t put = ::write(fd, data, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            ec = put < 0 ? LastError() : std::make_error_code(std::errc::io_error);
            return false;
        }
        data += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace

void ForgetPartialFile() noexcept {
    // The file is whole and named: a handler may still remove it until here, no harm done.
    int state = Registered;
    partialState.compare_exchange_strong(state, NoFile);
}

std::string SystemMessage(const std::error_code& ec) {
    return ec.message();
}

std::size_t OpenFilesAllowed() {
    // A margin for the descriptors open already and those a run opens besides its inputs.
    constexpr rlim_t Most = 65536, Margin = 64;
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < Most + Margin && limit.rlim_max > limit.rlim_cur) {
        limit.rlim_cur = std::min(limit.rlim_max, Most + Margin);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur > Margin
               ? static_cast<std::size_t>(std::min(limit.rlim_cur - Margin, Most))
               : 0;
}

// --- InputFile

std::unique_ptr<InputFile> InputFile::Open(const std::filesystem::path& path, OpenError& error) {
    error = {};
    const auto fail = [&](OpenError::Kind kind, int code) {
        error = Failure(OpenError::Subject::Archive, kind, code);
        return nullptr;
    };
    if (path.empty())
        return fail(OpenError::Kind::NotFound, ENOENT);
    // Opened without a look first, which costs a walk of the path per file: O_NONBLOCK keeps
    // a FIFO from waiting for a writer, O_NOCTTY a terminal from becoming ours, and whatever
    // was opened is looked at through the descriptor.
    struct stat st {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        // What the name is says more than why it would not open (a socket, a locked folder).
        const int code = errno;
        if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
            return fail(KindOf(code), code);
    } else if (::fstat(fd, &st) != 0) {
        const int code = errno;
        ::close(fd);
        return fail(OpenError::Kind::Unreadable, code);
    }
    if (!S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return S_ISDIR(st.st_mode) ? fail(OpenError::Kind::IsFolder, EISDIR)
                                   : fail(OpenError::Kind::NotRegularFile, EINVAL);
    }
    std::unique_ptr<InputFile> file(new InputFile);
    file->fd_ = fd;
    file->state_ = StateOf(st);
    file->id_ = IdOf(st);
    return file;
}

InputFile::~InputFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::size_t InputFile::ReadAt(char* buffer, std::size_t n, std::uint64_t pos, std::error_code& ec,
                              bool oneRead) const {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, buffer + done, n - done, static_cast<off_t>(pos + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ec = LastError();
            break;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
        if (oneRead)
            break;
    }
    return done;
}

FileState InputFile::StateNow(std::error_code& ec) const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        ec = LastError();
    return StateOf(st);
}

bool OneFileBySpelling(const InputFile& a, const InputFile& b) {
    if (a.Id().Device != b.Id().Device)
        return false;
    const std::string at = PathOf(a.fd_), other = PathOf(b.fd_);
    const std::size_t slash = at.rfind('/');
    if (at.empty() || at == other || slash == std::string::npos || FoldCase(at) != FoldCase(other))
        return false;
    // A folder that keeps both spellings as names of their own holds two files.
    const std::string folder = at.substr(0, std::max<std::size_t>(slash, 1));
    const std::string name = FoldCase(at.substr(slash + 1));
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    int spellings = 0;
    while (const dirent* e = ::readdir(dir))
        spellings += FoldCase(std::string(e->d_name)) == name;
    ::closedir(dir);
    return spellings == 1;
}

// --- OutputFolder

OutputFolder::~OutputFolder() {
    if (fd_ >= 0)
        ::close(fd_);
}

OpenError OutputFolder::Open(const std::filesystem::path& path) {
    const auto fail = [](OpenError::Kind kind, int code) {
        return Failure(OpenError::Subject::OutputFolder, kind, code);
    };
    if (path.empty())
        return fail(OpenError::Kind::NotFound, ENOENT);
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        const int code = errno;
        struct stat st {};
        if (code == ENOTDIR && ::stat(path.c_str(), &st) == 0)
            return fail(OpenError::Kind::NotAFolder, code);
        return fail(KindOf(code), code);
    }
    if (::faccessat(fd_, ".", W_OK | X_OK, AT_EACCESS) != 0 && errno == EACCES)
        return fail(OpenError::Kind::PermissionDenied, EACCES);
    // File times come from a coarse clock that may lag behind this one, and some file systems
    // (FAT) keep them in 2-second steps.
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    openedAt_ = Nanoseconds(now) - 3000000000;
    return {OpenError::Kind::None, OpenError::Subject::OutputFolder, {}};
}

void OutputFolder::Create(NewFile& file, std::error_code& ec) const {
    file.Discard();
    file.dir_ = fd_;
    file.folderOpenedAt_ = openedAt_;
#ifdef O_TMPFILE
    // Naming an unnamed file goes through /proc/self/fd unless the process may link by
    // descriptor; without /proc, use temporary files from the start.
    static const bool procWorks = ::access("/proc/self/fd", X_OK) == 0;
    if (procWorks && unnamedWorks_) {
        file.fd_ = ::openat(fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (file.fd_ >= 0)
            return;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
            ec = LastError();
            return;
        }
        // This folder's file system (or the kernel) has no unnamed files: stop asking.
        unnamedWorks_ = false;
    }
#endif
    // Registered only once made: a file that had the name already is not this run's.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(".quillmarrow-") + ".part";
        PartialFileChange change;
        file.fd_ = ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd_ >= 0) {
            change.Register(fd_, name);
            ::flock(file.fd_,
                    LOCK_EX | LOCK_NB); // this run's while it is open: see RemoveLeftovers
            if (foldsCase_ < 0) { // only a folder that folds case knows the name in upper case
                struct stat st {};
                foldsCase_ = ::fstatat(fd_, Upper(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
            }
            file.temp_ = std::move(name);
            return;
        }
        if (errno != EEXIST || attempt == 99) {
            ec = LastError();
            return;
        }
    }
}

bool OutputFolder::Identify(const std::string& name, FileId& id) const {
    return IdentifyAt(fd_, name, id, openedAt_);
}

bool OutputFolder::FoldsCase() const {
    return foldsCase_ > 0;
}

bool OutputFolder::NamesFile(const std::string& name, const InputFile& file) const {
    struct stat folder {};
    if (!FoldsCase() || ::fstat(fd_, &folder) != 0 || IdOf(folder).Device != file.Id().Device)
        return false;
    // Where the file and this folder are, as the system knows them.
    const std::string at = PathOf(file.fd_), here = PathOf(fd_);
    const std::size_t slash = at.rfind('/');
    return slash != std::string::npos && !here.empty() &&
           FoldCase(at.substr(0, std::max<std::size_t>(slash, 1))) == FoldCase(here) &&
           FoldCase(at.substr(slash + 1)) == FoldCase(name);
}

void OutputFolder::RemoveLeftovers() const {
    const int listed = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    while (const dirent* e = ::readdir(dir)) {
        const pid_t pid = TemporaryNamePid(e->d_name);
        // A process of that ID that lives (or that this one may not signal) may be the run.
        if (pid == 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        const int fd =
            ::openat(fd_, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Removed only while locked here, and only the file that was locked.
        struct stat locked {
        }, named{};
        if (::fstat(fd, &locked) == 0 && S_ISREG(locked.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(fd_, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            IdOf(named) == IdOf(locked))
            ::unlinkat(fd_, e->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

bool OutputFolder::CreateNamed(NewFile& file, const std::string& name, std::error_code& ec) const {
    file.Discard();
    // Registered only once made: the name may have been another file's until now.
    PartialFileChange change;
    const int fd =
        ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno != EEXIST)
            ec = LastError();
        return false;
    }
    change.Register(fd_, name);
    file.fd_ = fd;
    file.dir_ = fd_;
    file.folderOpenedAt_ = openedAt_;
    file.named_ = name;
    return true;
}

bool KeepsZones(const std::filesystem::path&) {
    return true; // only a test's suffix names a zone here
}

bool OutputFolder::MarkZone(const std::string& name, std::string_view zone) const {
    if (ZoneSuffix().empty())
        return false;
    const int fd = ::openat(fd_, (name + ZoneSuffix()).c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    std::error_code ec;
    WriteAll(fd, zone.data(), zone.size(), ec);
    return ::close(fd) == 0 && !ec;
}

// --- NewFile

void NewFile::Write(const char* data, std::size_t n, std::error_code& ec) {
    WriteAll(fd_, data, n, ec);
    if (!ec)
        Wrote(n);
}

void NewFile::Wrote(std::uint64_t n) {
    written_ += n;
#if defined(__linux__)
    // Each step is handed to the disk once written; the step before it is waited for, which
    // also keeps the unwritten data in memory to two steps. Errors are left to Sync.
    constexpr std::uint64_t Step = 8u << 20;
    while (syncAsWritten_ && written_ - sentToDisk_ >= Step) {
        ::sync_file_range(fd_, static_cast<off_t>(sentToDisk_), Step, SYNC_FILE_RANGE_WRITE);
        if (sentToDisk_ >= Step)
            ::sync_file_range(fd_, static_cast<off_t>(sentToDisk_ - Step), Step,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                  SYNC_FILE_RANGE_WAIT_AFTER);
        sentToDisk_ += Step;
    }
#endif
}

bool NewFile::CopyInKernel(const InputFile& in, std::uint64_t pos, std::uint64_t n,
                           const std::function<bool(std::uint64_t)>& more, Copied& copied) {
#if defined(__linux__)
    // Let the kernel move the bytes (no copy through user space; reflinks where the file
    // system shares extents), but only where the input's position and this file's end lie at
    // the same place in a page (an extracted entry's file starts at 0: the entry's data must be
    // page-aligned): otherwise the kernel copies page fragments and is slower than reading and
    // writing through the buffer (measured at about 1.5 times the time on ext4), and no file
    // system can share extents there anyway. When the kernel cannot copy, or fails, the copy
    // through the buffer goes on from there and tells whether reading or writing failed.
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const off_t end = ::lseek(fd_, 0, SEEK_CUR);
    if (end < 0 || (pos - static_cast<std::uint64_t>(end)) % page != 0)
        return false;
    while (copied.Bytes < n) {
        loff_t from = static_cast<loff_t>(pos + copied.Bytes);
        const ssize_t got = ::copy_file_range(
            in.fd_, &from, fd_, nullptr,
            static_cast<std::size_t>(std::min<std::uint64_t>(n - copied.Bytes, KernelChunk)), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true; // the input ended
        copied.Bytes += static_cast<std::uint64_t>(got);
        Wrote(static_cast<std::uint64_t>(got));
        if (!more(copied.Bytes))
            return true;
    }
    return true;
#else
    return false;
#endif
}

bool NewFile::CloneOf(const InputFile& in) {
#ifdef FICLONE
    return ::ioctl(fd_, FICLONE, in.fd_) == 0;
#else
    (void)in;
    return false;
#endif
}

void NewFile::Seek(std::uint64_t pos, std::error_code& ec) {
    syncAsWritten_ = false;
    if (::lseek(fd_, static_cast<off_t>(pos), SEEK_SET) < 0)
        ec = LastError();
}

void NewFile::Sync(std::error_code& ec) {
    if (::fsync(fd_) != 0)
        ec = LastError();
    else
        Observed(Step::Synced);
}

NewFile::Naming NewFile::NameAs(const std::filesystem::path& fileName, bool keepExisting,
                                const std::function<bool(const FileId&)>& mayReplace,
                                FileId& replaced, std::error_code& ec) {
    Observed(Step::Naming);
    const Naming naming = Name(fileName.native(), keepExisting, mayReplace, replaced, ec);
    if (naming == Naming::Named || naming == Naming::Replaced)
        Observed(Step::Named);
    return naming;
}

NewFile::Naming NewFile::Name(const std::string& name, bool keepExisting,
                              const std::function<bool(const FileId&)>& mayReplace,
                              FileId& replaced, std::error_code& ec) {
    const auto failed = [&](int code) {
        ec = {code, std::generic_category()};
        Discard();
        return Naming::Refused;
    };
    const auto existing = [&](FileId& id) { return IdentifyAt(dir_, name, id, folderOpenedAt_); };

    if (!named_.empty()) {
        // Created under its name: closing it is all that is left.
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            return failed(errno);
        named_.clear();
        ForgetPartialFile();
        return Naming::Named;
    }
    if (!temp_.empty()) {
        // A temporary file: close it, then rename it over the name.
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            return failed(errno);
        if (keepExisting) {
            if (!RenameRegisteredNoReplace(dir_, temp_, name)) {
                if (errno != EEXIST)
                    return failed(errno);
                Discard();
                return Naming::Kept;
            }
            temp_.clear();
            return Naming::Named;
        }
        Naming naming = Naming::Named;
        if (existing(replaced)) {
            if (!mayReplace(replaced)) {
                Discard();
                return Naming::Refused;
            }
            naming = Naming::Replaced;
        }
        if (!RenameRegistered(dir_, temp_, name))
            return failed(errno);
        temp_.clear();
        return naming;
    }

    // An unnamed file: link it under the name when the name is free.
    if (LinkUnnamed(fd_, dir_, name.c_str())) {
        Discard();
        return Naming::Named;
    }
    if (errno != EEXIST)
        return failed(errno);
    if (keepExisting) {
        Discard();
        return Naming::Kept;
    }
    if (existing(replaced) && !mayReplace(replaced)) {
        Discard();
        return Naming::Refused;
    }
    // The name is taken: link under a short temporary name, then rename over it, so the old
    // file keeps its bytes until the new one replaces it whole.
    if (!TakeTemporaryName() || !RenameRegistered(dir_, temp_, name))
        return failed(errno);
    temp_.clear();
    Discard();
    return Naming::Replaced;
}

bool NewFile::TakeTemporaryName() {
    // Locked before it has the name, so that the name is never this run's unlocked.
    ::flock(fd_, LOCK_EX | LOCK_NB);
    for (int attempt = 0;; ++attempt) {
        std::string temp = TemporaryName(LinkPrefix);
        PartialFileChange change;
        if (LinkUnnamed(fd_, dir_, temp.c_str())) {
            change.Register(dir_, temp);
            temp_ = std::move(temp);
            return true;
        }
        if (errno != EEXIST || attempt == 100)
            return false;
    }
}

NewFile::Naming NewFile::TakePlaceOf(const std::filesystem::path& fileName, const FileId& old,
                                     const FileState& state, std::error_code& ec) {
    const std::string& name = fileName.native();
    const auto failed = [&](int code) {
        ec = {code, std::generic_category()};
        Discard();
        return Naming::Refused;
    };
    struct stat own {};
    if (!named_.empty() || ::fstat(fd_, &own) != 0)
        return failed(named_.empty() ? errno : EINVAL);
    if (temp_.empty() && !TakeTemporaryName())
        return failed(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return failed(errno);
    // The file at `path` as the edit read `old`: the same file, its data unchanged (a rename
    // moves its change time, never its size or modification time).
    const auto asRead = [&](const char* path, struct stat& st) {
        return ::fstatat(dir_, path, &st, AT_SYMLINK_NOFOLLOW) == 0 && IdOf(st) == old &&
               !StateOf(st).DataDiffers(state);
    };
    // What has the temporary name is known at every step, to a signal handler too: it waits.
    PartialFileChange change;
    const auto done = [&](Naming naming, int error = 0) {
        if (!temp_.empty())
            ::unlinkat(dir_, temp_.c_str(), 0);
        temp_.clear();
        change.Forget();
        if (error)
            ec = {error, std::generic_category()};
        else if (naming == Naming::Replaced)
            Observed(Step::Named);
        return error ? Naming::Refused : naming;
    };
    Observed(Step::Naming);
    struct stat back {};
#ifdef RENAME_EXCHANGE
    if (::renameat2(dir_, temp_.c_str(), dir_, name.c_str(), RENAME_EXCHANGE) == 0) {
        // The temporary name now has what had the name: removed when it is the file read.
        if (asRead(temp_.c_str(), back))
            return done(Naming::Replaced);
        // Another file, or this one changed: it gets its name back, and the new archive is
        // removed only when it is the file that comes back.
        struct stat ours {};
        if (::renameat2(dir_, temp_.c_str(), dir_, name.c_str(), RENAME_EXCHANGE) != 0 ||
            ::fstatat(dir_, temp_.c_str(), &ours, AT_SYMLINK_NOFOLLOW) != 0 ||
            !(IdOf(ours) == IdOf(own)))
            temp_.clear();
        return done(IdOf(back) == old ? Naming::Changed : Naming::Refused);
    }
    if (errno == ENOENT)
        return done(Naming::Gone);
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return done(Naming::Refused, errno);
#endif
    // No exchange here (FAT through FUSE, say): look, then rename; a file moved over the name
    // in between would be replaced, as such a system offers nothing closer.
    if (::fstatat(dir_, name.c_str(), &back, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? done(Naming::Gone) : done(Naming::Refused, errno);
    if (!asRead(name.c_str(), back))
        return done(IdOf(back) == old ? Naming::Changed : Naming::Refused);
    if (::renameat(dir_, temp_.c_str(), dir_, name.c_str()) != 0)
        return done(Naming::Refused, errno);
    temp_.clear();
    return done(Naming::Replaced);
}

void NewFile::Discard() noexcept {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty() || !named_.empty()) {
        PartialFileChange change;
        ::unlinkat(dir_, (temp_.empty() ? named_ : temp_).c_str(), 0);
        change.Forget();
        temp_.clear();
        named_.clear();
    }
}

} // namespace archive::io

void archive::RemovePartialFile() noexcept {
    using namespace archive::io;
    // A change under way on another thread is waited for (a second at most: the process is
    // ending); one on this thread cannot be, as it holds the signals back.
    for (int waited = 0; waited < 1000; ++waited) {
        int state = Registered;
        if (partialState.compare_exchange_strong(state, Removing)) {
            ::unlinkat(partialFolder, partialName, 0);
            partialState.store(NoFile);
            return;
        }
        if (state != Changing && state != Removing)
            return;
        Pause();
    }
}

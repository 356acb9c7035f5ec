#include "FileIO.h"

#include <algorithm>

#if defined(__unix__) || defined(__APPLE__)
#define QUILLMARROW_POSIX_IO 1
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fstream>
#endif

namespace archive::io {

namespace {

constexpr std::size_t ChunkSize = 4u << 20;

#ifdef QUILLMARROW_POSIX_IO

std::error_code LastError() {
    return {errno, std::generic_category()};
}

class PosixInput final : public InputFile {
public:
    PosixInput(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~PosixInput() override { ::close(fd_); }
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(char* buffer, std::size_t n, std::uint64_t pos,
                       std::error_code& ec) override {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t got =
                ::pread(fd_, buffer + done, n - done, static_cast<off_t>(pos + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                ec = LastError();
                break;
            }
            if (got == 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }
    int Fd() const { return fd_; }

private:
    int fd_;
    std::uint64_t size_;
};

class PosixOutput final : public OutputFile {
public:
    explicit PosixOutput(int fd) : fd_(fd) {}
    ~PosixOutput() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    void Write(const char* data, std::size_t n, std::error_code& ec) override {
        while (n > 0) {
            const ssize_t put = ::write(fd_, data, n);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                ec = put < 0 ? LastError() : std::make_error_code(std::errc::io_error);
                return;
            }
            data += put;
            n -= static_cast<std::size_t>(put);
        }
    }
    void Close(std::error_code& ec) override {
        if (::close(fd_) != 0 && !ec)
            ec = LastError();
        fd_ = -1;
    }
    int Fd() const { return fd_; }

private:
    int fd_;
};

#else

class StreamInput final : public InputFile {
public:
    StreamInput(std::ifstream in, std::uint64_t size) : in_(std::move(in)), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(char* buffer, std::size_t n, std::uint64_t pos,
                       std::error_code& ec) override {
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(pos));
        in_.read(buffer, static_cast<std::streamsize>(n));
        if (in_.bad())
            ec = std::make_error_code(std::errc::io_error);
        return static_cast<std::size_t>(in_.gcount());
    }

private:
    std::ifstream in_;
    std::uint64_t size_;
};

class StreamOutput final : public OutputFile {
public:
    explicit StreamOutput(std::ofstream out) : out_(std::move(out)) {}
    void Write(const char* data, std::size_t n, std::error_code& ec) override {
        if (!out_.write(data, static_cast<std::streamsize>(n)))
            ec = std::make_error_code(std::errc::io_error);
    }
    void Close(std::error_code& ec) override {
        out_.close();
        if (out_.fail() && !ec)
            ec = std::make_error_code(std::errc::io_error);
    }

private:
    std::ofstream out_;
};

#endif

} // namespace

#ifdef QUILLMARROW_POSIX_IO

std::unique_ptr<InputFile> InputFile::Open(const std::filesystem::path& path, std::error_code& ec) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ec = LastError();
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ec = LastError();
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixInput>(fd, static_cast<std::uint64_t>(st.st_size));
}

std::unique_ptr<OutputFile> OutputFile::CreateNew(const std::filesystem::path& path,
                                                  std::error_code& ec) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        ec = LastError();
        return nullptr;
    }
    return std::make_unique<PosixOutput>(fd);
}

#else

std::unique_ptr<InputFile> InputFile::Open(const std::filesystem::path& path, std::error_code& ec) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        ec = std::make_error_code(std::errc::permission_denied);
        return nullptr;
    }
    const auto size = static_cast<std::uint64_t>(in.tellg());
    return std::make_unique<StreamInput>(std::move(in), size);
}

std::unique_ptr<OutputFile> OutputFile::CreateNew(const std::filesystem::path& path,
                                                  std::error_code& ec) {
    if (std::filesystem::exists(std::filesystem::symlink_status(path))) {
        ec = std::make_error_code(std::errc::file_exists);
        return nullptr;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        ec = std::make_error_code(std::errc::permission_denied);
        return nullptr;
    }
    return std::make_unique<StreamOutput>(std::move(out));
}

#endif

std::uint64_t CopyRange(InputFile& in, std::uint64_t pos, std::uint64_t n, OutputFile& out,
                        std::vector<char>& buffer, std::error_code& ec) {
    std::uint64_t done = 0;
#if defined(__linux__)
    // Let the kernel move the bytes (no copy through user space; reflinks where the file
    // system shares extents), but only from a page-aligned position: from any other the
    // kernel copies page fragments and is slower than reading and writing through the
    // buffer below (measured at about 1.5 times the time on ext4), and no file system can
    // share extents there anyway. Entry data in an archive is rarely page-aligned.
    auto* pin = dynamic_cast<PosixInput*>(&in);
    auto* pout = dynamic_cast<PosixOutput*>(&out);
    const bool aligned = pos % static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)) == 0;
    while (aligned && pin && pout && done < n) {
        loff_t from = static_cast<loff_t>(pos + done);
        const ssize_t got = ::copy_file_range(
            pin->Fd(), &from, pout->Fd(), nullptr,
            static_cast<std::size_t>(std::min<std::uint64_t>(n - done, 1u << 30)), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && done == 0 &&
            (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
            break; // not possible between these files: copy through the buffer below
        if (got < 0) {
            ec = LastError();
            return done;
        }
        if (got == 0)
            return done; // the input ended
        done += static_cast<std::uint64_t>(got);
    }
#endif
    while (done < n) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(n - done, ChunkSize));
        if (buffer.size() < want)
            buffer.resize(std::min<std::uint64_t>(n, ChunkSize));
        const std::size_t got = in.ReadAt(buffer.data(), want, pos + done, ec);
        if (ec)
            return done;
        out.Write(buffer.data(), got, ec);
        if (ec)
            return done;
        done += got;
        if (got < want)
            break; // the input ended
    }
    return done;
}

} // namespace archive::io

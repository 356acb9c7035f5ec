// The parts of the file layer that are the same on every system.

#include "FileIO.h"

#include <algorithm>
#include <atomic>

namespace archive::io {

namespace {

constexpr std::size_t ChunkSize = 4u << 20;

std::atomic<void (*)(Step)> stepObserver{nullptr};

} // namespace

namespace {
#ifdef _WIN32
std::string zoneSuffix = ":Zone.Identifier";
#else
std::string zoneSuffix;
#endif
} // namespace

void SetZoneSuffix(std::string suffix) {
    zoneSuffix = std::move(suffix);
}

const std::string& ZoneSuffix() {
    return zoneSuffix;
}

std::string ReadZone(const std::filesystem::path& path) {
    if (zoneSuffix.empty() || !KeepsZones(path))
        return {};
    std::filesystem::path stream = path;
    stream += zoneSuffix;
    OpenError error;
    const std::unique_ptr<InputFile> file = InputFile::Open(stream, error);
    if (!file)
        return {};
    std::string zone(static_cast<std::size_t>(std::min<std::uint64_t>(file->Size(), 1u << 16)),
                     '\0');
    std::error_code ec;
    zone.resize(file->ReadAt(zone.data(), zone.size(), 0, ec));
    return ec ? std::string() : zone;
}

void ObserveSteps(void (*observer)(Step)) {
    stepObserver = observer;
}

void Observed(Step step) {
    if (const auto observer = stepObserver.load(std::memory_order_relaxed))
        observer(step);
}

NewFile::Copied NewFile::CopyFrom(const InputFile& in, std::uint64_t pos, std::uint64_t n,
                                  std::vector<char>& buffer,
                                  const std::function<bool(std::uint64_t)>& more,
                                  std::error_code& ec) {
    Copied copied;
    if (CopyInKernel(in, pos, n, more, copied))
        return copied;
    // Through the buffer, one chunk at a time, so that a failure is known to be the read's
    // or the write's.
    while (copied.Bytes < n) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(n - copied.Bytes, ChunkSize));
        if (buffer.size() < want)
            buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(n, ChunkSize)));
        const std::size_t got = in.ReadAt(buffer.data(), want, pos + copied.Bytes, ec);
        if (ec) {
            copied.ReadFailed = true;
            break;
        }
        Write(buffer.data(), got, ec);
        if (ec)
            break;
        copied.Bytes += got;
        if (got < want || !more(copied.Bytes))
            break; // the input ended, or the caller asked to stop
    }
    return copied;
}

} // namespace archive::io

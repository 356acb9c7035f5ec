#pragma once

// Digests of entry data: SHA-256, SHA-1 and MD5 from the system's cryptography library
// (libcrypto, or CNG on Windows: Digest_openssl.cpp, Digest_cng.cpp), CRC-32 from zlib, behind
// one small class.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace archive {

enum class Algorithm { Sha256, Sha1, Md5, Crc32 };

// "sha256", "sha1", "md5", "crc32": the names the command line and JSON use.
std::string_view AlgorithmName(Algorithm algorithm);
std::optional<Algorithm> AlgorithmNamed(std::string_view name);
// The digest's length in bytes: 32, 20, 16, 4.
std::size_t DigestLength(Algorithm algorithm);
// The algorithm whose digests are written with that many hex digits (64, 40, 32, 8).
std::optional<Algorithm> AlgorithmOfHexDigits(std::size_t digits);

// Bytes in lower-case hex, and back (either case; nothing when `hex` is not hex digits in
// pairs).
std::string Hex(std::string_view bytes);
std::optional<std::string> FromHex(std::string_view hex);

namespace detail {
struct HashState; // the platform's hash context
struct HashStateDeleter {
    void operator()(HashState* state) const noexcept;
};
} // namespace detail

class Digest {
public:
    // Throws std::runtime_error when the system offers no such hash (it always should).
    explicit Digest(Algorithm algorithm);
    Digest(Digest&&) noexcept;
    Digest& operator=(Digest&&) noexcept;
    ~Digest();

    Algorithm Of() const { return algorithm_; }
    void Update(const char* data, std::size_t n);
    // The digest of the bytes given since the digest was made or last finished, as bytes (a
    // CRC-32 as its four bytes, most significant first, as it is written); then it starts over.
    std::string Finish();

private:
    Algorithm algorithm_;
    unsigned long crc_ = 0;
    std::unique_ptr<detail::HashState, detail::HashStateDeleter> hash_;
};

} // namespace archive

#include "archive/Digest.h"

#include "DigestHash.h"

#include <zlib.h>

#include <algorithm>

namespace archive {

namespace {

struct Named {
    Algorithm Which;
    std::string_view Name;
    std::size_t Length;
};
constexpr Named Algorithms[] = {
    {Algorithm::Sha256, "sha256", 32},
    {Algorithm::Sha1, "sha1", 20},
    {Algorithm::Md5, "md5", 16},
    {Algorithm::Crc32, "crc32", 4},
};

const Named& Of(Algorithm algorithm) {
    return *std::find_if(std::begin(Algorithms), std::end(Algorithms),
                         [&](const Named& a) { return a.Which == algorithm; });
}

int HexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

} // namespace

std::string_view AlgorithmName(Algorithm algorithm) {
    return Of(algorithm).Name;
}

std::optional<Algorithm> AlgorithmNamed(std::string_view name) {
    for (const Named& a : Algorithms)
        if (a.Name == name)
            return a.Which;
    return std::nullopt;
}

std::size_t DigestLength(Algorithm algorithm) {
    return Of(algorithm).Length;
}

std::optional<Algorithm> AlgorithmOfHexDigits(std::size_t digits) {
    for (const Named& a : Algorithms)
        if (a.Length * 2 == digits)
            return a.Which;
    return std::nullopt;
}

std::string Hex(std::string_view bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex += Digits[b >> 4];
        hex += Digits[b & 15];
    }
    return hex;
}

std::optional<std::string> FromHex(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

Digest::Digest(Algorithm algorithm) : algorithm_(algorithm) {
    if (algorithm == Algorithm::Crc32)
        crc_ = ::crc32_z(0, nullptr, 0);
    else
        hash_.reset(detail::NewHash(algorithm));
}

Digest::Digest(Digest&&) noexcept = default;
Digest& Digest::operator=(Digest&&) noexcept = default;
Digest::~Digest() = default;

void Digest::Update(const char* data, std::size_t n) {
    if (n == 0)
        return;
    if (hash_)
        detail::UpdateHash(hash_.get(), data, n);
    else
        crc_ = ::crc32_z(crc_, reinterpret_cast<const Bytef*>(data), n);
}

std::string Digest::Finish() {
    std::string digest(DigestLength(algorithm_), '\0');
    if (hash_) {
        detail::FinishHash(hash_.get(), reinterpret_cast<unsigned char*>(digest.data()));
        return digest;
    }
    for (int i = 0; i < 4; ++i)
        digest[std::size_t(i)] = static_cast<char>((crc_ >> (24 - 8 * i)) & 0xFF);
    crc_ = ::crc32_z(0, nullptr, 0);
    return digest;
}

} // namespace archive

// The hashes from Windows' own cryptography (CNG, bcrypt.dll).

#include "DigestHash.h"

#include <windows.h>

#include <bcrypt.h>

#include <stdexcept>

namespace archive::detail {

struct HashState {
    BCRYPT_ALG_HANDLE Provider = nullptr;
    BCRYPT_HASH_HANDLE Hash = nullptr;
    ULONG Length = 0;
    ~HashState() {
        if (Hash)
            ::BCryptDestroyHash(Hash);
        if (Provider)
            ::BCryptCloseAlgorithmProvider(Provider, 0);
    }
};

namespace {

const wchar_t* CngName(Algorithm algorithm) {
    switch (algorithm) {
    case Algorithm::Sha1:
        return BCRYPT_SHA1_ALGORITHM;
    case Algorithm::Md5:
        return BCRYPT_MD5_ALGORITHM;
    default:
        return BCRYPT_SHA256_ALGORITHM;
    }
}

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

// A fresh hash object; the system keeps its memory.
void Start(HashState& state) {
    if (!Succeeded(::BCryptCreateHash(state.Provider, &state.Hash, nullptr, 0, nullptr, 0, 0)))
        throw std::runtime_error("cannot start a digest");
}

} // namespace

void HashStateDeleter::operator()(HashState* state) const noexcept {
    delete state;
}

HashState* NewHash(Algorithm algorithm) {
    auto* state = new HashState;
    if (!Succeeded(
            ::BCryptOpenAlgorithmProvider(&state->Provider, CngName(algorithm), nullptr, 0))) {
        delete state;
        throw std::runtime_error("this system offers no such digest");
    }
    state->Length = static_cast<ULONG>(DigestLength(algorithm));
    try {
        Start(*state);
    } catch (...) {
        delete state;
        throw;
    }
    return state;
}

void UpdateHash(HashState* state, const char* data, std::size_t n) {
    // The length is a ULONG: large runs go in parts.
    constexpr std::size_t Part = 1u << 30;
    for (std::size_t done = 0; done < n;) {
        const std::size_t part = n - done < Part ? n - done : Part;
        ::BCryptHashData(state->Hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data + done)),
                         static_cast<ULONG>(part), 0);
        done += part;
    }
}

void FinishHash(HashState* state, unsigned char* out) {
    ::BCryptFinishHash(state->Hash, out, state->Length, 0);
    ::BCryptDestroyHash(state->Hash);
    state->Hash = nullptr;
    Start(*state);
}

} // namespace archive::detail

// The hashes from OpenSSL's libcrypto, which uses the processor's SHA instructions where it
// has them.

#include "DigestHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <new>
#include <stdexcept>

namespace archive::detail {

struct HashState {
    EVP_MD* Md = nullptr;
    EVP_MD_CTX* Context = nullptr;
    ~HashState() {
        EVP_MD_CTX_free(Context);
        EVP_MD_free(Md);
        // libcrypto keeps state for each thread that used it. The window hashes on pool
        // threads, which outlive libcrypto's own clean-up at exit, so that state is released
        // here, when the thread's hashing is done; the next hash makes it again.
        OPENSSL_thread_stop();
    }
};

namespace {

const char* OpenSslName(Algorithm algorithm) {
    switch (algorithm) {
    case Algorithm::Sha1:
        return "SHA1";
    case Algorithm::Md5:
        return "MD5";
    default:
        return "SHA256";
    }
}

void Start(HashState& state) {
    if (EVP_DigestInit_ex2(state.Context, state.Md, nullptr) != 1)
        throw std::runtime_error("cannot start a digest");
}

} // namespace

void HashStateDeleter::operator()(HashState* state) const noexcept {
    delete state;
}

HashState* NewHash(Algorithm algorithm) {
    auto* state = new HashState;
    // Fetched once, so that starting over for each entry costs no look-up.
    state->Md = EVP_MD_fetch(nullptr, OpenSslName(algorithm), nullptr);
    state->Context = EVP_MD_CTX_new();
    if (!state->Md || !state->Context) {
        delete state;
        throw std::runtime_error(std::string("this system offers no ") + OpenSslName(algorithm));
    }
    Start(*state);
    return state;
}

void UpdateHash(HashState* state, const char* data, std::size_t n) {
    EVP_DigestUpdate(state->Context, data, n);
}

void FinishHash(HashState* state, unsigned char* out) {
    EVP_DigestFinal_ex(state->Context, out, nullptr);
    Start(*state);
}

} // namespace archive::detail

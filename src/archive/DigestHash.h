#pragma once

// The platform's hashes behind Digest: one implementation file per system.

#include "archive/Digest.h"

namespace archive::detail {

// A context for SHA-256, SHA-1 or MD5 (never CRC-32); throws std::runtime_error when the system
// cannot make one.
HashState* NewHash(Algorithm algorithm);
void UpdateHash(HashState* state, const char* data, std::size_t n);
// Writes DigestLength(algorithm) bytes to `out` and starts the context over.
void FinishHash(HashState* state, unsigned char* out);

} // namespace archive::detail

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tmg {

// The MD5 message digest of RFC 1321 over bytes fed in any number of pieces. One object
// makes one digest: feed it with update, then read the 16 bytes with final or digest.
// Used for APOP logins; not a protection against deliberate collisions.
class Md5 {
public:
    Md5();

    // Feeds bytes. Returns true, or false (changing nothing) once the digest is finished.
    bool update(const unsigned char* data, std::size_t length);
    // Feeds the bytes of the text, embedded NUL bytes included.
    bool update(std::string_view bytes);

    // Finishes the digest on the first call and returns its 16 bytes, owned by this object
    // and valid while it lives. Later calls return the same bytes. Once finished, nothing of
    // the input is kept.
    const unsigned char* final();

    // final(), with the 16 bytes copied to out.
    void digest(unsigned char out[16]);

private:
    void transform(const unsigned char block[64]);

    std::uint32_t state[4];
    std::uint64_t bitCount;  // bits fed so far, modulo 2^64
    unsigned char buffer[64];
    unsigned char digestBytes[16];
    bool finished;
};

// The digest as 32 lower-case hexadecimal digits, high nibble of each byte first.
std::string md5ToHex(const unsigned char digest[16]);

}  // namespace tmg

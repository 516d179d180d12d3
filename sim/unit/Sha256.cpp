// SHA-256 through OpenSSL's EVP interface.
#include "sim/unit/Sha256.h"

#include <openssl/evp.h>

std::string sha256Hex(const std::uint8_t* bytes, std::size_t count)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes, count, digest, &length, EVP_sha256(), nullptr) != 1)
        return "";
    static const char* hex = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

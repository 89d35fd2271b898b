// A minisign public key file: a key it accepts has the sizes the
// verification relies on.
#include "VellMinisignPublicKey.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    VellMinisignPublicKey key;
    if (!VellMinisignPublicKey::parse(
            QByteArray(reinterpret_cast<const char *>(data), int(size)), key)) {
        return 0;
    }
    if (key.keyId().size() != VellMinisignPublicKey::KeyIdBytes
        || key.keyBytes().size() != VellMinisignPublicKey::KeyBytes
        || key.keyIdText().size() != 2 * VellMinisignPublicKey::KeyIdBytes) {
        std::abort();
    }
    return 0;
}

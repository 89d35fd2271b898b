// A minisign signature file: a signature it accepts has the sizes the
// verification relies on, and its trusted comment is read as the verifier
// reads it.
#include "Component.h"
#include "VellMinisignSignature.h"
#include "VellTrustedComment.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    VellMinisignSignature signature;
    if (!VellMinisignSignature::parse(
            QByteArray(reinterpret_cast<const char *>(data), int(size)), signature)) {
        return 0;
    }
    if (signature.keyId().size() != VellMinisignSignature::KeyIdBytes
        || signature.fileSignature().size() != VellMinisignSignature::SignatureBytes
        || signature.globalSignature().size() != VellMinisignSignature::SignatureBytes
        || signature.keyIdText().size() != 2 * VellMinisignSignature::KeyIdBytes) {
        std::abort();
    }
    static const Component component("vell", "core", "app", "2.0", "", "", "", "", "");
    VellTrustedComment(signature.trustedComment()).describes(component);
    return 0;
}

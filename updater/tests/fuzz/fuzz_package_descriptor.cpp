// A package's descriptor, read by the installer's own reader. Every file
// instruction needs a start tag of its own ("<file/>" at the least), so a
// descriptor cannot ask for more of them than its size allows.
#include "Component.h"
#include "VellPackageDescriptor.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Component component("vell", "core", "app", "1.0", "", "", "", "", "");
    const VellPackageDescriptor descriptor = VellPackageDescriptor::parse(
        QByteArray(reinterpret_cast<const char *>(data), int(size)), component);
    if (std::size_t(descriptor.files().size()) > size / 6) {
        std::abort();
    }
    return 0;
}

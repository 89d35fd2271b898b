// The components registry: whatever the reader accepts, the writer's text of
// it reads back as the same registry.
#include "ComponentsFileReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ComponentsFile registry;
    std::string error;
    if (!ComponentsFileReader::parse(
            std::string(reinterpret_cast<const char *>(data), size), registry, &error)) {
        return 0;
    }
    ComponentsFile again;
    if (!ComponentsFileReader::parse(registry.text(), again, &error)
        || again.text() != registry.text()) {
        std::abort();
    }
    return 0;
}

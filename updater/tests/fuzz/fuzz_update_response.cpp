// The update server's answer, read whole and in two chunks split where the
// input's first byte says. An answer that is complete as a whole is complete
// in chunks too, with the same updates. (The reverse need not hold: bytes
// after the end of the document spoil it as a whole, but in chunks the
// document is complete before they arrive, and they are never read.)
#include "UpdateResponseParser.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray answer(reinterpret_cast<const char *>(data), int(size));
    std::vector<Update> whole;
    const bool complete = UpdateResponseParser::parse(answer, whole);

    UpdateResponseParser chunked;
    const int split = size > 0 ? data[0] % int(size) : 0;
    chunked.addData(answer.left(split));
    chunked.addData(answer.mid(split));
    const bool chunkedComplete = chunked.finish() == UpdateResponseParser::Status::Complete;
    const std::vector<Update> parts = chunked.takeUpdates();

    if (!complete) {
        return 0;
    }
    if (!chunkedComplete || whole.size() != parts.size()
        || whole.size() > std::size_t(UpdateResponseParser::Bounds().maxRequests)) {
        std::abort();
    }
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (whole[i].getLink() != parts[i].getLink()
            || whole[i].getChangelog() != parts[i].getChangelog()) {
            std::abort();
        }
    }
    return 0;
}

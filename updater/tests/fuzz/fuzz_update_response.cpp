// The update server's answer, read whole, in two chunks split where the
// input's first byte says, and one byte at a time. The three readings give
// the same verdict, and a complete answer the same updates.
#include "UpdateResponseParser.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

struct Reading
{
    bool complete = false;
    std::vector<Update> updates;
};

Reading readInPieces(const QByteArray &answer, const std::vector<int> &cuts)
{
    UpdateResponseParser parser;
    int from = 0;
    for (const int cut : cuts) {
        parser.addData(answer.mid(from, cut - from));
        from = cut;
    }
    parser.addData(answer.mid(from));
    Reading reading;
    reading.complete = parser.finish() == UpdateResponseParser::Status::Complete;
    reading.updates = parser.takeUpdates();
    return reading;
}

bool sameUpdates(const std::vector<Update> &a, const std::vector<Update> &b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].getName() != b[i].getName() || a[i].getLink() != b[i].getLink()
            || a[i].getChangelog() != b[i].getChangelog()) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray answer(reinterpret_cast<const char *>(data), int(size));
    Reading whole;
    whole.complete = UpdateResponseParser::parse(answer, whole.updates);
    if (whole.updates.size() > std::size_t(UpdateResponseParser::Bounds().maxRequests)) {
        std::abort();
    }

    std::vector<int> everyByte;
    for (int cut = 1; cut < answer.size(); ++cut) {
        everyByte.push_back(cut);
    }
    const int split = size > 0 ? data[0] % int(size) : 0;
    for (const Reading &pieces : {readInPieces(answer, {split}), readInPieces(answer, everyByte)}) {
        if (pieces.complete != whole.complete || !sameUpdates(pieces.updates, whole.updates)) {
            std::abort();
        }
    }
    return 0;
}

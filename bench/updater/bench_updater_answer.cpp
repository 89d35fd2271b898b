// Answer parser benchmark: hostile and large answers of the update server,
// fed to UpdateResponseParser in 4 KiB chunks as a socket would deliver
// them. Each case runs twice in a child process of its own, once only
// building the answer and once parsing it too, so that the parser's peak
// memory shows beside the answer's own; prints the outcome, the time and both
// peaks.
//
//   bench-updater-answer

#include "TestAnswers.h"
#include "UpdateResponseParser.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int ChunkBytes = 4096;
constexpr int FourMiB = 4 * 1024 * 1024;

struct Case
{
    const char *name;
    std::function<QByteArray()> answer;
    qint64 maxBytes;
};

void runCase(const Case &c, bool parse)
{
    const QByteArray answer = c.answer();
    if (!parse) {
        return;
    }
    UpdateResponseParser::Bounds bounds;
    bounds.maxBytes = c.maxBytes;
    QElapsedTimer timer;
    timer.start();
    UpdateResponseParser parser(bounds);
    UpdateResponseParser::Status status = UpdateResponseParser::Status::Incomplete;
    for (int offset = 0;
         offset < answer.size() && status == UpdateResponseParser::Status::Incomplete;
         offset += ChunkBytes) {
        status = parser.addData(answer.mid(offset, ChunkBytes));
    }
    status = parser.finish();
    const qint64 ms = timer.elapsed();
    const std::size_t updates = parser.takeUpdates().size();
    const char *outcome = status == UpdateResponseParser::Status::Complete
        ? "complete"
        : (status == UpdateResponseParser::Status::Failed ? "refused" : "incomplete");
    std::printf("%-42s %6.2f MiB  %-8s %5zu updates %6lld ms", c.name, answer.size() / 1048576.0,
        outcome, updates, static_cast<long long>(ms));
    if (status != UpdateResponseParser::Status::Complete) {
        std::printf("  (%s)", qPrintable(parser.errorString()));
    }
    std::printf("\n");
    std::fflush(stdout);
}

/** The peak memory of a child process that runs the case, in MiB; -1 after a crash. */
double peakMiB(const Case &c, bool parse)
{
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        runCase(c, parse);
        ::_exit(0);
    }
    int status = 0;
    struct rusage usage;
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)
        || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main()
{
    using namespace TestAnswers;
    const qint64 unbounded = qint64(1) << 40;
    const std::vector<Case> cases = {
        {"nothing (the process itself)", [] { return QByteArray(); }, FourMiB},
        {"100,000 nested elements", [] { return nestedElements(100000); }, FourMiB},
        {"entity declarations (billion laughs)", entityExpansion, FourMiB},
        {"external entity", externalEntity, FourMiB},
        {"1,000,000 request elements", [] { return manyRequests(1000000); }, FourMiB},
        {"1,000,000 request elements, no size bound", [] { return manyRequests(1000000); },
            unbounded},
        {"4 MiB legal answer, 4 KiB requests", [] { return largeResponse(FourMiB); }, FourMiB},
        {"4 MiB change log in one request",
            [] {
                return responseBehindSection(
                    FourMiB, "<request name='x'><changelog>", "</changelog></request>");
            },
            FourMiB},
        {"4 MiB comment", [] { return responseBehindSection(FourMiB, "<!--", "-->"); }, FourMiB},
        {"4 MiB CDATA section",
            [] { return responseBehindSection(FourMiB, "<x><![CDATA[", "]]></x>"); }, FourMiB},
        {"4 MiB processing instruction",
            [] { return responseBehindSection(FourMiB, "<?pi ", "?>"); }, FourMiB},
        {"100,000 attributes on one element", [] { return manyAttributes(100000); }, FourMiB},
        {"6.3 MB answer, 4 MiB bound", [] { return response(1, QByteArray(6300000, 'x')); },
            FourMiB},
    };
    std::printf(
        "%-42s %10s  %-8s %13s %9s\n", "answer, in 4 KiB chunks", "size", "outcome", "", "time");
    for (const Case &c : cases) {
        const double parsing = peakMiB(c, true);
        const double answerAlone = peakMiB(c, false);
        if (parsing < 0) {
            std::printf("%-42s CRASHED\n", c.name);
            continue;
        }
        std::printf(
            "%42s peak memory %6.1f MiB (the answer alone: %6.1f MiB)\n", "", parsing, answerAlone);
    }
    return 0;
}

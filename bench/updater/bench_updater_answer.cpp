// Answer parser benchmark: hostile and large answers of the update server,
// fed to UpdateResponseParser in 4 KiB chunks as a socket would deliver
// them. Each case runs twice in a child process of its own, once only
// building the answer and once parsing it too, so that the parser's peak
// memory shows beside the answer's own; prints the outcome, the time and both
// peaks.
//
//   bench-updater-answer

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

QByteArray request(int index, const QByteArray &changelog = QByteArray("fixed"))
{
    return "<request project='vell' name='c" + QByteArray::number(index)
        + "' type='plugin'><version>2.0</version><changelog>" + changelog
        + "</changelog><link>http://packages.vell.example/c" + QByteArray::number(index)
        + ".zip</link></request>";
}

QByteArray nested(int depth)
{
    return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
}

QByteArray billionLaughs()
{
    QByteArray dtd = "<!DOCTYPE response [<!ENTITY l0 'ha'>";
    for (int i = 1; i < 10; ++i) {
        const QByteArray previous = "&l" + QByteArray::number(i - 1) + ";";
        dtd += "<!ENTITY l" + QByteArray::number(i) + " '" + previous.repeated(10) + "'>";
    }
    return dtd + "]><response><request name='x'><changelog>&l9;</changelog></request></response>";
}

QByteArray manyRequests(int count)
{
    QByteArray answer = "<response>";
    answer.reserve(count * 10 + 32);
    for (int i = 0; i < count; ++i) {
        answer += "<request/>";
    }
    return answer + "</response>";
}

// Requests of about 4 KiB each up to 4 MiB in all: the largest legal answer.
QByteArray largeLegalAnswer()
{
    QByteArray answer = "<?xml version='1.0' encoding='UTF-8'?><response>";
    const QByteArray changelog = QByteArray(" - fixed a fault\n").repeated(230);
    for (int i = 0; answer.size() + 8192 < FourMiB; ++i) {
        answer += request(i, changelog);
    }
    return answer + "</response>";
}

QByteArray oneSection(const QByteArray &open, const QByteArray &close)
{
    const QByteArray head = "<response>" + open;
    const QByteArray tail = close + request(0) + "</response>";
    return head + QByteArray(FourMiB - head.size() - tail.size(), 'x') + tail;
}

QByteArray manyAttributes(int count)
{
    QByteArray tag = "<response";
    for (int i = 0; i < count; ++i) {
        tag += " a" + QByteArray::number(i) + "=''";
    }
    return tag + "/>";
}

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
    const qint64 unbounded = qint64(1) << 40;
    const std::vector<Case> cases = {
        {"nothing (the process itself)", [] { return QByteArray(); }, FourMiB},
        {"100,000 nested elements", [] { return nested(100000); }, FourMiB},
        {"entity declarations (billion laughs)", billionLaughs, FourMiB},
        {"external entity",
            [] {
                return QByteArray("<!DOCTYPE response [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"
                                  "<response><request name='x'><changelog>&x;</changelog>"
                                  "</request></response>");
            },
            FourMiB},
        {"1,000,000 request elements", [] { return manyRequests(1000000); }, FourMiB},
        {"1,000,000 request elements, no size bound", [] { return manyRequests(1000000); },
            unbounded},
        {"4 MiB legal answer, 1,000 requests", largeLegalAnswer, FourMiB},
        {"4 MiB change log in one request",
            [] { return oneSection("<request name='x'><changelog>", "</changelog></request>"); },
            FourMiB},
        {"4 MiB comment", [] { return oneSection("<!--", "-->"); }, FourMiB},
        {"4 MiB CDATA section", [] { return oneSection("<x><![CDATA[", "]]></x>"); }, FourMiB},
        {"4 MiB processing instruction", [] { return oneSection("<?pi ", "?>"); }, FourMiB},
        {"100,000 attributes on one element", [] { return manyAttributes(100000); }, FourMiB},
        {"6.3 MB answer, 4 MiB bound",
            []() -> QByteArray {
                return "<response>" + request(0, QByteArray(6300000, 'x')) + "</response>";
            },
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

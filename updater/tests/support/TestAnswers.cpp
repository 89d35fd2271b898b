#include "TestAnswers.h"

#include <QStringBuilder>

namespace TestAnswers {

QByteArray request(int index, const QByteArray &changelog)
{
    const QByteArray name = "c" + QByteArray::number(index);
    return "<request project='vell' name='" + name
        + "' type='plugin'><version>2.0</version><changelog>" + changelog
        + "</changelog><link>http://packages.vell.example/" + name + ".zip</link></request>";
}

QByteArray response(int count, const QByteArray &changelog)
{
    QByteArray answer = "<?xml version='1.0' encoding='UTF-8'?>\n<response>";
    for (int i = 0; i < count; ++i) {
        answer += request(i, changelog);
    }
    return answer + "</response>";
}

QByteArray largeResponse(int size)
{
    const QByteArray changelog = QByteArray(" - fixed a fault\n").repeated(230);
    const int each = request(0, changelog).size();
    const int frame = response(0).size();
    // Names grow by a digit now and then: leave room for it.
    return response((size - frame) / (each + 8), changelog);
}

QByteArray responseBehindSection(int size, const QByteArray &open, const QByteArray &close)
{
    const QByteArray head = "<response>" + open;
    const QByteArray tail = close + request(0) + "</response>";
    return head + QByteArray(size - head.size() - tail.size(), 'x') + tail;
}

QByteArray nestedElements(int depth)
{
    return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
}

QByteArray entityExpansion()
{
    QByteArray dtd = "<!DOCTYPE response [<!ENTITY l0 'ha'>";
    for (int i = 1; i < 10; ++i) {
        const QByteArray below = "&l" + QByteArray::number(i - 1) + ";";
        dtd += "<!ENTITY l" + QByteArray::number(i) + " '" + below.repeated(10) + "'>";
    }
    return dtd + "]><response><request name='x'><changelog>&l9;</changelog></request></response>";
}

QByteArray externalEntity()
{
    return "<!DOCTYPE response [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"
           "<response><request name='x'><changelog>&x;</changelog></request></response>";
}

QByteArray manyRequests(int count)
{
    return "<response>" + QByteArray("<request/>").repeated(count) + "</response>";
}

QByteArray manyAttributes(int count)
{
    QByteArray tag = "<response";
    for (int i = 0; i < count; ++i) {
        tag += " a" + QByteArray::number(i) + "=''";
    }
    return tag + "/>";
}

} // namespace TestAnswers

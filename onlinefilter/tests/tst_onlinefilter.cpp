#include "VellBuddy.h"
#include "VellBuddyContact.h"
#include "VellBuddyTemporary.h"
#include "VellFilterPlugin.h"
#include "VellPluginLoader.h"
#include "VellPresence.h"

#include <QCoreApplication>
#include <QTranslator>
#include <QUrl>
#include <QtTest>

Q_DECLARE_METATYPE(VellBuddy)

class tst_OnlineFilter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void filter_data();
    void filter();
    void entryPointAlwaysGivesTheSameObject();
    void iconIsEmptyButNotNull_data();
    void iconIsEmptyButNotNull();
    void offersOneFilterServiceWithDefaultAction();
    void descriptiveData();
    void loadAndUnloadKeepNoState();
    void textsComeFromTheInstalledCatalogue();

private:
    VellPluginLoader m_loader;
    VellFilterPlugin *m_filter = nullptr;
};

void tst_OnlineFilter::initTestCase()
{
    QString error;
    QVERIFY2(m_loader.load(QStringLiteral(STATUSFILTER_PATH), &error), qPrintable(error));
    QVERIFY(m_loader.fileName().endsWith(QLatin1String("/statusfilter.kwx")));
    m_filter = m_loader.filterPlugin();
    QVERIFY2(m_filter, "the plug-in object is not a roster filter");
}

void tst_OnlineFilter::filter_data()
{
    QTest::addColumn<VellBuddy>("buddy");
    QTest::addColumn<bool>("shown");

    const QString name = QStringLiteral("Alice");
    for (int flag = VellPresence::Unknown; flag <= VellPresence::Invisible; ++flag) {
        const bool online = flag != VellPresence::Offline;
        const VellPresence presence(flag, QStringLiteral("status text"));
        QTest::addRow("contact, presence %d", flag)
            << VellBuddy(VellBuddyContact(QStringLiteral("alice@example.org"), name, presence))
            << online;
        QTest::addRow("temporary, presence %d", flag)
            << VellBuddy(VellBuddyTemporary(QStringLiteral("+48600100200"), name, presence))
            << online;
    }

    // Entries of the filtered kinds that cannot be read through their view.
    QTest::newRow("contact without details")
        << VellBuddy(VellBuddy::Contact, QStringLiteral("bob@example.org")) << false;
    QTest::newRow("temporary without details")
        << VellBuddy(VellBuddy::Temporary, QStringLiteral("+48600300400")) << false;
    QTest::newRow("empty handle") << VellBuddy() << false;

    for (int type : {int(VellBuddy::Unknown), int(VellBuddy::Account), int(VellBuddy::Group),
             int(VellBuddy::Conference), 6, 42}) {
        QTest::addRow("entry of type %d", type)
            << VellBuddy(type, QStringLiteral("entry"), name) << false;
    }
}

void tst_OnlineFilter::filter()
{
    QFETCH(VellBuddy, buddy);
    QFETCH(bool, shown);

    QCOMPARE(m_filter->filter(buddy), shown);
}

void tst_OnlineFilter::entryPointAlwaysGivesTheSameObject()
{
    const VellPluginHandleFunction entryPoint = m_loader.entryPoint();
    QVERIFY(entryPoint);
    VellPlugin *first = entryPoint();
    QVERIFY(first);
    QCOMPARE(entryPoint(), first);
    QCOMPARE(first, m_loader.plugin());
}

void tst_OnlineFilter::iconIsEmptyButNotNull_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("default size") << 0;
    QTest::newRow("16 pixels") << 16;
    QTest::newRow("64 pixels") << 64;
}

void tst_OnlineFilter::iconIsEmptyButNotNull()
{
    QFETCH(int, size);

    const QString icon = m_filter->icon(size);
    QVERIFY(icon.isEmpty());
    QVERIFY(!icon.isNull());
}

void tst_OnlineFilter::offersOneFilterServiceWithDefaultAction()
{
    const QList<VellService> services = m_filter->getProvidedServices();
    QCOMPARE(services.size(), 1);
    const VellService &service = services.first();
    QCOMPARE(service.getId(), QStringLiteral("filter"));
    QCOMPARE(service.getName(), QStringLiteral("filter"));
    QVERIFY(service.getIcon().isNull());
    QVERIFY(service.getAction().isNull());
    QVERIFY(!service.getAction().trigger());
}

void tst_OnlineFilter::descriptiveData()
{
    QCOMPARE(m_filter->name(), QStringLiteral("OnlineFilter"));
    QCOMPARE(m_filter->friendlyName(), QStringLiteral("OnlineFilter"));
    QCOMPARE(m_filter->filterName(), QStringLiteral("show online"));
    QCOMPARE(m_filter->description(), QStringLiteral("Show only online buddies in roster"));
    QCOMPARE(m_filter->version(), 1);

    QVERIFY(!m_filter->author().isEmpty());
    const QUrl web(m_filter->web(), QUrl::StrictMode);
    QVERIFY2(web.isValid() && web.scheme() == QLatin1String("https"), qPrintable(web.toString()));
    QVERIFY2(QRegularExpression(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"))
                 .match(m_filter->email())
                 .hasMatch(),
        qPrintable(m_filter->email()));

    // What the plug-in leaves to its base classes.
    QVERIFY(m_filter->getSettingsTags().isEmpty());
    QVERIFY(m_filter->getSettingsLinks().isEmpty());
    QVERIFY(m_filter->getSearchPhrases().isEmpty());
    QVERIFY(m_filter->getLicenseName().isNull());
    const VellBuddyContact anna(QStringLiteral("anna@example.org"), QStringLiteral("anna"),
        VellPresence(VellPresence::Online));
    const VellBuddyContact bob(QStringLiteral("bob@example.org"), QStringLiteral("Bob"),
        VellPresence(VellPresence::Online));
    QVERIFY(m_filter->lessThan(anna, bob));
    QVERIFY(!m_filter->lessThan(bob, anna));
}

void tst_OnlineFilter::loadAndUnloadKeepNoState()
{
    const VellBuddyContact online(
        QStringLiteral("carol@example.org"), QString(), VellPresence(VellPresence::Away));
    m_filter->unload();
    m_filter->unload();
    QVERIFY(m_filter->load());
    QVERIFY(m_filter->load());
    QVERIFY(m_filter->filter(online));
    QCOMPARE(m_filter->name(), QStringLiteral("OnlineFilter"));
}

void tst_OnlineFilter::textsComeFromTheInstalledCatalogue()
{
    {
        QTranslator polish;
        QVERIFY2(polish.load(QStringLiteral(TEST_CATALOGUE_PATH)), TEST_CATALOGUE_PATH);
        QVERIFY(QCoreApplication::installTranslator(&polish));

        QCOMPARE(m_filter->filterName(), QStringLiteral("pokaż dostępnych"));
        QCOMPARE(m_filter->description(),
            QStringLiteral("Pokazuje na liście kontaktów tylko dostępne osoby"));
        const QList<VellService> services = m_filter->getProvidedServices();
        QCOMPARE(services.size(), 1);
        QCOMPARE(services.first().getName(), QStringLiteral("filtr"));
        // The id is what the client keys the service by: never translated.
        QCOMPARE(services.first().getId(), QStringLiteral("filter"));
    } // the translator removes itself

    QCOMPARE(m_filter->filterName(), QStringLiteral("show online"));
}

QTEST_GUILESS_MAIN(tst_OnlineFilter)
#include "tst_onlinefilter.moc"

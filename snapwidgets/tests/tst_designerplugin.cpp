#include <QBuffer>
#include <QDir>
#include <QIcon>
#include <QLibrary>
#include <QPluginLoader>
#include <QPointer>
#include <QTemporaryDir>
#include <QUiLoader>
#include <QWidget>
#include <QtDesigner/QDesignerComponents>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QDesignerWidgetDataBaseInterface>
#include <QtTest>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <memory>

namespace {
// The text Designer pastes into a form for a dropped widget: ten lines, one
// blank of indentation per level, 100 x 100 at the origin.
QString widgetElement(const char *className, const char *objectName)
{
    return QStringLiteral("<widget class=\"%1\" name=\"%2\">\n"
                          " <property name=\"geometry\">\n"
                          "  <rect>\n"
                          "   <x>0</x>\n"
                          "   <y>0</y>\n"
                          "   <width>100</width>\n"
                          "   <height>100</height>\n"
                          "  </rect>\n"
                          " </property>\n"
                          "</widget>\n")
        .arg(QLatin1String(className), QLatin1String(objectName));
}
} // namespace

// The library loaded for real as a Designer plug-in, the way Designer and
// QUiLoader load it: this test does not link it.
class tst_DesignerPlugin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void collectionListsSelectionThenCapture();
    void widgetInterfacesDescribeTheirWidgets_data();
    void widgetInterfacesDescribeTheirWidgets();
    void secondInitializeChangesNothing();
    void exportsTheClientsVerificationText();
    void deletedInstanceIsReplacedByAFreshOne();
    void uiLoaderBuildsBothWidgetsFromAForm();
    void designerOffersBothWidgets();

private:
    QDesignerCustomWidgetCollectionInterface *collection();
    QDesignerCustomWidgetInterface *widgetInterface(const QString &name);

    const QString designerDir = QStringLiteral(SNAPWIDGETS_DESIGNER_DIR);
    const QString pluginFile = designerDir + QStringLiteral("/libsnapwidgets.so");
    QPluginLoader loader {pluginFile};
    QTemporaryDir home;
};

void tst_DesignerPlugin::initTestCase()
{
    QVERIFY2(home.isValid(), qPrintable(home.errorString()));
    // Designer keeps settings and caches; none of it may reach the real home.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    QVERIFY2(loader.load(), qPrintable(loader.errorString()));
    QCOMPARE(loader.metaData().value(QStringLiteral("IID")).toString(),
        QStringLiteral("org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface"));
}

void tst_DesignerPlugin::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

QDesignerCustomWidgetCollectionInterface *tst_DesignerPlugin::collection()
{
    return qobject_cast<QDesignerCustomWidgetCollectionInterface *>(loader.instance());
}

QDesignerCustomWidgetInterface *tst_DesignerPlugin::widgetInterface(const QString &name)
{
    if (!collection()) {
        return nullptr;
    }
    for (QDesignerCustomWidgetInterface *widget : collection()->customWidgets()) {
        if (widget->name() == name) {
            return widget;
        }
    }
    return nullptr;
}

void tst_DesignerPlugin::collectionListsSelectionThenCapture()
{
    QVERIFY(collection());
    const QList<QDesignerCustomWidgetInterface *> widgets = collection()->customWidgets();
    QCOMPARE(widgets.size(), 2);
    QCOMPARE(widgets.at(0)->name(), QStringLiteral("VellSelectionWidget"));
    QCOMPARE(widgets.at(1)->name(), QStringLiteral("VellCaptureWidget"));
    QCOMPARE(collection()->customWidgets(), widgets);
}

void tst_DesignerPlugin::widgetInterfacesDescribeTheirWidgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("include");
    QTest::addColumn<QString>("domXml");

    QTest::newRow("capture") << "VellCaptureWidget"
                             << "VellCaptureWidget.h"
                             << widgetElement("VellCaptureWidget", "captureRegion");
    QTest::newRow("selection") << "VellSelectionWidget"
                               << "VellSelectionWidget.h"
                               << widgetElement("VellSelectionWidget", "Selection");
}

void tst_DesignerPlugin::widgetInterfacesDescribeTheirWidgets()
{
    QFETCH(QString, name);
    QFETCH(QString, include);
    QFETCH(QString, domXml);

    QDesignerCustomWidgetInterface *widget = widgetInterface(name);
    QVERIFY(widget);
    QCOMPARE(widget->group(), QStringLiteral("Vell widgets"));
    QCOMPARE(widget->includeFile(), include);
    QCOMPARE(widget->domXml().toUtf8(), domXml.toUtf8());
    QVERIFY(widget->toolTip().isEmpty());
    QVERIFY(widget->whatsThis().isEmpty());
    QVERIFY(widget->icon().isNull());
    QVERIFY(!widget->isContainer());
    QVERIFY(widget->codeTemplate().isEmpty());

    QWidget parent;
    QWidget *created = widget->createWidget(&parent);
    QVERIFY(created);
    QCOMPARE(QString::fromLatin1(created->metaObject()->className()), name);
    QCOMPARE(created->parentWidget(), &parent);
}

void tst_DesignerPlugin::secondInitializeChangesNothing()
{
    for (QDesignerCustomWidgetInterface *widget : collection()->customWidgets()) {
        widget->initialize(nullptr);
        QVERIFY(widget->isInitialized());
        const QString domXml = widget->domXml();
        widget->initialize(nullptr);
        QVERIFY(widget->isInitialized());
        QCOMPARE(widget->domXml(), domXml);
    }
    QCOMPARE(collection()->customWidgets().size(), 2);
}

void tst_DesignerPlugin::exportsTheClientsVerificationText()
{
    using VerificationData = const char *(*)();
    const auto query = reinterpret_cast<VerificationData>(
        QLibrary::resolve(pluginFile, "qt_plugin_query_verification_data"));
    QVERIFY(query);
    QCOMPARE(QByteArray(query()),
        QByteArray("pattern=QT_PLUGIN_VERIFICATION_DATA\nversion=4.4.3\ndebug=false\n"
                   "buildkey=i686 Linux g++-4 full-config"));
}

void tst_DesignerPlugin::deletedInstanceIsReplacedByAFreshOne()
{
    QPointer<QObject> first = loader.instance();
    QVERIFY(first);
    QCOMPARE(loader.instance(), first.data());
    for (QDesignerCustomWidgetInterface *widget : collection()->customWidgets()) {
        widget->initialize(nullptr);
    }

    delete first.data();
    QVERIFY(!first);
    QObject *fresh = loader.instance();
    QVERIFY(fresh);
    QCOMPARE(collection()->customWidgets().size(), 2);
    for (QDesignerCustomWidgetInterface *widget : collection()->customWidgets()) {
        QVERIFY(!widget->isInitialized());
    }
}

void tst_DesignerPlugin::uiLoaderBuildsBothWidgetsFromAForm()
{
    QUiLoader uiLoader;
    uiLoader.addPluginPath(designerDir);
    const QStringList available = uiLoader.availableWidgets();
    QVERIFY(available.contains(QStringLiteral("VellCaptureWidget")));
    QVERIFY(available.contains(QStringLiteral("VellSelectionWidget")));

    QByteArray form("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<ui version=\"4.0\">\n"
                    " <class>ScreenSend</class>\n"
                    " <widget class=\"QWidget\" name=\"ScreenSend\">\n");
    form += widgetInterface(QStringLiteral("VellSelectionWidget"))->domXml().toUtf8();
    form += widgetInterface(QStringLiteral("VellCaptureWidget"))->domXml().toUtf8();
    form += " </widget>\n</ui>\n";
    QBuffer buffer(&form);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    std::unique_ptr<QWidget> built(uiLoader.load(&buffer));
    QVERIFY2(built, qPrintable(uiLoader.errorString()));

    auto *selection = built->findChild<QWidget *>(QStringLiteral("Selection"));
    QVERIFY(selection);
    QCOMPARE(selection->metaObject()->className(), "VellSelectionWidget");
    QCOMPARE(selection->geometry(), QRect(0, 0, 100, 100));
    auto *capture = built->findChild<QWidget *>(QStringLiteral("captureRegion"));
    QVERIFY(capture);
    QCOMPARE(capture->metaObject()->className(), "VellCaptureWidget");
}

void tst_DesignerPlugin::designerOffersBothWidgets()
{
    QCoreApplication::addLibraryPath(QFileInfo(designerDir).path());
    std::unique_ptr<QDesignerFormEditorInterface> core(
        QDesignerComponents::createFormEditor(nullptr));
    QVERIFY(core);
    QDesignerComponents::initializePlugins(core.get());

    QDesignerWidgetDataBaseInterface *database = core->widgetDataBase();
    for (const char *name : {"VellSelectionWidget", "VellCaptureWidget"}) {
        const int index = database->indexOfClassName(QString::fromLatin1(name));
        QVERIFY2(index >= 0, name);
        QDesignerWidgetDataBaseItemInterface *item = database->item(index);
        QCOMPARE(item->group(), QStringLiteral("Vell widgets"));
        QCOMPARE(item->includeFile(), QString::fromLatin1(name) + QStringLiteral(".h"));
        QVERIFY(item->isCustom());
    }
}

QTEST_MAIN(tst_DesignerPlugin)
#include "tst_designerplugin.moc"

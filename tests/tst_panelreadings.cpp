#include "readinglog.h"
#include "simulatedpanel.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrava;
using kestrava::test::SimulatedPanel;

// kestrava --log: every reading the window shows is logged as it is shown.
class PanelReadingsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;

    QStringList captions(const QStringList &names) const
    {
        QStringList shown;
        for (const QString &name : names)
            shown << rig->text(name);
        return shown;
    }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->start());
    }
    void cleanup() { rig.reset(); }

    void everyReadingShownIsLoggedAsShown_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("firstRow");
        QTest::newRow("compass") << "CmdBrujula" << QStringList{"LblVersionCMPS03"} << "cmps03,version,";
        QTest::newRow("thermal") << "CmdTPA81" << QStringList{"LblPixel(0)"} << "tpa81,version,";
        QTest::newRow("rangers") << "CmdDistancia" << QStringList{"LblDistancia(0)"} << "srf02,range1,";
    }
    void everyReadingShownIsLoggedAsShown()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, labels);
        QFETCH(QString, firstRow);
        QTemporaryDir folder;
        ReadingLog log;
        QVERIFY(log.open(folder.filePath(QStringLiteral("readings.csv"))));
        QList<Reading> shown;
        connect(&rig->panel(), &ControlPanel::readingShown, this, [&](const Reading &reading) {
            shown << reading;
            log.write(reading);
        });
        rig->click(button);
        const QStringList first = captions(labels);
        QFile file(folder.filePath(QStringLiteral("readings.csv")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.first(), QStringLiteral("time,module,field,value"));
        QVERIFY2(rows.at(1).section(u',', 1) == firstRow + first.first(), qPrintable(rows.at(1)));
        qsizetype captioned = 0;
        for (const Reading &reading : shown) {
            captioned += !reading.shown.isEmpty();
            QVERIFY(reading.shown.isEmpty() || rows.filter(logFieldName(reading) + u',' + reading.shown).size() == 1);
        }
        QCOMPARE(rows.size() - 1, captioned); // one row per caption, none for the needle
    }
};

QTEST_MAIN(PanelReadingsTest)
#include "tst_panelreadings.moc"

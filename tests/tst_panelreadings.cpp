#include "readinglog.h"
#include "simulatedpanel.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrava;
using kestrava::test::SimulatedPanel;

// The readings the window shows: each logged as shown, and none shown for a
// frame that never went out.
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

    void readingsAreLoggedAsShownAndAClosedPortShowsNone_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("change"); // to the simulator, between the two presses
        QTest::addColumn<QString>("firstRow");
        QTest::newRow("compass") << "CmdBrujula" << QStringList{"LblVersionCMPS03", "LblBrujula"}
                                 << "set C0 0 99 0 1 1" << "cmps03,version,";
        QTest::newRow("thermal") << "CmdTPA81" << QStringList{"LblPixel(0)", "LblPixel(1)", "LblPixel(9)"}
                                 << "set D0 0 99 99 99 99 99 99 99 99 99 99" << "tpa81,version,";
        QTest::newRow("rangers") << "CmdDistancia" << QStringList{"LblDistancia(0)", "LblDistancia(4)"}
                                 << "remove E0" << "srf02,range1,";
    }
    void readingsAreLoggedAsShownAndAClosedPortShowsNone()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, labels);
        QFETCH(QString, change);
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
        const QStringList before = captions(labels);
        QFile file(folder.filePath(QStringLiteral("readings.csv")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.first(), QStringLiteral("time,module,field,value"));
        QVERIFY2(rows.at(1).section(u',', 1) == firstRow + before.first(), qPrintable(rows.at(1)));
        for (const Reading &reading : shown)
            QVERIFY(reading.shown.isEmpty() || rows.filter(logFieldName(reading) + u',' + reading.shown).size() == 1);

        QVERIFY(rig->command(change).startsWith(QStringLiteral("ok")));
        rig->panel().line().close();
        rig->clearRecord();
        shown.clear();
        rig->click(button);
        QCOMPARE(captions(labels), before);
        QVERIFY(shown.isEmpty());
        QCOMPARE(rig->events.size(), 1); // the one frame refused, nothing after it
        QCOMPARE(rig->events.first().kind, test::WireEvent::NotSent);
    }
};

QTEST_MAIN(PanelReadingsTest)
#include "tst_panelreadings.moc"

#include "controlpanel.h"
#include "pseudoterminal.h"
#include "scriptedadapter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace kestrava;
using kestrava::test::PseudoTerminal;
using kestrava::test::ScriptedAdapter;

class AddressChangeTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<ScriptedAdapter> adapter;
    std::unique_ptr<ControlPanel> panel;

    QLineEdit *box(const char *name) { return panel->findChild<QLineEdit *>(QString::fromLatin1(name)); }
    void clickChange()
    {
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("CmdDireccion")), Qt::LeftButton);
    }
    static QList<QByteArray> hexFrames(const QStringList &hex)
    {
        QList<QByteArray> frames;
        for (const QString &h : hex)
            frames << QByteArray::fromHex(h.toLatin1());
        return frames;
    }

private slots:
    void init()
    {
        pty = std::make_unique<PseudoTerminal>();
        QVERIFY(pty->isValid());
        test::mapComPort(1, pty->devicePath());
        adapter = std::make_unique<ScriptedAdapter>(*pty);
        panel = std::make_unique<ControlPanel>([](const QString &m) { QFAIL(qPrintable(m)); });
        panel->show();
        QVERIFY(QTest::qWaitForWindowActive(panel.get()));
        QVERIFY(panel->line().isOpen());
    }
    void cleanup()
    {
        panel.reset();
        adapter.reset();
        pty.reset();
    }

    void theSequenceGoesToTheCurrentAddress_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QStringList>("frames");
        const QStringList e0ToE2{"55e00001a0", "55e00001aa", "55e00001a5", "55e00001e2"};
        QTest::newRow("initial boxes") << "E0" << "E2" << e0ToE2;
        QTest::newRow("lower case") << "e0" << "e2" << e0ToE2;
        QTest::newRow("blanks between digits") << " E 0" << "e\t2 " << e0ToE2;
        QTest::newRow("a valid start and a rest") << "E0" << "E2x" << e0ToE2;
        QTest::newRow("prefix &H gives 0") << "&HE0" << "E2"
            << QStringList{"55000001a0", "55000001aa", "55000001a5", "55000001e2"};
        QTest::newRow("prefix 0x gives 0") << "E0" << "0xE0"
            << QStringList{"55e00001a0", "55e00001aa", "55e00001a5", "55e0000100"};
        QTest::newRow("empty new box") << "E0" << ""
            << QStringList{"55e00001a0", "55e00001aa", "55e00001a5", "55e0000100"};
        QTest::newRow("empty current box") << "" << "E8"
            << QStringList{"55000001a0", "55000001aa", "55000001a5", "55000001e8"};
        QTest::newRow("odd address used as typed") << "E3" << "FF"
            << QStringList{"55e30001a0", "55e30001aa", "55e30001a5", "55e30001ff"};
    }
    void theSequenceGoesToTheCurrentAddress()
    {
        QFETCH(QString, current);
        QFETCH(QString, next);
        QFETCH(QStringList, frames);
        box("TxtActDir")->setText(current);
        box("TxtNueDir")->setText(next);
        QSignalSpy taken(&panel->engine(), &TransactionEngine::replyTaken);
        QSignalSpy timedOut(&panel->engine(), &TransactionEngine::replyTimedOut);
        clickChange();
        QCOMPARE(taken.size() + timedOut.size(), 1); // one wait, after the fourth frame
        // The raw wire, not the adapter's reading of it: an odd address looks like a read to it.
        QVERIFY(pty->waitForReceived(20));
        QTest::qWait(60);
        QCOMPARE(pty->received(), hexFrames(frames).join());
        QCOMPARE(box("TxtActDir")->text(), current); // nothing shown, nothing changed
        QCOMPARE(box("TxtNueDir")->text(), next);
    }

    void theFourFramesGoBackToBackBeforeTheOneWait()
    {
        adapter->setReplyDelayMs(300);
        QElapsedTimer clock;
        clock.start();
        clickChange();
        const qint64 took = clock.elapsed();
        QVERIFY(adapter->waitForFrames(4));
        const QList<ScriptedAdapter::Frame> frames = adapter->frames();
        // A wait between the frames would hold each one back by the 300 ms answer delay.
        QVERIFY2(frames.last().atMs - frames.first().atMs < 200,
                 qPrintable(QString::number(frames.last().atMs - frames.first().atMs)));
        QVERIFY2(took >= 250 && took < 1500, qPrintable(QString::number(took)));
    }

    void anAddressOutOfRangeSendsNothing_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("offending");
        QTest::newRow("new 100") << "E0" << "100" << "TxtNueDir";
        QTest::newRow("new FFFF") << "E0" << "FFFF" << "TxtNueDir";
        QTest::newRow("current 100") << "100" << "E2" << "TxtActDir";
        QTest::newRow("current FFFF") << "FFFF" << "E2" << "TxtActDir";
        QTest::newRow("current past 16 bits") << "12345" << "E2" << "TxtActDir";
    }
    void anAddressOutOfRangeSendsNothing()
    {
        QFETCH(QString, current);
        QFETCH(QString, next);
        QFETCH(QString, offending);
        box("TxtActDir")->setText(current);
        box("TxtNueDir")->setText(next);
        QSignalSpy sent(&panel->engine(), &TransactionEngine::frameSent);
        QSignalSpy timedOut(&panel->engine(), &TransactionEngine::replyTimedOut);
        clickChange();
        QTest::qWait(80);
        QCOMPARE(sent.size(), 0);
        QCOMPARE(timedOut.size(), 0);
        QVERIFY(pty->received().isEmpty());
        auto *refused = panel->findChild<QLineEdit *>(offending);
        QCOMPARE(refused->selectedText(), refused->text());
        QTRY_VERIFY(refused->hasFocus());
    }

    void aClosedPortSendsNothingAndDoesNotWait()
    {
        panel->line().close();
        QSignalSpy timedOut(&panel->engine(), &TransactionEngine::replyTimedOut);
        QElapsedTimer clock;
        clock.start();
        clickChange();
        QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(timedOut.size(), 0);
        QTest::qWait(50);
        QVERIFY(pty->received().isEmpty());
    }

    void aSilentModuleEndsInOneTimeOut()
    {
        adapter->setSilent(0xE0);
        QSignalSpy timedOut(&panel->engine(), &TransactionEngine::replyTimedOut);
        QElapsedTimer clock;
        clock.start();
        clickChange();
        const qint64 took = clock.elapsed();
        QCOMPARE(timedOut.size(), 1);
        QVERIFY2(took >= 480 && took < 1500, qPrintable(QString::number(took)));
        QCOMPARE(adapter->frames().size(), 4);
    }
};

QTEST_MAIN(AddressChangeTest)
#include "tst_addresschange.moc"

#include "sim/view/arenapanel.h"
#include "sim/view/keypadpanel.h"
#include "sim/view/modulepanels.h"
#include "sim/view/placement.h"
#include "sim/view/robotview.h"
#include "sim/view/runpanel.h"
#include "language/language.h"
#include "tests/support/simulatedpanel.h"
#include "sim/program/simulatorthread.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QWheelEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace kestrava;
using namespace kestrava::language;
using kestrava::test::SimulatedPanel;
using kestrava::test::WireEvent;

// The robot view and its simulator thread, as `kestrava-sim --view` runs them, and the real window on Com1,
// whose waits pump this thread's events: the view takes mouse and keys while an operation is under way.
class SimViewTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<sim::SimulatorThread> simulator;
    std::unique_ptr<simview::RobotView> view;
    std::unique_ptr<SimulatedPanel> rig;
    QList<std::function<void()>> script; // one step a tick of scriptTimer, from within the window's waits
    QTimer scriptTimer;

    QPoint onArena(QPointF arenaCm) const { return view->arena()->toWidget(arenaCm).toPoint(); }

private slots:
    void initTestCase()
    {
        SimulatedPanel::prepareProgram();
        speak(QStringLiteral("view"), Language::English); // its plural forms: "1 contact", "2 contacts"
        connect(&scriptTimer, &QTimer::timeout, this, [this] {
            if (script.isEmpty())
                scriptTimer.stop();
            else
                script.takeFirst()();
        });
    }
    void init()
    {
        simulator = std::make_unique<sim::SimulatorThread>();
        view = std::make_unique<simview::RobotView>(*simulator);
        QString error;
        sim::SimulatorOptions options;
        options.fast = true;
        QVERIFY2(simulator->start(options, error), qPrintable(error));
        qputenv("KESTRAVA_COM1", QFile::encodeName(simulator->devicePath()));
        view->resize(1366, 768);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->openPanel());
    }
    void cleanup()
    {
        scriptTimer.stop();
        rig.reset();
        view.reset();
        simulator.reset();
        speak(QStringLiteral("view"), Language::English);
        QLocale::setDefault(QLocale::c());
    }

    void keypadDialogueIsFinishedInTheView_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("byKeyboard");
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<QStringList>("echoes");
        QTest::newRow("mouse 1 2 # 0") << "12#0" << false << 120
                                       << QStringList{"55c6000131", "55c6000132", "55c6000123", "55c6000130"};
        QTest::newRow("keyboard * 5 0 9") << "*509" << true << 120
                                          << QStringList{"55c600012a", "55c6000135", "55c6000130", "55c6000139"};
        QTest::newRow("mouse held 250 ms, each key taken once") << "7890" << false << 250
                                          << QStringList{"55c6000137", "55c6000138", "55c6000139", "55c6000130"};
    }
    void keypadDialogueIsFinishedInTheView()
    {
        QFETCH(QString, keys);
        QFETCH(bool, byKeyboard);
        QFETCH(int, holdMs);
        // The dialogue reads the keypad back to back, so a key held for one step is seen many times.
        constexpr int StepMs = 50;
        simview::KeypadPanel *keypad = view->keypad();
        QList<std::function<void()>> steps{[] {}}; // the prompt goes out first
        for (const QChar key : keys) { // where a key is drawn is taken when it is pressed: the layout settles late
            const char letter = key.toLatin1();
            steps << [=, this] { byKeyboard ? QTest::keyPress(view.get(), letter) : QTest::mousePress(keypad, Qt::LeftButton, {}, keypad->keyCentre(key)); };
            for (int held = StepMs; held < holdMs; held += StepMs)
                steps << [] {};
            steps << [=, this] { byKeyboard ? QTest::keyRelease(view.get(), letter) : QTest::mouseRelease(keypad, Qt::LeftButton, {}, keypad->keyCentre(key)); };
        }
        script = steps;
        scriptTimer.start(StepMs);
        // A dialogue still waiting long after the last key is ended by a second click.
        QTimer::singleShot(1000 + 200 * int(steps.size()), rig.get(), [this] { rig->click(QStringLiteral("CmdLCD03_6")); });
        rig->click(QStringLiteral("CmdLCD03_6"));

        QCOMPARE(rig->text(QStringLiteral("TxtLCD03")), keys);
        QStringList echoes;
        for (const QByteArray &frame : rig->sentFrames()) {
            if (frame.size() == 5 && frame.startsWith(QByteArray::fromHex("55c60001")))
                echoes << QString::fromLatin1(frame.toHex());
        }
        QTEST(echoes, "echoes");
        // The view shows what the display shows: the prompt, then the keys after eight blanks.
        const auto *display = view->findChild<simview::DisplayPanel *>();
        QTRY_VERIFY(display->state() && display->state()->lines.value(1) == QStringLiteral("        %1        ").arg(keys));
        QCOMPARE(display->state()->lines.value(0), QStringLiteral("Teclee el codigo    "));
        QTRY_COMPARE(keypad->state(), std::optional<quint16>(0));
    }

    void busSwitchesActOnTheWire_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QList<int>>("record"); // the kinds of wire event
        const QList<int> timedOut{WireEvent::Sent, WireEvent::TimedOut};
        QTest::newRow("silent relays: the click times out") << "silent70" << timedOut;
        QTest::newRow("late relays: the answer comes after the wait") << "late70" << timedOut;
        QTest::newRow("silent motors: relays answer") << "silentB0" << QList<int>{WireEvent::Sent, WireEvent::Reply};
        QTest::newRow("unplug: nothing reaches the bus") << "unplug" << QList<int>{WireEvent::NotSent};
    }
    void busSwitchesActOnTheWire()
    {
        QFETCH(QString, control);
        QAbstractButton *button = nullptr;
        QTRY_VERIFY((button = view->findChild<QAbstractButton *>(control)) && button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        const qsizetype before = rig->events.size();
        rig->click(QStringLiteral("CmdTodoOn"));
        QList<int> kinds;
        for (const WireEvent &event : rig->events.mid(before))
            kinds << event.kind;
        QTEST(kinds, "record");
    }

    void turningTheRobotTurnsTheCompass_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QPointF>("target"); // where the handle is dragged, from the robot's centre
        QTest::addColumn<double>("bearing");
        QTest::newRow("handle to the east") << "drag" << QPointF(250, 0) << 90.0;
        QTest::newRow("handle to the south") << "drag" << QPointF(0, -70) << 180.0;
        QTest::newRow("handle to the west") << "drag" << QPointF(-90, 0) << 270.0;
        QTest::newRow("two wheel notches up") << "wheel" << QPointF() << 350.0;
        QTest::newRow("turned, then back to start") << "start" << QPointF(250, 0) << 0.0;
    }
    void turningTheRobotTurnsTheCompass()
    {
        QFETCH(QString, gesture);
        QFETCH(QPointF, target);
        QFETCH(double, bearing);
        simview::ArenaPanel *arena = view->arena();
        QTRY_VERIFY(arena->state());
        const QPointF robot = arena->state()->robot;
        if (gesture == u"wheel") {
            for (int notch = 0; notch < 2; ++notch) {
                const QPoint at = onArena(robot);
                QWheelEvent wheel(at, arena->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
                QApplication::sendEvent(arena, &wheel);
            }
        } else {
            QTest::mousePress(arena, Qt::LeftButton, {}, onArena(simview::ArenaPanel::handleOf(*arena->state())));
            QTest::mouseMove(arena, onArena(robot + target));
            QTest::mouseRelease(arena, Qt::LeftButton, {}, onArena(robot + target));
        }
        if (gesture == u"start") {
            QTRY_VERIFY(arena->state()->heading > 1);
            QTest::mouseClick(view->findChild<QPushButton *>(QStringLiteral("backToStart")), Qt::LeftButton);
        }
        QTRY_VERIFY(arena->state()->robot == robot && std::abs(arena->state()->heading - bearing) < 1);
        rig->click(QStringLiteral("CmdBrujula"));
        const double shown = rig->text(QStringLiteral("LblBrujula")).toDouble();
        QVERIFY2(std::abs(shown - bearing) < 1, qPrintable(rig->text(QStringLiteral("LblBrujula"))));
    }

    // On a laptop's 1366 x 768, beside the panel on it, and on 1920 x 1080, in English and in
    // Spanish: every widget has at least its smallest size (so no text is squeezed or shrunk),
    // none overlaps another, the text is 9 points or more, and the arena fills its panel with
    // its own proportions.
    void theViewFitsTheWindow_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QString>("arena");
        QTest::addColumn<bool>("beside"); // the panels right of the arena, else under it
        QTest::addColumn<bool>("spanish");
        QTest::newRow("1366 x 768, house") << QSize(1366, 768) << "house" << true << false;
        QTest::newRow("1366 x 768, house, in Spanish") << QSize(1366, 768) << "house" << true << true;
        QTest::newRow("1920 x 1080, open") << QSize(1920, 1080) << "open" << true << false;
        QTest::newRow("1920 x 1080, corridor") << QSize(1920, 1080) << "corridor" << true << false;
        // The screen's height less a title bar; the width the panel leaves, in both languages.
        QTest::newRow("beside the panel on 1366 x 768") << QSize(400, 736) << "open" << false << false;
        QTest::newRow("beside the panel on 1366 x 768, in Spanish") << QSize(400, 736) << "house" << false << true;
        QTest::newRow("beside the panel on 1920 x 1080, in Spanish") << QSize(953, 1040) << "house" << false << true;
    }
    void theViewFitsTheWindow()
    {
        QFETCH(QSize, window);
        QFETCH(QString, arena);
        QFETCH(bool, spanish);
        if (spanish) {
            view.reset(); // the view stops watching the simulator before the next one starts
            speak(QStringLiteral("view"), Language::Spanish);
            view = std::make_unique<simview::RobotView>(*simulator);
            view->show();
            QVERIFY(QTest::qWaitForWindowExposed(view.get()));
            QCOMPARE(view->windowTitle(), QStringLiteral("Kestrava: vista del robot"));
        }
        QCOMPARE(view->run(QStringLiteral("arena ") + arena), QStringList{"ok"});
        view->resize(window);
        simview::ArenaPanel *panel = view->arena();
        QTRY_VERIFY(panel->state() && panel->state()->name == arena);
        QTest::qWait(200); // the layout settles
        QTEST(view->arrangement().beside, "beside");
        QList<QWidget *> shown;
        for (QWidget *widget : view->findChildren<QWidget *>()) {
            const QRect onView(widget->mapTo(view.get(), QPoint()), widget->size());
            if (!widget->isVisibleTo(view.get()) || widget->visibleRegion().isEmpty())
                continue;
            QVERIFY2(widget->width() >= widget->minimumWidth() && widget->height() >= widget->minimumHeight(),
                     qPrintable(widget->objectName() + QLatin1Char(' ') + widget->metaObject()->className()));
            QVERIFY2(QFontInfo(widget->font()).pointSizeF() >= 9, widget->metaObject()->className());
            if (widget->findChildren<QWidget *>().isEmpty())
                shown << widget;
            Q_UNUSED(onView);
        }
        for (qsizetype i = 0; i < shown.size(); ++i) {
            for (qsizetype j = i + 1; j < shown.size(); ++j) {
                const QRegion a = shown[i]->visibleRegion().translated(shown[i]->mapTo(view.get(), QPoint()));
                const QRegion b = shown[j]->visibleRegion().translated(shown[j]->mapTo(view.get(), QPoint()));
                QVERIFY2(!a.intersects(b), qPrintable(QStringLiteral("%1 over %2").arg(shown[i]->metaObject()->className(),
                                                                                      shown[j]->metaObject()->className())));
            }
        }
        QVERIFY(view->rect().contains(QRect(panel->mapTo(view.get(), QPoint()), panel->size())));
        for (const QScrollArea *area : view->findChildren<QScrollArea *>()) // scrolled down, never sideways
            QVERIFY2(!area->horizontalScrollBar()->isVisible(),
                     qPrintable(QStringLiteral("%1 wide in %2").arg(area->widget()->minimumSizeHint().width())
                                    .arg(area->viewport()->width())));
        const QRectF floor = panel->floorRect();
        QVERIFY2(floor.width() >= 0.9 * panel->width() && floor.height() >= 0.9 * panel->height(),
                 qPrintable(QStringLiteral("%1 x %2 in %3 x %4").arg(floor.width()).arg(floor.height())
                                .arg(panel->width()).arg(panel->height())));
        QVERIFY(std::abs(floor.width() / floor.height() - panel->state()->size.width() / panel->state()->size.height()) < 0.01);
    }

    // Both windows choose alike: the flag, else KESTRAVA_LANG, else Spanish whatever the
    // system's locale; a language neither of them speaks is refused with a message.
    void theLanguageIsTheFlagsThenTheVariablesThenSpanish_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QByteArray>("variable"); // empty: not set
        QTest::addColumn<QString>("chosen");      // "es" or "en"; empty: refused
        QTest::addColumn<QString>("error");
        QTest::newRow("neither: Spanish") << "" << QByteArray() << "es" << "";
        QTest::newRow("the variable alone") << "" << QByteArray("en") << "en" << "";
        QTest::newRow("the flag beats the variable") << "es" << QByteArray("en") << "es" << "";
        QTest::newRow("the flag, the variable Spanish") << "en" << QByteArray("es") << "en" << "";
        QTest::newRow("--lang fr") << "fr" << QByteArray() << "" << "--lang takes es or en, not \"fr\"";
        QTest::newRow("KESTRAVA_LANG=fr") << "" << QByteArray("fr") << "" << "KESTRAVA_LANG takes es or en, not \"fr\"";
    }
    void theLanguageIsTheFlagsThenTheVariablesThenSpanish()
    {
        QFETCH(QString, flag);
        QFETCH(QByteArray, variable);
        if (variable.isEmpty())
            qunsetenv("KESTRAVA_LANG");
        else
            qputenv("KESTRAVA_LANG", variable);
        const QLocale system = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // not the system's to decide
        QString error;
        const std::optional<Language> chosen = chosenLanguage(flag, error);
        QLocale::setDefault(system);
        qunsetenv("KESTRAVA_LANG");
        QTEST(chosen ? languageCode(*chosen) : QString(), "chosen");
        QTEST(error, "error");
    }

    // Qt's own texts (a message box's buttons, a text field's menu) speak the windows' language.
    void qtsOwnTextsFollowTheLanguage()
    {
        const auto okAndPaste = [](Language language) {
            speak(QStringLiteral("view"), language);
            const QDialogButtonBox buttons(QDialogButtonBox::Ok);
            return QStringList{buttons.button(QDialogButtonBox::Ok)->text().remove(QLatin1Char('&')),
                               QCoreApplication::translate("QLineEdit", "&Paste")};
        };
        QCOMPARE(okAndPaste(Language::Spanish), (QStringList{"Aceptar", "&Pegar"}));
        QCOMPARE(okAndPaste(Language::English), (QStringList{"OK", "&Paste"}));
    }

    // The window, frame and title bar included, within the screen beside the panel: before a
    // window manager has framed it (no frame yet) a title bar's worth is kept.
    void theViewLeavesRoomForItsTitleBar_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<int>("beside");
        QTest::addColumn<QSize>("frameNow");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QSize>("view");
        QTest::newRow("beside the panel on 1366 x 768, not framed yet")
            << QRect(0, 0, 1366, 768) << 951 << QSize(0, 0) << QRect(951, 0, 415, 768) << QSize(407, 736);
        QTest::newRow("alone on 1920 x 1080 under a top bar, framed") << QRect(0, 27, 1920, 1053) << 0 << QSize(10, 40)
            << QRect(960, 27, 960, 1053) << QSize(950, 1013);
        QTest::newRow("a panel wider than the screen leaves") << QRect(0, 0, 1024, 600) << 951 << QSize(0, 0)
                                                              << QRect(624, 0, 400, 600) << QSize(392, 568);
    }
    void theViewLeavesRoomForItsTitleBar()
    {
        QFETCH(QRect, screen);
        QFETCH(int, beside);
        QFETCH(QSize, frameNow);
        const QRect place = simview::placement(screen, beside, QSize(400, 480));
        QTEST(place, "place");
        QTEST(simview::sizeInsideFrame(place.size(), frameNow), "view");
    }

    void theViewShowsTheRunAndTheCandleGoingOut()
    {
        for (const char *command : {"arena house", "candle 60 125", "write B0 0 128"})
            QCOMPARE(view->run(QLatin1String(command)), QStringList{"ok"});
        QTRY_VERIFY(view->runPanel()->runText().startsWith(QLatin1String("Running: ")));
        QCOMPARE(view->run(QStringLiteral("write 70 1 1")), QStringList{"ok"});
        static const QRegularExpression result(QStringLiteral("^Candle out in (\\d+\\.\\d) s, 0 contacts$"));
        QTRY_VERIFY_WITH_TIMEOUT(result.match(view->runPanel()->runText()).hasMatch(), 5000);
        QVERIFY(result.match(view->runPanel()->runText()).captured(1).toDouble() >= 1.0); // the fan's second
        QVERIFY(!view->arena()->state()->candleLit && view->arena()->state()->fanOn);
    }

    // The run line in the view's language, its seconds with the locale's decimal separator.
    void theRunLineFollowsTheLanguageAndTheLocale_data()
    {
        QTest::addColumn<bool>("spanish");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("contacts");
        QTest::addColumn<QString>("line");
        QTest::newRow("Spanish, Spanish locale") << true << "es_ES" << 0 << "Vela apagada en 9,9 s, 0 contactos";
        QTest::newRow("Spanish, English locale") << true << "en_GB" << 1 << "Vela apagada en 9.9 s, 1 contacto";
        QTest::newRow("English, Spanish locale") << false << "es_ES" << 1 << "Candle out in 9,9 s, 1 contact";
        QTest::newRow("English, English locale") << false << "en_US" << 2 << "Candle out in 9.9 s, 2 contacts";
    }
    void theRunLineFollowsTheLanguageAndTheLocale()
    {
        QFETCH(bool, spanish);
        QFETCH(QString, locale);
        QFETCH(int, contacts);
        speak(QStringLiteral("view"), spanish ? Language::Spanish : Language::English);
        QLocale::setDefault(QLocale(locale));
        const sim::SimTime start = std::chrono::seconds(100);
        const sim::Run run{sim::Run::Phase::Finished, start, start + std::chrono::milliseconds(9940), contacts};
        QTEST(simview::runText(run, start), "line");
    }

    void theViewRepaintsOnlyOnChange()
    {
        auto *relays = view->findChild<simview::RelayPanel *>();
        int paints = 0;
        struct Counter : QObject
        {
            int &count;
            explicit Counter(int &c) : count(c) {}
            bool eventFilter(QObject *, QEvent *event) override { count += event->type() == QEvent::Paint; return false; }
        } counter(paints);
        QTest::qWait(300); // the first look has been painted
        relays->installEventFilter(&counter);
        QTest::qWait(500);
        QCOMPARE(paints, 0);
        rig->click(QStringLiteral("CmdTodoOn"));
        QTRY_VERIFY(paints > 0);
        QCOMPARE(relays->state(), std::optional<quint8>(0xFF));
    }
};

QTEST_MAIN(SimViewTest)
#include "tst_simview.moc"

#include "compass.h"
#include "compasspicture.h"
#include "modulerig.h"
#include "sensorbinding.h"

#include <QImage>
#include <QLabel>
#include <QTest>

#include <cmath>

using namespace kestrava;
using kestrava::test::ModuleRig;

namespace {
const QList<QByteArray> ThreeReads = {
    QByteArray::fromHex("55c10001"),
    QByteArray::fromHex("55c10201"),
    QByteArray::fromHex("55c10301"),
};
const QColor Red(255, 0, 0);

// The pixel that holds the needle's tip at `angle`, from centre (1440, 960) and
// radius 650 twips, 15 twips to a pixel.
QPoint tipPixel(double angle)
{
    return QPoint(int((1440 + 650 * std::cos(angle)) / 15), int((960 - 650 * std::sin(angle)) / 15));
}

// Pure red anywhere in the 3 × 3 pixels around `at`.
bool redNear(const QImage &image, QPoint at)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.pixelColor(at + QPoint(dx, dy)) == Red)
                return true;
    return false;
}
} // namespace

class CompassTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<ModuleRig> rig;
    QLabel *version = nullptr;
    QLabel *bearing = nullptr;
    CompassPicture *picture = nullptr;

    void setCompass(quint8 versionByte, quint8 high, quint8 low)
    {
        rig->adapter.setRegister(0xC0, 0, versionByte);
        rig->adapter.setRegister(0xC0, 2, high);
        rig->adapter.setRegister(0xC0, 3, low);
    }
    QImage rendered() const { return picture->grab().toImage(); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void init()
    {
        rig = std::make_unique<ModuleRig>();
        QVERIFY(rig->line.isOpen());
        picture = rig->addControl<CompassPicture>(QStringLiteral("Picture1"));
        picture->setGeometry(8, 24, 201, 177); // 3015 × 2655 twips
        version = rig->addControl<QLabel>(QStringLiteral("LblVersionCMPS03"), picture);
        bearing = rig->addControl<QLabel>(QStringLiteral("LblBrujula"), picture);
        version->setGeometry(152, 128, 41, 17);
        bearing->setGeometry(40, 128, 41, 17);
        installSensors(rig->context);
        rig->panel.resize(240, 220);
        rig->panel.show();
    }
    void cleanup() { rig.reset(); }

    void aPressShowsVersionBearingAndNeedle_data()
    {
        QTest::addColumn<QByteArray>("registers"); // version, high, low
        QTest::addColumn<QString>("caption");
        QTest::addColumn<double>("angle");
        QTest::newRow("north") << QByteArray::fromHex("070000") << "0" << 1.5708;
        QTest::newRow("east") << QByteArray::fromHex("070384") << "90" << 6.2832;
        QTest::newRow("word 3599, just left of north") << QByteArray::fromHex("070e0f") << "359.9" << 1.5725;
        QTest::newRow("word 899, just above east") << QByteArray::fromHex("070383") << "89.9" << 0.0017;
        QTest::newRow("south") << QByteArray::fromHex("070708") << "180" << 4.7124;
        QTest::newRow("west") << QByteArray::fromHex("070a8c") << "270" << 3.1416;
        QTest::newRow("word 65535 from a wrong module") << QByteArray::fromHex("ffffff") << "6553.5" << 5.9952;
        QTest::newRow("word 3600, one past the dial") << QByteArray::fromHex("000e10") << "360" << 1.5708;
    }
    void aPressShowsVersionBearingAndNeedle()
    {
        QFETCH(QByteArray, registers);
        QFETCH(QString, caption);
        QFETCH(double, angle);
        setCompass(quint8(registers[0]), quint8(registers[1]), quint8(registers[2]));

        rig->click(QStringLiteral("CmdBrujula_Click"));

        QCOMPARE(rig->adapter.frameBytes(), ThreeReads);
        QCOMPARE(version->text(), QString::number(quint8(registers[0])));
        QCOMPARE(bearing->text(), caption);
        QVERIFY(picture->needle().has_value());
        QVERIFY2(std::fabs(*picture->needle() - angle) < 0.0001, qPrintable(QString::number(*picture->needle())));
        QVERIFY(redNear(rendered(), tipPixel(angle)));
        QCOMPARE(rig->overlaps.count(), 0);
    }

    // Where single precision decides whether the turn is subtracted.
    void theNeedleAngleAtTheEdgesOfTheTurn_data()
    {
        QTest::addColumn<float>("bearing");
        QTest::addColumn<float>("angle");
        QTest::newRow("90 stays a full turn") << 90.0f << 6.2832f;
        QTest::newRow("90.5 runs on past the turn") << 90.5f << 6.274473f;
        QTest::newRow("89.9 loses one turn") << 89.9f << 0.0017455f;
        QTest::newRow("450 comes to 0") << 450.0f << 0.0f;
        QTest::newRow("6553.5 loses sixteen turns") << 6553.5f << 5.995207f;
    }
    void theNeedleAngleAtTheEdgesOfTheTurn()
    {
        QFETCH(float, bearing);
        QFETCH(float, angle);
        const float a = needleAngle(bearing);
        QVERIFY2(std::fabs(a - angle) < 2e-6f, qPrintable(QString::number(a, 'g', 9)));
        QVERIFY(a >= 0.0f && double(a) <= 360 * 3.1416 / 180);
    }

    void aSecondPressReplacesTheFirstNeedle()
    {
        setCompass(7, 0, 0); // north
        rig->click(QStringLiteral("CmdBrujula_Click"));
        const QPoint northTip = tipPixel(1.5708);
        QVERIFY(redNear(rendered(), northTip));

        setCompass(7, 0x07, 0x08); // south
        rig->click(QStringLiteral("CmdBrujula_Click"));
        const QImage after = rendered();
        QVERIFY(redNear(after, tipPixel(4.7124)));
        QVERIFY(!redNear(after, northTip));
    }

    void theNeedleSurvivesHidingAndResizing()
    {
        setCompass(7, 0x0a, 0x8c); // west
        rig->click(QStringLiteral("CmdBrujula_Click"));
        rig->panel.hide();
        picture->resize(220, 190);
        rig->panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig->panel));
        QVERIFY(redNear(rig->panel.grab().toImage(), picture->pos() + tipPixel(3.1416)));
    }

    void theBearingUsesTheRegionalDecimalSeparator()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        setCompass(7, 0x0e, 0x0f);
        rig->click(QStringLiteral("CmdBrujula_Click"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(bearing->text(), QStringLiteral("359,9"));
    }

    void aPressOnAClosedPortShowsNoStaleByte()
    {
        setCompass(7, 0x03, 0x84);
        rig->click(QStringLiteral("CmdBrujula_Click"));
        rig->line.close();
        setCompass(9, 0, 0);
        rig->adapter.clearFrames();

        rig->click(QStringLiteral("CmdBrujula_Click"));

        QVERIFY(rig->adapter.frames().isEmpty());
        // Nothing was read, so the captions of the first press stay.
        QCOMPARE(version->text(), QStringLiteral("7"));
        QCOMPARE(bearing->text(), QStringLiteral("90"));
    }
};

QTEST_MAIN(CompassTest)
#include "tst_compass.moc"

#include "panel/portselector.h"

#include "numbers/numberreading.h"
#include "panel/portcombo.h"
#include "link/serialline.h"

#include <QApplication>
#include <QMessageBox>
#include <QSettings>

namespace kestrava {
namespace {

constexpr auto SettingsKey = "ajustes/puerto";
constexpr auto DefaultPortText = "1";

QSettings portSettings()
{
    return QSettings(QStringLiteral("Kestrava"), QStringLiteral("Kestrava"));
}

// The port number in the saved text; 0 when it does not fit 16 bits.
int portNumberFrom(const QString &text, bool &failed)
{
    const std::optional<qint16> number = readInt16(text);
    if (!number)
        failed = true;
    return number.value_or(0);
}

} // namespace

QString savedPortText()
{
    const QVariant value = portSettings().value(QLatin1String(SettingsKey), QLatin1String(DefaultPortText));
    // A hand-edited file may hold a list ("3, 4") or something that is no text at all.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.canConvert<QString>() ? value.toString() : QString();
}

bool savePortText(const QString &text)
{
    QSettings settings = portSettings();
    settings.setValue(QLatin1String(SettingsKey), text);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

PortSelector::PortSelector(SerialLine &line, PortCombo &combo, ShowMessage showMessage)
    : m_line(line)
    , m_combo(combo)
    , m_showMessage(std::move(showMessage))
{
}

void PortSelector::Form_Load()
{
    bool failed = false;
    int number = portNumberFrom(savedPortText(), failed);
    if (number < SerialLine::FirstPort || number > SerialLine::LastPort)
        number = SerialLine::FirstPort;
    failed |= !m_line.setCommPort(number);
    failed |= !m_line.open();
    failed |= !m_combo.setListIndex(number - 1);
    if (failed)
        m_showMessage(QCoreApplication::translate("kestrava::ControlPanel", StartupPortMessage));
}

void PortSelector::ComboCom_LostFocus()
{
    bool failed = false;
    m_line.close();
    QCoreApplication::processEvents();
    const int number = m_combo.listIndex() + 1;
    failed |= !m_line.setCommPort(number);
    failed |= !m_line.open();
    failed |= !savePortText(QString::number(number));
    if (failed)
        m_showMessage(QCoreApplication::translate("kestrava::ControlPanel", PortChangeMessage));
    QCoreApplication::processEvents();
}

void showMessageBox(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrava"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace kestrava

#include "CProgOptPP_Gen.h"

#include <string>
#include <utility>

#include <QCheckBox>
#include <QVBoxLayout>

#include "CProgramOptions.h"
#include "MessageBox.h"
#include "TextConv.h"

namespace {

constexpr int IDC_RUN_AT_LOGON = 1002;
constexpr int IDC_AUTO_START = 1003;
constexpr int IDC_MINIMIZE_TO_TRAY = 1004;
constexpr int IDC_ALLOW_SHUTDOWN = 1007;

} // namespace

CProgOptPP_Gen::CProgOptPP_Gen(CProgramOptions& options, std::string programPath, QWidget* parent)
    : QWidget(parent), m_options(options), m_programPath(std::move(programPath))
{
    auto* layout = new QVBoxLayout(this);
    m_runAtLogOn = AddBox(IDC_RUN_AT_LOGON, CProgramOptions::kRunAtLogOn,
                          QStringLiteral("Run Veltrane Service Manager when system starts up"));
    m_autoStart = AddBox(IDC_AUTO_START, CProgramOptions::kAutoStartServices,
                         QStringLiteral("Automatically start all services when program starts"));
    m_minimizeToTray = AddBox(IDC_MINIMIZE_TO_TRAY, CProgramOptions::kMinimizeToTray,
                              QStringLiteral("Minimize to system tray"));
    m_allowShutdown = AddBox(IDC_ALLOW_SHUTDOWN, CProgramOptions::kAllowShutdown,
                             QStringLiteral("Allow clients to reboot/shutdown this computer"));
    for (QCheckBox* box : {m_runAtLogOn, m_autoStart, m_minimizeToTray, m_allowShutdown})
        layout->addWidget(box);
    layout->addStretch(1);
}

QCheckBox* CProgOptPP_Gen::AddBox(int controlId, uint32_t bit, const QString& text)
{
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QStringLiteral("check%1").arg(controlId));
    box->setChecked(m_options.Test(bit));
    connect(box, &QCheckBox::clicked, this, [this, controlId] { OnBoxClicked(controlId); });
    return box;
}

QCheckBox* CProgOptPP_Gen::Box(int controlId) const
{
    return findChild<QCheckBox*>(QStringLiteral("check%1").arg(controlId));
}

void CProgOptPP_Gen::OnBoxClicked(int controlId)
{
    SetModified(true);
    if (controlId == IDC_ALLOW_SHUTDOWN && !m_restartWarningShown) {
        m_restartWarningShown = true;
        vlt::ShowMessageBox(L"You will need to restart services for this change to have effect", MB_ICONINFORMATION,
                            this);
    }
}

void CProgOptPP_Gen::SetModified(bool modified)
{
    if (m_modified == modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

void CProgOptPP_Gen::OnApply()
{
    const uint32_t before = m_options.Flags();
    m_options.Set(CProgramOptions::kRunAtLogOn, m_runAtLogOn->isChecked());
    m_options.Set(CProgramOptions::kAutoStartServices, m_autoStart->isChecked());
    m_options.Set(CProgramOptions::kMinimizeToTray, m_minimizeToTray->isChecked());
    m_options.Set(CProgramOptions::kAllowShutdown, m_allowShutdown->isChecked());
    SetModified(false);
    ApplyRunAtLogOn(before);
    // Stored at once as well as at exit: after a crash the options would
    // otherwise be lost while the log-on entry of bit 0x1 stays.
    std::string error;
    if (!m_options.Save(&error))
        vlt::ShowMessageBox(L"The program options could not be saved: " + vlt::Utf8ToWide(error), MB_ICONWARNING,
                            this);
}

void CProgOptPP_Gen::ApplyRunAtLogOn(uint32_t flagsBefore)
{
    std::string error;
    if (m_options.UpdateRunList(flagsBefore, m_programPath, &error))
        return;
    // The entry is as it was (it is replaced whole or not at all).
    const bool was = (flagsBefore & CProgramOptions::kRunAtLogOn) != 0;
    m_options.Set(CProgramOptions::kRunAtLogOn, was);
    m_runAtLogOn->setChecked(was);
    vlt::ShowMessageBox(L"The start at log-on could not be changed: " + vlt::Utf8ToWide(error), MB_ICONWARNING, this);
}

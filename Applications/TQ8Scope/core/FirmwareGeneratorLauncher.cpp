#include "FirmwareGeneratorLauncher.h"

#include <QFileInfo>
#include <QProcess>

#include "CSingleInstance.h"
#include "MessageBox.h"
#include "TextConv.h"

FwGenLaunch LaunchFirmwareGenerator(const std::wstring& installPath, QWidget* parent, const std::wstring& windowTitle)
{
    if (CSingleInstance::RaiseRunning(windowTitle, 2000))
        return FwGenLaunch::Raised;
    // Only the install folder: a program of that name in the current folder
    // is not ours to start.
    const QString path = QString::fromStdString(vlt::WideToUtf8(installPath + L"/" + kFwGenProgramName));
    QFileInfo info(path);
    if (installPath.empty() || !info.isFile()) {
        vlt::ShowMessageBox(L"Could not find executable", MB_ICONERROR, parent);
        return FwGenLaunch::NotFound;
    }
    QProcess process;
    process.setProgram(path);
    QString error;
    if (!info.isExecutable() || !process.startDetached()) {
        error = info.isExecutable() ? process.errorString() : QStringLiteral("Permission denied");
        vlt::ShowMessageBox(L"Failed to start " + vlt::Utf8ToWide(path.toStdString()) + L": "
                                + vlt::Utf8ToWide(error.toStdString()),
                            MB_ICONERROR, parent);
        return FwGenLaunch::StartFailed;
    }
    return FwGenLaunch::Started;
}

#include "DocumentToolWindows.h"

#include <new>

#include <QApplication>

#include "CAdcCalDlg.h"
#include "CDevStatsDlg.h"
#include "CFreqDomainDlg.h"
#include "CFreqDomainDocHost.h"
#include "CFirmwareUploadDlg.h"
#include "CMainDoc.h"
#include "CRegCacheDlg.h"
#include "CSaveBrdDataDlg.h"
#include "CSdRegIoDlg.h"

void RegisterDocumentToolWindows()
{
    CMainDoc::ToolWindowFactories& factories = CMainDoc::Factories();
    factories.freqDomain = [](CMainDoc& doc, QWidget* parent) -> IFreqDomainWindow* {
        try {
            return new CFreqDomainDlg(parent, std::make_unique<CFreqDomainDocHost>(doc));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    };
    factories.driverStatistics = [](CMainDoc& doc, QWidget* parent) -> QWidget* {
        // The document owns the window; a null result is its failure message.
        try {
            return new CDevStatsDlg(parent, doc.GetDeviceHandle());
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    };
    factories.registerCache = [](CMainDoc& doc, QWidget* parent) -> QWidget* {
        try {
            return new CRegCacheDlg(parent, doc.GetDeviceHandle());
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    };
    factories.serialDeviceIo = [](CMainDoc& doc, QWidget* parent) -> QWidget* {
        try {
            return new CSdRegIoDlg(parent, doc.GetDeviceHandle());
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    };
    factories.firmwareUpload = [](CMainDoc& doc, const std::wstring& path, QWidget* parent) -> QWidget* {
        // The window deletes itself when it closes and then tells the document.
        try {
            auto* window = new CFirmwareUploadDlg(&doc, doc.GetDeviceHandle(), path, parent);
            window->Initialise();
            return window;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    };
    factories.calibrateAdcs = [](CMainDoc& doc, int32_t& adcChoice) {
        CAdcCalDlg dialog(QApplication::activeWindow(), doc.GetDeviceHandle(), adcChoice);
        dialog.exec();
        adcChoice = dialog.GetAdcChoice();
    };
    factories.saveBoardData = [](CMainDoc& doc) {
        CSaveBrdDataDlg dialog(QApplication::activeWindow(), doc);
        dialog.exec();
    };
}

#pragma once
// What the device manager asks of the documents, the application and the
// workspace around it. The workspace implements it and forwards each call
// to CMainDoc, CMainApp and itself.
#include <cstdint>

#include "TQ8_64.h"

class CMainDoc;

class IDeviceManagerHost {
public:
    virtual ~IDeviceManagerHost() = default;

    // Closes the document's window; the document may release its board
    // from inside (CMainDoc::CloseChildFrame).
    virtual void CloseDocumentFrame(CMainDoc* doc) = 0;
    // CMainDoc::RefreshControllerFlag.
    virtual void RefreshControllerFlag(CMainDoc* doc) = 0;
    // CMainDoc::SetControlled: controller is the board's new controller or null.
    virtual void SetDocumentControlled(CMainDoc* doc, TQ8_HANDLE controller) = 0;
    // The document updates all its views with the hint.
    virtual void UpdateDocumentViews(CMainDoc* doc, int hint) = 0;
    // CMainApp::NotifyAllDocuments (appnotify::...).
    virtual void NotifyAllDocuments(int type) = 0;
    virtual void SetWorkspaceModified() = 0;
    virtual void RefreshRecordingWindow() = 0;
    // The application flags of the options (opts::kAppFlag...).
    virtual uint32_t GetAppFlags() = 0;
};

#pragma once
// Shared by the device-manager and recording-parameter tests: the simulated
// device library, a recording host and a way to answer modal dialogs.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include "CDeviceManagerTQ8.h"
#include "IDeviceManagerHost.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"

namespace devmgr_test {

// The simulator is built by its own library; until it answers, the tests
// that need boards are skipped rather than failed.
inline bool SimulatorAvailable()
{
    return TQ8Sim_SetTimeFactor(1.0) != TQ8_ERR_NOT_SUPPORTED;
}

#define DEVMGR_REQUIRE_SIMULATOR()                                                  \
    do {                                                                            \
        if (!devmgr_test::SimulatorAvailable())                                     \
            GTEST_SKIP() << "the simulated device library is not available yet";    \
    } while (0)

inline void EnsureQtApp()
{
    static int argc = 1;
    static char name[] = "tq8scope_core_tests";
    static char* argv[] = {name, nullptr};
    // Widgets need no display here, whatever the test runner passed on.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
    (void)app;
}

// Stand-in documents: distinct addresses the manager only passes on.
inline CMainDoc* Doc(int i)
{
    alignas(8) static char tokens[16];
    return reinterpret_cast<CMainDoc*>(&tokens[i]);
}

// Records what the manager asks of its surroundings. Closing a document's
// window releases its board from inside, as the real document does.
class RecordingHost : public IDeviceManagerHost {
public:
    explicit RecordingHost(CDeviceManagerTQ8* devices = nullptr) : m_devices(devices) {}

    void CloseDocumentFrame(CMainDoc* doc) override
    {
        closed.push_back(doc);
        if (!m_devices || !releaseOnClose)
            return;
        CDeviceManagerTQ8::HandleList all;
        m_devices->GetDevices(all, CDeviceManagerTQ8::kAllDevices);
        for (TQ8_HANDLE h : all)
            if (m_devices->GetDocument(h) == doc)
                m_devices->ReleaseDevice(h);
    }
    void RefreshControllerFlag(CMainDoc* doc) override { ++controllerRefreshes[doc]; }
    void SetDocumentControlled(CMainDoc* doc, TQ8_HANDLE controller) override { controlledOf[doc] = controller; }
    void UpdateDocumentViews(CMainDoc* doc, int hint) override { hints[doc].push_back(hint); }
    void NotifyAllDocuments(int type) override { notifications.push_back(type); }
    void SetWorkspaceModified() override { ++modified; }
    void RefreshRecordingWindow() override { ++recordingRefreshes; }
    uint32_t GetAppFlags() override { return appFlags; }

    bool releaseOnClose = true;
    uint32_t appFlags = 0;
    std::vector<CMainDoc*> closed;
    std::map<CMainDoc*, int> controllerRefreshes;
    std::map<CMainDoc*, TQ8_HANDLE> controlledOf;
    std::map<CMainDoc*, std::vector<int>> hints;
    std::vector<int> notifications;
    int modified = 0;
    int recordingRefreshes = 0;

private:
    CDeviceManagerTQ8* m_devices;
};

// While it lives, runs action once on the next modal dialog that comes up.
class DialogAnswer {
public:
    explicit DialogAnswer(std::function<void(QDialog*)> action) : m_action(std::move(action))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            m_timer.stop();
            m_action(dlg);
        });
        m_timer.start();
    }
    DialogAnswer(const DialogAnswer&) = delete;
    DialogAnswer& operator=(const DialogAnswer&) = delete;

private:
    std::function<void(QDialog*)> m_action;
    QTimer m_timer;
};

// Answers the device selection while it lives: the choice is made from the
// candidates (kind and exclusions applied); an empty choice cancels.
class SelectionAnswer {
public:
    using HandleList = CDeviceManagerTQ8::HandleList;
    explicit SelectionAnswer(std::function<HandleList(const HandleList& candidates)> choose)
        : m_previous(CDeviceManagerTQ8::SelectionDialogFactory())
    {
        CDeviceManagerTQ8::SelectionDialogFactory() = [choose](CDeviceManagerTQ8& devices,
                                                               const CDeviceManagerTQ8::SelectionRequest& request,
                                                               HandleList& chosen) {
            HandleList candidates;
            devices.GetDevices(candidates, request.kind, request.exclude);
            chosen = choose(candidates);
            return !chosen.empty();
        };
    }
    ~SelectionAnswer() { CDeviceManagerTQ8::SelectionDialogFactory() = m_previous; }
    SelectionAnswer(const SelectionAnswer&) = delete;
    SelectionAnswer& operator=(const SelectionAnswer&) = delete;

private:
    CDeviceManagerTQ8::SelectionDialog m_previous;
};

inline std::string BoardXml(uint32_t serial, int masterSlave)
{
    return "<Board serial=\"" + std::to_string(serial) + "\" masterSlave=\"" + std::to_string(masterSlave) + "\"/>";
}

// Declares local boards: (serial, master/slave configuration) pairs.
inline bool DeclareBoards(const std::vector<std::pair<uint32_t, int>>& boards)
{
    std::string xml = "<TQ8Sim>";
    for (const auto& [serial, ms] : boards)
        xml += BoardXml(serial, ms);
    xml += "</TQ8Sim>";
    return TQ8Sim_LoadConfigString(xml.c_str()) == TQ8_OK;
}

} // namespace devmgr_test

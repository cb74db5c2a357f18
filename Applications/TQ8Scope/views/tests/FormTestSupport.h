#pragma once
// Forms on board documents of simulated boards: what the documents would
// show in the status bar and which hints they send are recorded, boxes and
// beeps are counted, and the forms live in a shown, active window so that
// the keyboard focus moves as it does for a user.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "CVltHub6Mgr.h"
#include "DocTestSupport.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "FormControls.h"
#include "MessageBox.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"

namespace form_test {

using doc_test::Drain;
using doc_test::PumpUntil;

// The error box's text for a failed call.
inline std::wstring BoxText(int32_t code, const wchar_t* prefix, TQ8_HANDLE device = nullptr)
{
    std::wstring text;
    FormatDeviceErrorText(text, code, prefix, device);
    return text;
}

class FormDoc : public CMainDoc {
public:
    struct Hint {
        int hint;
        IDocView* sender;
    };
    using CMainDoc::CMainDoc;

    void ShowStatusText(const std::wstring& text, unsigned timeoutMs) override
    {
        texts.push_back(text);
        timeouts.push_back(timeoutMs);
    }
    void UpdateAllViews(int hint, void* object = nullptr, IDocView* sender = nullptr) override
    {
        hints.push_back({hint, sender});
        CMainDoc::UpdateAllViews(hint, object, sender);
    }
    bool IsUnsafeMode() const override { return unsafe; }
    CVltHub6Mgr* SyncManager() const override { return syncManager; }

    std::wstring LastText() const { return texts.empty() ? std::wstring() : texts.back(); }
    size_t CountTexts(const std::wstring& text) const { return size_t(std::count(texts.begin(), texts.end(), text)); }
    size_t CountHints(int hint) const
    {
        return size_t(std::count_if(hints.begin(), hints.end(), [hint](const Hint& h) { return h.hint == hint; }));
    }

    std::vector<std::wstring> texts;
    std::vector<unsigned> timeouts;
    std::vector<Hint> hints;
    bool unsafe = false;
    CVltHub6Mgr* syncManager = nullptr;
};

class FormTest : public ::testing::Test {
protected:
    static constexpr uint32_t kSerial = 1600;

    void SetUp() override
    {
        App();
        const char* base = std::getenv("VLT_TEST_TMP");
        m_registry = std::filesystem::path(base ? base : "/tmp") / ("views_reg_" + std::to_string(getpid()));
        setenv("VLT_REGISTRY_DIR", m_registry.c_str(), 1);
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
        m_previousBeep = vlt::SetErrorBeepHandler([this] { ++beeps; });
        devices = std::make_unique<CDeviceManagerTQ8>();
    }
    void TearDown() override
    {
        window.reset();
        docs.clear();
        devices.reset();
        vlt::SetErrorBeepHandler(m_previousBeep);
        TQ8Sim_Reset();
        std::filesystem::remove_all(m_registry);
        unsetenv("VLT_REGISTRY_DIR");
    }
    FormDoc& NewDoc(TQ8_HANDLE device = nullptr)
    {
        if (!device)
            device = devices->ConnectVirtualDevice();
        EXPECT_NE(device, nullptr);
        docs.push_back(std::make_unique<FormDoc>(nullptr, devices.get(), device, docstate::kLimitPlotData));
        return *docs.back();
    }
    // A local board with the description changed by shape.
    template <class Shape>
    FormDoc& NewLocalDoc(uint32_t serial, Shape shape)
    {
        TQ8SIM_BOARD_DESC desc{};
        TQ8Sim_DefaultBoardDesc(&desc, serial);
        shape(desc);
        EXPECT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        return NewDoc(devices->ConnectLocalDevice(serial));
    }
    // Shows the form in an active window of its own; returns it.
    template <class Form>
    Form& Show(Form* form)
    {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        form->setParent(window.get());
        layout->addWidget(form);
        window->resize(form->sizeHint().expandedTo(QSize(640, 320)));
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return *form;
    }
    // A form of the document, shown and initialised as its frame does.
    template <class Form>
    Form& NewForm(FormDoc& doc)
    {
        auto& form = Show(new Form(doc));
        form.OnInitialUpdate();
        return form;
    }
    void Focus(QWidget* w)
    {
        w->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
    }
    // Types text into the field as the user does and presses Enter.
    void Enter(QLineEdit* edit, const char* text)
    {
        Focus(edit);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    // Chooses a combo item as the user does.
    void Choose(QComboBox* combo, int index)
    {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    vlt::MessageBoxRecorder boxes;
    int beeps = 0;
    std::unique_ptr<CDeviceManagerTQ8> devices;
    std::vector<std::unique_ptr<FormDoc>> docs;
    std::unique_ptr<QWidget> window;

private:
    std::filesystem::path m_registry;
    std::function<void()> m_previousBeep;
};

} // namespace form_test

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "CForm_Action.h"
#include "CLabel.h"
#include "CSysLink.h"
#include "FormTestSupport.h"
#include "TimerSet.h"
#include "ValueFormat.h"

namespace {

using form_test::FormDoc;

class ActionFormTest : public form_test::FormTest {
protected:
    CForm_Action& NewForm(FormDoc& doc)
    {
        auto& form = Show(new CForm_Action(doc));
        form.OnInitialUpdate();
        return form;
    }
    QPushButton* StartButton(CForm_Action& form) { return qobject_cast<QPushButton*>(form.Item(CForm_Action::kStartStopId)); }
    QCheckBox* Continuous(CForm_Action& form) { return qobject_cast<QCheckBox*>(form.Item(CForm_Action::kContinuousId)); }
    CSysLink* Link(CForm_Action& form, int id) { return qobject_cast<CSysLink*>(form.Item(id)); }
    QString PerSecond(CForm_Action& form) { return qobject_cast<QLabel*>(form.Item(CForm_Action::kPerSecondId))->text(); }
};

TEST_F(ActionFormTest, ShowsTheBoardAndItsRate)
{
    FormDoc& doc = NewDoc();
    CForm_Action& form = NewForm(doc);
    EXPECT_EQ(doc.GetActionForm(), &form);
    CLabel* name = form.GetNameLabel();
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->GetText(), ToQt(doc.GetDeviceDisplayName(true)));
    EXPECT_EQ(name->GetBkColor(), QApplication::palette().color(QPalette::Active, QPalette::Highlight));
    EXPECT_TRUE(name->font().bold());
    EXPECT_LE(name->font().pointSizeF(), 10.7);
    EXPECT_EQ(qobject_cast<QLabel*>(form.Item(CForm_Action::kRateId))->text(), ToQt(FormatFrequencyMHz(doc.GetAcquisitionRate(false))));
    EXPECT_EQ(StartButton(form)->text(), QStringLiteral("&Acquire and Display Data"));

    // One device: no controller link. A virtual board has the sync device's
    // input, so its sync link shows.
    for (int id : {CForm_Action::kControllerLinkId, CForm_Action::kControllerLabelId})
        EXPECT_FALSE(form.Item(id)->isVisible()) << id;
    for (int id : {CForm_Action::kSyncLinkId, CForm_Action::kSyncLabelId})
        EXPECT_TRUE(form.Item(id)->isVisible()) << id;
    devices->ConnectVirtualDevice();
    doc.UpdateAllViews(dochint::kDeviceList);
    EXPECT_TRUE(form.Item(CForm_Action::kControllerLinkId)->isVisible());
    EXPECT_TRUE(form.Item(CForm_Action::kControllerLabelId)->isVisible());

    // The form goes: nothing is addressed to it any more.
    window.reset();
    EXPECT_EQ(doc.GetActionForm(), nullptr);
}

TEST_F(ActionFormTest, ExternallySynchronisedBoardShowsItsLink)
{
    FormDoc& doc = NewLocalDoc(61, [](TQ8SIM_BOARD_DESC& d) { d.syncConfig = 1; });
    CForm_Action& form = NewForm(doc);
    EXPECT_TRUE(form.Item(CForm_Action::kSyncLinkId)->isVisible());
    // Without the sync device's software (none is registered here).
    EXPECT_EQ(Link(form, CForm_Action::kSyncLinkId)->GetMarkup(), L"Not available");
}

TEST_F(ActionFormTest, ControllerAndControlledBoards)
{
    FormDoc& controller = NewDoc();
    FormDoc& controlled = NewDoc();
    CForm_Action& form = NewForm(controlled);
    EXPECT_EQ(Link(form, CForm_Action::kControllerLinkId)->GetMarkup(), L"<a>None</a>");
    ASSERT_TRUE(devices->SetController(controlled.GetDeviceHandle(), controller.GetDeviceHandle()));
    controlled.SetControlled(controller.GetDeviceHandle());
    controller.RefreshControllerFlag();
    EXPECT_EQ(Link(form, CForm_Action::kControllerLinkId)->GetMarkup(),
              L"<a>" + controlled.GetDeviceDisplayName(true, controller.GetDeviceHandle()) + L"</a>");
    EXPECT_EQ(StartButton(form)->text(), QStringLiteral("Controlled Device"));
    EXPECT_FALSE(StartButton(form)->isEnabled());
    EXPECT_FALSE(Continuous(form)->isEnabled());
    // Also while it acquires.
    controlled.UpdateAllViews(dochint::kAcquisitionState, &controlled);
    EXPECT_EQ(StartButton(form)->text(), QStringLiteral("Controlled Device"));
    EXPECT_FALSE(StartButton(form)->isEnabled());
    controlled.UpdateAllViews(dochint::kAcquisitionState, nullptr);

    // A controller's link only beeps.
    CForm_Action& controllerForm = NewForm(controller);
    EXPECT_EQ(Link(controllerForm, CForm_Action::kControllerLinkId)->GetMarkup(), L"None; This device is a controller");
    emit Link(controllerForm, CForm_Action::kControllerLinkId)->linkActivated(QStringLiteral("0"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ActionFormTest, ControllerIsChosenFromTheOtherBoards)
{
    FormDoc& candidate = NewDoc();
    FormDoc& doc = NewDoc();
    CForm_Action& form = NewForm(doc);
    devices->SetInteractive(true);
    std::wstring prompt;
    int rows = 0;
    const auto previous = CDeviceManagerTQ8::SelectionDialogFactory();
    CDeviceManagerTQ8::SelectionDialogFactory() = [&](CDeviceManagerTQ8& devs,
                                                       const CDeviceManagerTQ8::SelectionRequest& request,
                                                       CDeviceManagerTQ8::HandleList& chosen) {
        prompt = request.prompt;
        CDeviceManagerTQ8::HandleList candidates;
        devs.GetDevices(candidates, request.kind, request.exclude);
        rows = int(candidates.size()) + ((request.flags & CDeviceManagerTQ8::kSelNoDeviceRow) ? 1 : 0);
        if (candidates.empty())
            return false;
        chosen = {candidates.back()};
        return true;
    };
    emit Link(form, CForm_Action::kControllerLinkId)->linkActivated(QStringLiteral("0"));
    CDeviceManagerTQ8::SelectionDialogFactory() = previous;
    EXPECT_EQ(prompt, L"Please select a controller for this device. When a controller acquires data, all controlled "
                      L"devices will also acquire.");
    // "<No device>" and the one other board.
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(devices->GetController(doc.GetDeviceHandle()), candidate.GetDeviceHandle());
    // Only the first link of a text acts.
    emit Link(form, CForm_Action::kControllerLinkId)->linkActivated(QStringLiteral("1"));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ActionFormTest, StartStopAndTheActivityDelay)
{
    FormDoc& doc = NewDoc();
    CForm_Action& form = NewForm(doc);
    // Each start gives one completion to the document.
    for (uint32_t n = 1; n <= 3; ++n) {
        QTest::mouseClick(StartButton(form), Qt::LeftButton);
        EXPECT_TRUE(form.Timers().IsActive(CForm_Action::kActivityTimer));
        ASSERT_TRUE(form_test::PumpUntil([&] { return doc.IsIdle(); }));
        form_test::Drain();
        EXPECT_EQ(doc.GetAcquisitionCount(), 1u);
    }
    size_t completions = 0;
    for (const std::wstring& t : doc.texts)
        completions += t.rfind(L"Acquisition complete: ", 0) == 0;
    EXPECT_EQ(completions, 3u);
    // Shorter than 400 ms: never shown as running, and the delay is gone.
    EXPECT_FALSE(doc.GetStateFlags() & docstate::kShownAcquiring);
    EXPECT_FALSE(form.Timers().IsActive(CForm_Action::kActivityTimer));
    form.Timers().Expire(CForm_Action::kActivityTimer);
    EXPECT_FALSE(doc.GetStateFlags() & docstate::kShownAcquiring);

    // A long one is shown as running after the delay, then cancelled.
    TQ8Sim_SetTimeFactor(1000.0);
    doc.SetSampleCount(8u << 20);
    QTest::mouseClick(StartButton(form), Qt::LeftButton);
    ASSERT_TRUE(form_test::PumpUntil([&] { return (doc.GetStateFlags() & docstate::kShownAcquiring) != 0; }));
    EXPECT_EQ(StartButton(form)->text(), QStringLiteral("C&ancel Acquisition"));
    EXPECT_FALSE(Continuous(form)->isEnabled());
    QTest::mouseClick(StartButton(form), Qt::LeftButton);
    ASSERT_TRUE(form_test::PumpUntil([&] { return doc.IsIdle(); }));
    form_test::Drain();
    EXPECT_EQ(StartButton(form)->text(), QStringLiteral("&Acquire and Display Data"));
    EXPECT_EQ(doc.LastText(), L"Acquisition cancelled");
}

TEST_F(ActionFormTest, ContinuousModeCountsAcquisitionsPerSecond)
{
    FormDoc& doc = NewDoc();
    CForm_Action& form = NewForm(doc);
    Continuous(form)->click();
    QTest::mouseClick(StartButton(form), Qt::LeftButton);
    ASSERT_TRUE(doc.IsContinuousMode());
    EXPECT_EQ(StartButton(form)->text(), QStringLiteral("C&ancel Continuous Mode"));
    EXPECT_TRUE(form.Timers().IsActive(CForm_Action::kRateTimer));
    // The main frame's loop restarts the board; here the test does.
    auto runUntil = [&](uint32_t count) {
        return form_test::PumpUntil([&] {
            if (doc.GetStateFlags() & docstate::kAcquiring)
                return false;
            if (doc.GetAcquisitionCount() >= count)
                return true;
            doc.StartAcquisition();
            return false;
        });
    };
    ASSERT_TRUE(runUntil(3));
    const uint32_t first = doc.GetAcquisitionCount();
    form.Timers().Expire(CForm_Action::kRateTimer);
    EXPECT_EQ(PerSecond(form), ToQt(std::to_wstring(first) + L" acquisitions per second"));
    ASSERT_TRUE(runUntil(first + 1));
    form.Timers().Expire(CForm_Action::kRateTimer);
    EXPECT_EQ(PerSecond(form),
              ToQt(std::to_wstring(doc.GetAcquisitionCount() - first) +
                (doc.GetAcquisitionCount() - first == 1 ? L" acquisition per second" : L" acquisitions per second")));

    QTest::mouseClick(StartButton(form), Qt::LeftButton);
    ASSERT_TRUE(form_test::PumpUntil([&] { return doc.IsIdle(); }));
    form_test::Drain();
    EXPECT_FALSE(form.Timers().IsActive(CForm_Action::kRateTimer));
    EXPECT_TRUE(PerSecond(form).isEmpty());
    EXPECT_TRUE(Continuous(form)->isChecked());

    // A start that fails ends continuous mode and clears the box.
    ASSERT_EQ(TQ8Sim_InjectResult("DuplicateHandleTQ8", TQ8_ERR_NO_MEMORY, 1), TQ8_OK);
    doc.StopAcquisitionThread();
    QTest::mouseClick(StartButton(form), Qt::LeftButton);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_FALSE(Continuous(form)->isChecked());
    EXPECT_FALSE(doc.IsContinuousMode());
}

TEST_F(ActionFormTest, ButtonsAndWorkspaceState)
{
    FormDoc& doc = NewDoc();
    CForm_Action& form = NewForm(doc);
    QTest::mouseClick(qobject_cast<QPushButton*>(form.Item(CForm_Action::kForceTriggerId)), Qt::LeftButton);
    EXPECT_EQ(doc.LastText(), L"Software trigger event issued");
    ASSERT_EQ(TQ8Sim_InjectResult("IssueSoftwareTriggerTQ8", TQ8_ERR_BUSY, 1), TQ8_OK);
    QTest::mouseClick(qobject_cast<QPushButton*>(form.Item(CForm_Action::kForceTriggerId)), Qt::LeftButton);
    EXPECT_EQ(boxes.LastText(),
              form_test::BoxText(TQ8_ERR_BUSY, L"Failed to issue software trigger: ", doc.GetDeviceHandle()));
    qobject_cast<QCheckBox*>(form.Item(CForm_Action::kAlwaysForceTriggerId))->click();
    EXPECT_TRUE(doc.IsAlwaysForceTrigger());

    Continuous(form)->click();
    doc.UpdateAllViews(dochint::kBeforeWorkspaceSave);
    EXPECT_EQ(doc.GetWsData().ActionContinuous, 1);
    EXPECT_TRUE(doc.IsModified());
    doc.GetWsData().ActionContinuous = 0;
    doc.UpdateAllViews(dochint::kAfterWorkspaceLoad);
    EXPECT_FALSE(Continuous(form)->isChecked());
}

} // namespace

#include <gtest/gtest.h>

#include <array>

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTest>

#include "LockKeyIndicators.h"
#include "LockKeyState.h"
#include "TestApp.h"

using vlt::LockKeyIndicators;
using vlt::LockKeyState;

namespace {

class LockKeys : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    void TearDown() override { vlt::SetLockKeyStateForTest(std::nullopt); }
};

// Lit panes, in the order CAP, NUM, SCRL.
std::array<bool, 3> Lit(const LockKeyIndicators& indicators)
{
    return {indicators.Pane(LockKeyIndicators::ID_INDICATOR_CAPS)->isEnabled(),
            indicators.Pane(LockKeyIndicators::ID_INDICATOR_NUM)->isEnabled(),
            indicators.Pane(LockKeyIndicators::ID_INDICATOR_SCRL)->isEnabled()};
}

} // namespace

TEST_F(LockKeys, WithoutAKeyboardStateEveryLockIsOff)
{
    // The offscreen platform has no keyboard indicators to read.
    if (QGuiApplication::platformName() != QStringLiteral("offscreen"))
        GTEST_SKIP() << "runs on the offscreen platform";
    EXPECT_EQ(vlt::GetLockKeyState(), LockKeyState{});
    EXPECT_EQ(vlt::SetLockKeyStateForTest(LockKeyState{true, false, true}), std::nullopt);
    EXPECT_EQ(vlt::GetLockKeyState(), (LockKeyState{true, false, true}));
    EXPECT_EQ(vlt::SetLockKeyStateForTest(std::nullopt), (LockKeyState{true, false, true}));
    EXPECT_EQ(vlt::GetLockKeyState(), LockKeyState{});
}

TEST_F(LockKeys, PanesFollowTheAddedOnesAndLightWithTheirLocks)
{
    QMainWindow window;
    auto* message = new QLabel(QStringLiteral("Ready"));
    window.statusBar()->addWidget(message, 1);
    vlt::SetLockKeyStateForTest(LockKeyState{false, true, false});
    auto* indicators = new LockKeyIndicators(window.statusBar());
    auto* modified = new QLabel(QStringLiteral("MODIFIED"));
    window.statusBar()->addPermanentWidget(modified);
    window.resize(600, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QLabel* caps = indicators->Pane(LockKeyIndicators::ID_INDICATOR_CAPS);
    QLabel* num = indicators->Pane(LockKeyIndicators::ID_INDICATOR_NUM);
    QLabel* scroll = indicators->Pane(LockKeyIndicators::ID_INDICATOR_SCRL);
    EXPECT_EQ(indicators->Pane(0), nullptr);
    EXPECT_EQ(caps->text(), QStringLiteral("CAP"));
    EXPECT_EQ(num->text(), QStringLiteral("NUM"));
    EXPECT_EQ(scroll->text(), QStringLiteral("SCRL"));
    EXPECT_EQ(caps->objectName(), QStringLiteral("59137"));
    EXPECT_EQ(num->objectName(), QStringLiteral("59138"));
    EXPECT_EQ(scroll->objectName(), QStringLiteral("59139"));
    EXPECT_LT(message->x(), caps->x());
    EXPECT_LT(caps->x(), num->x());
    EXPECT_LT(num->x(), scroll->x());
    EXPECT_LT(scroll->x(), modified->x());
    for (QLabel* pane : {caps, num, scroll})
        EXPECT_GE(pane->width(), pane->fontMetrics().horizontalAdvance(pane->text())) << pane->text().toStdString();
    EXPECT_EQ(Lit(*indicators), (std::array{false, true, false})) << "read when made";

    // A lock key anywhere in the program reads the state again, pressed or released.
    vlt::SetLockKeyStateForTest(LockKeyState{true, true, false});
    QTest::keyPress(message, Qt::Key_CapsLock);
    EXPECT_EQ(Lit(*indicators), (std::array{true, true, false}));
    vlt::SetLockKeyStateForTest(LockKeyState{true, false, false});
    QTest::keyRelease(message, Qt::Key_NumLock);
    EXPECT_EQ(Lit(*indicators), (std::array{true, false, false}));
    // Other keys do not.
    vlt::SetLockKeyStateForTest(LockKeyState{false, false, true});
    QTest::keyClick(message, Qt::Key_A);
    EXPECT_EQ(Lit(*indicators), (std::array{true, false, false}));
    QTest::keyClick(message, Qt::Key_ScrollLock);
    EXPECT_EQ(Lit(*indicators), (std::array{false, false, true}));

    // Nor does another window's activation; the bar's own window's does.
    vlt::SetLockKeyStateForTest(LockKeyState{true, true, true});
    QWidget other;
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&other, &activate);
    EXPECT_EQ(Lit(*indicators), (std::array{false, false, true}));
    QCoreApplication::sendEvent(&window, &activate);
    EXPECT_EQ(Lit(*indicators), (std::array{true, true, true}));
}

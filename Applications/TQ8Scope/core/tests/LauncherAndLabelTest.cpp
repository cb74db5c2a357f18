#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>

#include <QImage>
#include <QTest>
#include <QThread>

#include <unistd.h>

#include "CLabel.h"
#include "CSingleInstance.h"
#include "FirmwareGeneratorLauncher.h"
#include "MessageBox.h"
#include "TestApp.h"
#include "TextConv.h"

namespace {

// A stand-in generator: a script that leaves a marker file when started.
std::wstring WriteFakeGenerator(const ScratchDir& dir, const std::string& marker)
{
    std::string path = dir.Str() + "/UserFwGenTQ8";
    {
        std::ofstream script(path);
        script << "#!/bin/sh\necho started > '" << marker << "'\n";
    }
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return vlt::Utf8ToWide(dir.Str());
}

// A window title of this test program's own, so that tests running at the
// same time, or a real generator, do not answer for it.
std::wstring TestTitle()
{
    return std::wstring(kFwGenWindowTitle) + L" (test " + std::to_wstring(getpid()) + L")";
}

// A running generator: the title claimed on a thread of its own, as another
// process would hold it. A generator started while another runs takes the
// title when that one ends.
class RunningGenerator {
public:
    explicit RunningGenerator(bool startedSecond = false)
    {
        m_thread.start();
        m_holder = new CSingleInstance(TestTitle());
        m_holder->moveToThread(&m_thread);
        QObject::connect(m_holder, &CSingleInstance::raiseRequested, m_holder, [this] { ++raised; },
                         Qt::DirectConnection);
        QMetaObject::invokeMethod(
            m_holder, [this, startedSecond] { claimed = startedSecond ? m_holder->ClaimWhenFree() : m_holder->Claim(); },
            Qt::BlockingQueuedConnection);
    }
    bool IsClaimed()
    {
        bool held = false;
        QMetaObject::invokeMethod(m_holder, [this, &held] { held = m_holder->IsClaimed(); }, Qt::BlockingQueuedConnection);
        return held;
    }
    ~RunningGenerator()
    {
        QMetaObject::invokeMethod(m_holder, [this] { delete m_holder; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool claimed = false;
    std::atomic<int> raised{0};

private:
    QThread m_thread;
    CSingleInstance* m_holder;
};

} // namespace

TEST(FirmwareGenerator, WindowTitleAndProgramName)
{
    EXPECT_STREQ(kFwGenWindowTitle, L"TQ3300 User Firmware File Generator");
    EXPECT_STREQ(kFwGenProgramName, L"UserFwGenTQ8");
}

TEST(FirmwareGenerator, StartedFromTheInstallFolder)
{
    App();
    ScratchDir dir;
    const std::string marker = dir.Str() + "/started.txt";
    const std::wstring install = WriteFakeGenerator(dir, marker);
    vlt::MessageBoxRecorder boxes;
    EXPECT_EQ(LaunchFirmwareGenerator(install, nullptr, TestTitle()), FwGenLaunch::Started);
    EXPECT_EQ(boxes.Count(), 0u);
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(marker), 10000);
}

TEST(FirmwareGenerator, RunningGeneratorIsRaisedInstead)
{
    App();
    ScratchDir dir;
    const std::string marker = dir.Str() + "/started.txt";
    const std::wstring install = WriteFakeGenerator(dir, marker);
    RunningGenerator running;
    ASSERT_TRUE(running.claimed);
    EXPECT_EQ(LaunchFirmwareGenerator(install, nullptr, TestTitle()), FwGenLaunch::Raised);
    EXPECT_EQ(running.raised.load(), 1);
    QTest::qWait(100);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(FirmwareGenerator, OfTwoRunningGeneratorsOneIsRaisedAndNoneStarted)
{
    App();
    ScratchDir dir;
    const std::string marker = dir.Str() + "/started.txt";
    const std::wstring install = WriteFakeGenerator(dir, marker);
    auto first = std::make_unique<RunningGenerator>();
    ASSERT_TRUE(first->claimed);
    RunningGenerator second(true);
    EXPECT_FALSE(second.claimed);
    EXPECT_EQ(LaunchFirmwareGenerator(install, nullptr, TestTitle()), FwGenLaunch::Raised);
    EXPECT_EQ(first->raised.load(), 1);
    // The first one ends: the second holds the title and is the one raised.
    first.reset();
    QTRY_VERIFY_WITH_TIMEOUT(second.IsClaimed(), 10000);
    EXPECT_EQ(LaunchFirmwareGenerator(install, nullptr, TestTitle()), FwGenLaunch::Raised);
    EXPECT_EQ(second.raised.load(), 1);
    QTest::qWait(100);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(FirmwareGenerator, MissingProgramIsReported)
{
    App();
    ScratchDir dir;
    vlt::MessageBoxRecorder boxes;
    EXPECT_EQ(LaunchFirmwareGenerator(vlt::Utf8ToWide(dir.Str()), nullptr, TestTitle()), FwGenLaunch::NotFound);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Could not find executable");
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONERROR);
    // No install folder: nothing is looked up in the current folder.
    EXPECT_EQ(LaunchFirmwareGenerator(L"", nullptr, TestTitle()), FwGenLaunch::NotFound);
}

TEST(FirmwareGenerator, FailedStartIsReported)
{
    App();
    ScratchDir dir;
    std::ofstream(dir.Str() + "/UserFwGenTQ8") << "not a program";
    std::filesystem::permissions(dir.Str() + "/UserFwGenTQ8", std::filesystem::perms::owner_read);
    vlt::MessageBoxRecorder boxes;
    EXPECT_EQ(LaunchFirmwareGenerator(vlt::Utf8ToWide(dir.Str()), nullptr, TestTitle()), FwGenLaunch::StartFailed);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to start ", 0), 0u);
}

namespace {

QImage Render(CLabel& label)
{
    QImage image(label.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    label.render(&image);
    return image;
}

// Columns that hold text-coloured pixels: first and last.
std::pair<int, int> InkColumns(const QImage& image, QColor ink)
{
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) == ink) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

} // namespace

TEST(Label, ColoursAndAlignment)
{
    App();
    QWidget parent;
    CLabel left, right;
    ASSERT_TRUE(left.Create(QStringLiteral("ACQ"), SS_LEFT, QRect(0, 0, 200, 24), &parent, 1001));
    ASSERT_TRUE(right.Create(QStringLiteral("ACQ"), SS_RIGHT | SS_CENTERIMAGE, QRect(0, 30, 200, 24), &parent, 1002));
    EXPECT_EQ(right.GetAlignment(), 2u);
    const QColor initialBk = left.GetBkColor();
    EXPECT_EQ(left.SetBkColor(Qt::green), initialBk);
    EXPECT_EQ(left.SetBkColor(Qt::green), QColor(Qt::green));
    left.SetTextColor(Qt::black);
    right.SetBkColor(Qt::green);
    right.SetTextColor(Qt::black);
    QImage l = Render(left);
    QImage r = Render(right);
    EXPECT_EQ(l.pixelColor(1, 1), QColor(Qt::green));
    auto [lFirst, lLast] = InkColumns(l, Qt::black);
    auto [rFirst, rLast] = InkColumns(r, Qt::black);
    ASSERT_GE(lFirst, 0);
    ASSERT_GE(rFirst, 0);
    EXPECT_GE(lFirst, 4);       // 4 pixels of margin on the left
    EXPECT_LE(rLast, 200 - 4);  // and on the right
    EXPECT_LT(lLast, 100);
    EXPECT_GT(rFirst, 100);
}

TEST(Label, EmptyTextIsOnlyBackground)
{
    App();
    CLabel label;
    label.Create(QString(), SS_CENTER, QRect(0, 0, 60, 20), nullptr, 1);
    label.SetBkColor(Qt::red);
    label.SetTextColor(Qt::black);
    QImage image = Render(label);
    EXPECT_EQ(InkColumns(image, Qt::black).first, -1);
    EXPECT_EQ(image.pixelColor(30, 10), QColor(Qt::red));
}

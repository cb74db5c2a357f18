#include <gtest/gtest.h>

#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "ErrorBeep.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "Mnemonic.h"
#include "TestApp.h"

TEST(MessageBox, RecorderAnswersFromQueueThenWithCloseAnswer)
{
    vlt::SetMessageBoxCaption(L"TQ3300 Scope");
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDYES);
    EXPECT_EQ(AfxMessageBox(L"Save now?", MB_YESNOCANCEL | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(AfxMessageBox(L"Again?", MB_YESNOCANCEL | MB_ICONQUESTION), IDCANCEL);
    EXPECT_EQ(AfxMessageBox(L"Sure?", MB_YESNO), IDNO);
    EXPECT_EQ(AfxMessageBox(L"Failed", MB_ICONERROR), IDOK);
    ASSERT_EQ(boxes.Count(), 4u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Save now?");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"TQ3300 Scope");
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONQUESTION);
    EXPECT_EQ(boxes.Boxes()[3].style & MB_TYPEMASK, MB_OK);
}

// A window whose updates are off for a long change is drawn behind its box,
// not left showing what covered it last; its updates are off again after.
TEST(MessageBox, AWindowWithUpdatesOffIsDrawnWhileItsBoxIsUp)
{
    App();
    QWidget window;
    window.show();
    window.setUpdatesEnabled(false);
    int drawnBehind = 0;
    vlt::MessageBoxHandler previous = vlt::SetMessageBoxHandler([&](const vlt::MessageBoxRequest&) {
        drawnBehind += window.updatesEnabled();
        return IDOK;
    });
    vlt::ShowMessageBox(L"Failed to connect to one or more TQ3300 devices", MB_ICONWARNING, &window);
    vlt::SetMessageBoxHandler(previous);
    EXPECT_EQ(drawnBehind, 1);
    EXPECT_FALSE(window.updatesEnabled());
}

TEST(MessageBox, NestedRecordersRestoreTheOuterOne)
{
    vlt::MessageBoxRecorder outer;
    {
        vlt::MessageBoxRecorder inner;
        AfxMessageBox(L"inner");
        EXPECT_EQ(inner.Count(), 1u);
    }
    AfxMessageBox(L"outer");
    ASSERT_EQ(outer.Count(), 1u);
    EXPECT_EQ(outer.LastText(), L"outer");
}

// What the real box shows, read once it is up and the mnemonic rule has
// seen it; the box is then answered with Cancel.
struct ShownBox {
    QString text;
    bool mnemonic = true;
    bool plain = false;
    bool fits = false; // every line within the label's width
};

ShownBox ShowRealBox(const std::wstring& text)
{
    App();
    vlt::InstallMnemonicRule();
    ShownBox shown;
    // Runs once the box's loop has begun: it is shown by then.
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        // After the rule's second look at the shown window.
        QTimer::singleShot(0, box, [&shown, box] {
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            if (label) {
                shown.text = label->text();
                shown.mnemonic = label->buddy() != nullptr;
                shown.plain = label->textFormat() == Qt::PlainText;
                const int width = label->contentsRect().width();
                const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, width, 100000),
                                                                       Qt::TextWordWrap, label->text());
                shown.fits = needed.width() <= width;
            }
            box->done(QMessageBox::Cancel);
        });
    });
    EXPECT_EQ(vlt::ShowMessageBox(text, MB_YESNOCANCEL | MB_ICONQUESTION), IDCANCEL);
    return shown;
}

TEST(MessageBox, ShowsNamesAndPathsAsTheyAre)
{
    const ShownBox folder =
        ShowRealBox(L"Are you sure you want to permanently delete directory 'a&b folder' and all of its contents?");
    EXPECT_EQ(folder.text,
              QStringLiteral("Are you sure you want to permanently delete directory 'a&b folder' and all of its contents?"));
    EXPECT_FALSE(folder.mnemonic);
    // A name that looks like markup is not read as markup.
    const ShownBox markup = ShowRealBox(L"<b>R&D</b>\n\nThe above file name contains invalid characters");
    EXPECT_TRUE(markup.plain);
    EXPECT_FALSE(markup.mnemonic);
}

// A path far wider than the box wraps inside it, and reads as it was given.
TEST(MessageBox, ALongPathWrapsInTheBox)
{
    std::wstring path = L"C:\\recs";
    while (path.size() < 300)
        path += L"\\folder" + std::to_wstring(path.size());
    const std::wstring text = L"Failed to create recording session: \"" + path + L"\" is too long.";
    const ShownBox shown = ShowRealBox(text);
    EXPECT_TRUE(shown.fits);
    QString read = shown.text;
    read.remove(QChar(0x200B));
    EXPECT_EQ(read, QString::fromStdWString(text));
}

// What Ctrl+C puts on the clipboard after the box's text is selected.
QString CopiedFromRealBox(const std::wstring& text)
{
    App();
    QString copied;
    QTimer::singleShot(0, [&copied] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QTimer::singleShot(0, box, [&copied, box] {
            QApplication::clipboard()->clear();
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr);
            label->setSelection(0, int(label->text().size()));
            QTest::keyClick(label, Qt::Key_C, Qt::ControlModifier);
            copied = QApplication::clipboard()->text();
            box->done(QMessageBox::Cancel);
        });
    });
    vlt::ShowMessageBox(text, MB_OK | MB_ICONERROR);
    return copied;
}

TEST(MessageBox, ALongPathCopiesAsItWasGiven)
{
    std::wstring path = L"/recs";
    while (path.size() < 200)
        path += L"/folder" + std::to_wstring(path.size());
    const QString copied = CopiedFromRealBox(L"Cannot write \"" + path + L"\".");
    EXPECT_EQ(copied, QString::fromStdWString(L"Cannot write \"" + path + L"\"."));
}

TEST(MessageBox, CloseAnswerFollowsTheButtons)
{
    EXPECT_EQ(vlt::DefaultCloseAnswer(MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(vlt::DefaultCloseAnswer(MB_OKCANCEL | MB_ICONERROR), IDCANCEL);
    EXPECT_EQ(vlt::DefaultCloseAnswer(MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(vlt::DefaultCloseAnswer(MB_YESNO), IDNO);
}

TEST(ErrorBeep, HandlerCountsBeeps)
{
    int beeps = 0;
    auto previous = vlt::SetErrorBeepHandler([&] { ++beeps; });
    vlt::ErrorBeep();
    vlt::ErrorBeep();
    vlt::SetErrorBeepHandler(previous);
    EXPECT_EQ(beeps, 2);
}

TEST(FileDialog, FilterSplitsIntoPairsAndWidensStarDotStar)
{
    auto parts = vlt::SplitFileFilter(L"TQ3300 Workspace Files (*.tq8ws)|*.tq8ws|All Files (*.*)|*.*||");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].first, L"TQ3300 Workspace Files (*.tq8ws)");
    EXPECT_EQ(parts[0].second, L"*.tq8ws");
    EXPECT_EQ(parts[1].second, L"*");
    EXPECT_TRUE(vlt::SplitFileFilter(L"").empty());
    // A name without its pattern is dropped rather than misread.
    EXPECT_TRUE(vlt::SplitFileFilter(L"Lonely").empty());
}

TEST(FileDialog, HandlerAnswersAndSeesTheRequest)
{
    vlt::FileDialogRequest seen;
    auto previous = vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest& req) {
        seen = req;
        return std::optional<std::wstring>(L"/tmp/x.tq8ws");
    });
    vlt::FileDialogRequest req;
    req.open = false;
    req.title = L"Save TQ3300 Workspace As";
    req.fileName = L"TQ3300 Workspace";
    auto path = vlt::ShowFileDialog(req);
    vlt::SetFileDialogHandler(previous);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, L"/tmp/x.tq8ws");
    EXPECT_FALSE(seen.open);
    EXPECT_EQ(seen.fileName, L"TQ3300 Workspace");
}

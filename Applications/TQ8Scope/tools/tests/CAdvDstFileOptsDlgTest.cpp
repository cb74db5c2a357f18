#include "CAdvDstFileOptsDlg.h"
#include "CDestFileOpts.h"
#include "CVltEditBrowseCtrl.h"
#include "DocToolsFixture.h"
#include "DstFileOptsRules.h"
#include "FileDialog.h"
#include "MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

using R = DstFileOptsRules;

using doc_tools_test::EnsureApp;

template <class W>
W* Find(QDialog& dlg, const char* name)
{
    W* w = dlg.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QPushButton* Button(QDialog& dlg, QDialogButtonBox::StandardButton which)
{
    return dlg.findChild<QDialogButtonBox*>()->button(which);
}

const char* const kChecks[] = {"assumeFormat", "deinterleave", "append",  "text",    "hex",
                               "noUnbuffered", "signed",       "tsFile",  "tsText",  "tsMarker",
                               "tsAbort",      "context"};
const uint32_t kBits[] = {0x10, 0x40, 0x1, 0x4, 0x20, 0x8, 0x80, 0x400, 0x800, 0x1000, 0x2000, 0x100};

} // namespace

TEST(DstFileOptsRules, ChannelPathExtensionLooksAtLastComponentOnly)
{
    EXPECT_EQ(R::ChannelPath(L"  /data.v2/chan2 "), L"/data.v2/chan2.rd8");
    EXPECT_EQ(R::ChannelPath(L"C:\\dir.x\\chan3"), L"C:\\dir.x\\chan3.rd8");
    EXPECT_EQ(R::ChannelPath(L"/data/chan2.bin"), L"/data/chan2.bin");
    EXPECT_EQ(R::ChannelPath(L"   "), L"");
}

TEST(DstFileOptsRules, TimestampExtensionFollowsTextOption)
{
    EXPECT_EQ(R::TimestampPath(L"/d/ts", true), L"/d/ts.tq8ts.txt");
    EXPECT_EQ(R::TimestampPath(L"/d/ts", false), L"/d/ts.tq8ts");
    EXPECT_EQ(R::TimestampPath(L"/d/ts.dat", true), L"/d/ts.dat");
    EXPECT_EQ(R::TimestampFilterIndex(true), 2);
    EXPECT_STREQ(R::TimestampDefaultExt(false), L"tq8ts");
}

TEST(DstFileOptsRules, EnablingFollowsFlags)
{
    R::Enabling e = R::Enable(R::kTsFile | R::kText, true, false, false, false);
    EXPECT_TRUE(e.tsDetails);
    EXPECT_FALSE(e.tsAbort); // saves never offer it
    EXPECT_TRUE(e.hex);
    EXPECT_TRUE(e.span);
    EXPECT_FALSE(e.skip);
    EXPECT_FALSE(e.channelFiles);
    EXPECT_TRUE(R::Enable(R::kTsFile, false, false, false, true).tsAbort);
    R::Enabling ro = R::Enable(0xffff, true, true, true, true);
    EXPECT_FALSE(ro.options || ro.channelFiles || ro.tsAbort || ro.paths);
    EXPECT_TRUE(ro.format && ro.noteReadOnly);
}

TEST(CAdvDstFileOptsDlg, EveryFlagAndFieldRoundTrips)
{
    EnsureApp();
    for (size_t i = 0; i < std::size(kBits); ++i) {
        CDestFileOpts opts;
        opts.Template.Fwp_flags = 0x100 ^ kBits[i];
        opts.Template.Fwp_chanSel = 4;
        opts.Pathname2 = L"/a/two.rd8";
        opts.Pathname3 = L"/a/three";
        opts.SpanFiles = 1;
        opts.SpanBytes = 3 * 1048576;
        opts.SkipHdr = 1;
        opts.SkipBytes = 512;
        opts.TsPath = L"/a/ts";
        opts.OpNotes = L"  note  ";
        CDestFileOpts before = opts;
        CAdvDstFileOptsDlg dlg(nullptr, &opts, false, true, nullptr);
        EXPECT_EQ(Find<QCheckBox>(dlg, kChecks[i])->isChecked(), (opts.Template.Fwp_flags & kBits[i]) != 0);
        Button(dlg, QDialogButtonBox::Ok)->click();
        EXPECT_EQ(opts.Template.Fwp_flags, before.Template.Fwp_flags) << kChecks[i];
        EXPECT_EQ(opts.Template.Fwp_chanSel, 4);
        EXPECT_EQ(opts.Pathname2, L"/a/two.rd8");
        EXPECT_EQ(opts.Pathname3, L"/a/three.rd8");
        EXPECT_EQ(opts.Pathname4, L"");
        EXPECT_EQ(opts.SpanFiles, 1);
        EXPECT_EQ(opts.SpanBytes, 3u * 1048576u);
        EXPECT_EQ(opts.SkipHdr, 1);
        EXPECT_EQ(opts.SkipBytes, 512u);
        EXPECT_EQ(opts.TsPath, (opts.Template.Fwp_flags & 0x800) ? L"/a/ts.tq8ts.txt" : L"/a/ts.tq8ts");
        EXPECT_EQ(opts.OpNotes, L"note");
    }
}

TEST(CAdvDstFileOptsDlg, TogglingChecksIsKept)
{
    EnsureApp();
    CDestFileOpts opts;
    CAdvDstFileOptsDlg dlg(nullptr, &opts, false, false, nullptr);
    Find<QCheckBox>(dlg, "deinterleave")->click();
    EXPECT_TRUE(Find<CVltEditBrowseCtrl>(dlg, "path2")->isEnabled());
    Find<QCheckBox>(dlg, "context")->click();
    EXPECT_FALSE(Find<QLineEdit>(dlg, "note")->isEnabled());
    Find<QCheckBox>(dlg, "skip")->click();
    Find<QLineEdit>(dlg, "skipBytes")->setText(QStringLiteral("0x10"));
    Button(dlg, QDialogButtonBox::Ok)->click();
    EXPECT_EQ(opts.Template.Fwp_flags, 0x40u);
    EXPECT_EQ(opts.SkipHdr, 1);
    EXPECT_EQ(opts.SkipBytes, 16u);
}

TEST(CAdvDstFileOptsDlg, BadSkipCountKeepsDialogOpenAndOptions)
{
    EnsureApp();
    int boxes = 0;
    auto old = vlt::SetMessageBoxHandler([&](const vlt::MessageBoxRequest&) { ++boxes; return IDOK; });
    CDestFileOpts opts;
    CAdvDstFileOptsDlg dlg(nullptr, &opts, false, false, nullptr);
    Find<QLineEdit>(dlg, "skipBytes")->setText(QStringLiteral("4294967296"));
    Find<QCheckBox>(dlg, "append")->click();
    dlg.show();
    Button(dlg, QDialogButtonBox::Ok)->click();
    vlt::SetMessageBoxHandler(old);
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(opts.Template.Fwp_flags, 0x100u);
}

TEST(CAdvDstFileOptsDlg, ReadOnlyKeepsNothing)
{
    EnsureApp();
    CDestFileOpts opts;
    opts.Template.Fwp_flags = 0x110;
    opts.Template.Fwp_chanSel = 1;
    CAdvDstFileOptsDlg dlg(nullptr, &opts, true, true, nullptr);
    QPushButton* ok = Button(dlg, QDialogButtonBox::Ok);
    QPushButton* close = Button(dlg, QDialogButtonBox::Cancel);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(close->text(), QStringLiteral("Close"));
    EXPECT_TRUE(close->isDefault());
    EXPECT_FALSE(Find<QCheckBox>(dlg, "append")->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>(dlg, "note")->isReadOnly());
    auto* format = Find<QComboBox>(dlg, "format");
    ASSERT_TRUE(format->isEnabled());
    format->setCurrentIndex(6);
    Find<QCheckBox>(dlg, "assumeFormat")->click();
    dlg.accept(); // Enter on an edit
    close->click();
    EXPECT_EQ(opts.Template.Fwp_flags, 0x110u);
    EXPECT_EQ(opts.Template.Fwp_chanSel, 1);
}

TEST(CAdvDstFileOptsDlg, OverflowAbortOnlyForRecordings)
{
    EnsureApp();
    CDestFileOpts opts;
    opts.Template.Fwp_flags = 0x400 | 0x2000;
    CAdvDstFileOptsDlg save(nullptr, &opts, false, false, nullptr);
    save.show();
    EXPECT_FALSE(Find<QCheckBox>(save, "tsAbort")->isVisible());
    EXPECT_FALSE(Find<QCheckBox>(save, "tsAbort")->isEnabled());
    Find<QCheckBox>(save, "tsFile")->click();
    Find<QCheckBox>(save, "tsFile")->click();
    EXPECT_FALSE(Find<QCheckBox>(save, "tsAbort")->isEnabled());
    CAdvDstFileOptsDlg rec(nullptr, &opts, false, true, nullptr);
    rec.show();
    EXPECT_TRUE(Find<QCheckBox>(rec, "tsAbort")->isVisible());
    EXPECT_TRUE(Find<QCheckBox>(rec, "tsAbort")->isEnabled());
}

TEST(CAdvDstFileOptsDlg, TimestampBrowseFollowsTextOption)
{
    EnsureApp();
    std::vector<vlt::FileDialogRequest> seen;
    auto old = vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest& r) -> std::optional<std::wstring> {
        seen.push_back(r);
        return std::nullopt;
    });
    CDestFileOpts opts;
    opts.Template.Fwp_flags = 0x400;
    CAdvDstFileOptsDlg dlg(nullptr, &opts, false, false, nullptr);
    auto* ts = Find<CVltEditBrowseCtrl>(dlg, "tsPath");
    ts->Button()->click();
    Find<QCheckBox>(dlg, "tsText")->click();
    ts->Button()->click();
    Find<QCheckBox>(dlg, "deinterleave")->click();
    Find<CVltEditBrowseCtrl>(dlg, "path4")->Button()->click();
    vlt::SetFileDialogHandler(old);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].defaultExt, L"tq8ts");
    EXPECT_EQ(seen[0].filterIndex, 1);
    EXPECT_EQ(seen[1].defaultExt, L"tq8ts.txt");
    EXPECT_EQ(seen[1].filterIndex, 2);
    EXPECT_EQ(seen[1].title, L"Save Timestamp Data");
    EXPECT_FALSE(seen[1].open);
    EXPECT_EQ(seen[2].defaultExt, L"rd8");
    EXPECT_EQ(seen[2].title, L"Save Acquisition Data (Fourth Channel)");
}

TEST(CAdvDstFileOptsDlg, SpanSizeBeyondLastUnitShowsInMebiSamples)
{
    EnsureApp();
    CDestFileOpts opts;
    opts.SpanBytes = 2ull << 30; // two gibi-samples: a unit the combo lacks
    CAdvDstFileOptsDlg dlg(nullptr, &opts, false, false, nullptr);
    EXPECT_EQ(Find<QComboBox>(dlg, "spanUnits")->currentIndex(), 2);
    EXPECT_EQ(Find<QLineEdit>(dlg, "spanSize")->text(), QStringLiteral("2048"));
    Button(dlg, QDialogButtonBox::Ok)->click();
    EXPECT_EQ(opts.SpanBytes, 2ull << 30);
}

#include "CAdvDstFileOptsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "CDestFileOpts.h"
#include "CVltEditBrowseCtrl.h"
#include "DialogItems.h"
#include "DstFileOptsRules.h"
#include "ErrorBox.h"

namespace {

using R = DstFileOptsRules;

const char* const kFormats[] = {"Four channel (Ch: 1,2,3,4)", "Dual channel (Ch: 1,2)", "Dual channel (Ch: 3,4)",
                                "Dual channel (Ch: 1,3)",     "Three channel (Ch: 1,2,3)", "Single channel (Ch 1)",
                                "Single channel (Ch 2)",      "Single channel (Ch 3)", "Single channel (Ch 4)"};

const wchar_t kRd8Filter[] = L"8-bit Sample Files (*.rd8)|*.rd8|All Files (*.*)|*.*||";
const wchar_t kTsFilter[] = L"TQ3300 Timestamp Files (*.tq8ts)|*.tq8ts|TQ3300 Text Timestamp Files "
                            L"(*.tq8ts.txt)|*.tq8ts.txt|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
const wchar_t* const kChannelTitles[] = {L"Save Acquisition Data (Second Channel)",
                                         L"Save Acquisition Data (Third Channel)",
                                         L"Save Acquisition Data (Fourth Channel)"};

QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

void ShowPath(CVltEditBrowseCtrl* control, const std::wstring& path)
{
    control->SetText(path);
}

} // namespace

CAdvDstFileOptsDlg::CAdvDstFileOptsDlg(QWidget* parent, CDestFileOpts* options, bool readOnly, bool recording,
                                       TQ8_HANDLE device)
    : QDialog(parent), m_options(options), m_readOnly(readOnly), m_recording(recording), m_device(device)
{
    setWindowTitle(QStringLiteral("Advanced Data Destination Options"));
    BuildControls();
    SetUpBrowsers();
    LoadControls();
    ApplyEnabling();
    if (m_readOnly) {
        m_ok->setEnabled(false);
        m_ok->hide();
        m_cancel->setText(QStringLiteral("Close"));
        m_cancel->setDefault(true);
    }
    if (!m_recording) {
        m_tsAbort->setEnabled(false);
        m_tsAbort->hide();
    }
}

QCheckBox* CAdvDstFileOptsDlg::AddCheck(const char* name, const char* text)
{
    auto* box = new QCheckBox(QString::fromUtf8(text), this);
    box->setObjectName(QString::fromLatin1(name));
    connect(box, &QCheckBox::clicked, this, &CAdvDstFileOptsDlg::ApplyEnabling);
    return box;
}

void CAdvDstFileOptsDlg::BuildControls()
{
    auto* grid = new QGridLayout;
    int row = 0;
    m_assumeFormat = AddCheck("assumeFormat", "Assume data format:");
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("format"));
    for (const char* text : kFormats)
        m_format->addItem(QString::fromLatin1(text));
    grid->addWidget(m_assumeFormat, row, 0);
    grid->addWidget(m_format, row++, 1, 1, 2);

    m_deinterleave = AddCheck("deinterleave", "&Deinterleave this data into separate files");
    grid->addWidget(m_deinterleave, row++, 0, 1, 3);
    const char* const labels[] = {"File for second data channel:", "File for third data channel:",
                                  "File for fourth data channel:"};
    for (int i = 0; i < 3; ++i) {
        m_pathLabel[i] = new QLabel(QString::fromLatin1(labels[i]), this);
        m_path[i] = new CVltEditBrowseCtrl(this);
        m_path[i]->setObjectName(QStringLiteral("path%1").arg(i + 2));
        grid->addWidget(m_pathLabel[i], row, 0);
        grid->addWidget(m_path[i], row++, 1, 1, 2);
    }

    m_span = AddCheck("span", "Span data over &multiple, statically sized files; binary files only");
    grid->addWidget(m_span, row++, 0, 1, 3);
    m_spanLabel = new QLabel(QStringLiteral("Static file size:"), this);
    m_spanSize = new QLineEdit(this);
    m_spanSize->setObjectName(QStringLiteral("spanSize"));
    m_spanUnits = new QComboBox(this);
    m_spanUnits->setObjectName(QStringLiteral("spanUnits"));
    m_spanUnits->addItems({QStringLiteral("samples"), QStringLiteral("kibi-samples"), QStringLiteral("mebi-samples")});
    grid->addWidget(m_spanLabel, row, 0);
    grid->addWidget(m_spanSize, row, 1);
    grid->addWidget(m_spanUnits, row++, 2);

    m_skip = AddCheck("skip", "&Leave room for application-specific data by skipping initial bytes in file");
    grid->addWidget(m_skip, row++, 0, 1, 3);
    m_skipBytes = new QLineEdit(this);
    m_skipBytes->setObjectName(QStringLiteral("skipBytes"));
    m_skipLabel = new QLabel(QStringLiteral("bytes of file"), this);
    grid->addWidget(m_skipBytes, row, 1);
    grid->addWidget(m_skipLabel, row++, 2);

    m_append = AddCheck("append", "&Append data if file already exists");
    m_text = AddCheck("text", "Save data as te&xt");
    m_hex = AddCheck("hex", "Use hexadecimal output");
    m_noUnbuffered = AddCheck("noUnbuffered", "Don't try to use fast, &unbuffered IO for binary files; binary files only");
    m_signed = AddCheck("signed", "Convert data to &signed format before writing");
    m_tsFile = AddCheck("tsFile", "Save TQ3300 timestamps to external file (*.tq8ts)");
    m_tsText = AddCheck("tsText", "Save timestamps as newline-delimited text (*.tq8ts.txt)");
    m_tsMarker = AddCheck("tsMarker", "Use timestamp FIFO overflow marker");
    for (QCheckBox* box : {m_append, m_text, m_hex, m_noUnbuffered, m_signed, m_tsFile, m_tsText, m_tsMarker})
        grid->addWidget(box, row++, 0, 1, 3);
    m_tsPathLabel = new QLabel(QStringLiteral("Override timestamp file pathname:"), this);
    m_tsPath = new CVltEditBrowseCtrl(this);
    m_tsPath->setObjectName(QStringLiteral("tsPath"));
    grid->addWidget(m_tsPathLabel, row, 0);
    grid->addWidget(m_tsPath, row++, 1, 1, 2);
    m_tsAbort = AddCheck("tsAbort", "Abort and fail recording if timestamp FIFO overflows");
    m_context = AddCheck("context", "Save details in auxiliary Veltrane Recorded Data Context (.vrdc) file");
    grid->addWidget(m_tsAbort, row++, 0, 1, 3);
    grid->addWidget(m_context, row++, 0, 1, 3);
    auto* explain = new QLabel(QStringLiteral("For each output data file (X.rd8), the details are saved to an "
                                              "auxiliary text file (X.rd8.vrdc)."), this);
    explain->setWordWrap(true);
    // The grid does not ask a wrapped label for its height: room for two lines.
    explain->setMinimumHeight(2 * explain->fontMetrics().lineSpacing());
    grid->addWidget(explain, row++, 0, 1, 3);
    m_noteLabel = new QLabel(QStringLiteral("User-defined note:"), this);
    m_note = new QLineEdit(this);
    m_note->setObjectName(QStringLiteral("note"));
    grid->addWidget(m_noteLabel, row, 0);
    grid->addWidget(m_note, row++, 1, 1, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_cancel = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAdvDstFileOptsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAdvDstFileOptsDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void CAdvDstFileOptsDlg::SetUpBrowsers()
{
    for (int i = 0; i < 3; ++i) {
        m_path[i]->EnableFileBrowseButton(L"rd8", kRd8Filter);
        m_path[i]->SetOpenMode(0);
        m_path[i]->SetRemoteDevice(m_device);
        m_path[i]->SetDialogTitle(kChannelTitles[i]);
    }
    m_tsPath->EnableFileBrowseButton(R::TimestampDefaultExt(false), kTsFilter);
    m_tsPath->SetOpenMode(0);
    m_tsPath->SetRemoteDevice(m_device);
    m_tsPath->SetDialogTitle(L"Save Timestamp Data");
    m_tsPath->SetBrowseCallback(&CAdvDstFileOptsDlg::PrepareTimestampBrowse, reinterpret_cast<intptr_t>(this));
}

int32_t CAdvDstFileOptsDlg::PrepareTimestampBrowse(intptr_t self, CVltEditBrowseCtrl* control)
{
    bool text = reinterpret_cast<CAdvDstFileOptsDlg*>(self)->m_tsText->isChecked();
    control->EnableFileBrowseButton(R::TimestampDefaultExt(text), kTsFilter);
    control->SetFilterIndex(R::TimestampFilterIndex(text));
    return 1;
}

void CAdvDstFileOptsDlg::LoadControls()
{
    uint32_t flags = m_options->Template.Fwp_flags;
    DDX_CheckFlag(false, m_assumeFormat, R::kAssumeFormat, flags);
    int32_t sel = m_options->Template.Fwp_chanSel;
    m_format->setCurrentIndex(sel >= 0 && sel < m_format->count() ? sel : -1);
    DDX_CheckFlag(false, m_deinterleave, R::kDeinterleave, flags);
    ShowPath(m_path[0], m_options->Pathname2);
    ShowPath(m_path[1], m_options->Pathname3);
    ShowPath(m_path[2], m_options->Pathname4);
    m_span->setChecked(m_options->SpanFiles != 0);
    DDX_CountWithUnits(false, m_spanSize, m_spanUnits, m_options->SpanBytes);
    m_skip->setChecked(m_options->SkipHdr != 0);
    m_skipBytes->setText(QString::number(m_options->SkipBytes));
    DDX_CheckFlag(false, m_append, R::kAppend, flags);
    DDX_CheckFlag(false, m_text, R::kText, flags);
    DDX_CheckFlag(false, m_hex, R::kHex, flags);
    DDX_CheckFlag(false, m_noUnbuffered, R::kNoUnbuffered, flags);
    DDX_CheckFlag(false, m_signed, R::kSigned, flags);
    DDX_CheckFlag(false, m_tsFile, R::kTsFile, flags);
    DDX_CheckFlag(false, m_tsText, R::kTsText, flags);
    DDX_CheckFlag(false, m_tsMarker, R::kTsMarker, flags);
    ShowPath(m_tsPath, m_options->TsPath);
    DDX_CheckFlag(false, m_tsAbort, R::kTsAbort, flags);
    DDX_CheckFlag(false, m_context, R::kContextFile, flags);
    m_note->setText(Q(m_options->OpNotes));
}

bool CAdvDstFileOptsDlg::SaveControls()
{
    uint64_t spanBytes = m_options->SpanBytes;
    if (!DDX_CountWithUnits(true, m_spanSize, m_spanUnits, spanBytes))
        return false;
    uint32_t skipBytes = 0;
    if (!ParseDlgUInt32(GetDlgItemText(m_skipBytes), skipBytes)) {
        ShowInvalidNumberMessage(nullptr, m_skipBytes);
        return false;
    }
    uint32_t flags = m_options->Template.Fwp_flags;
    DDX_CheckFlag(true, m_assumeFormat, R::kAssumeFormat, flags);
    DDX_CheckFlag(true, m_deinterleave, R::kDeinterleave, flags);
    DDX_CheckFlag(true, m_append, R::kAppend, flags);
    DDX_CheckFlag(true, m_text, R::kText, flags);
    DDX_CheckFlag(true, m_hex, R::kHex, flags);
    DDX_CheckFlag(true, m_noUnbuffered, R::kNoUnbuffered, flags);
    DDX_CheckFlag(true, m_signed, R::kSigned, flags);
    DDX_CheckFlag(true, m_tsFile, R::kTsFile, flags);
    DDX_CheckFlag(true, m_tsText, R::kTsText, flags);
    DDX_CheckFlag(true, m_tsMarker, R::kTsMarker, flags);
    DDX_CheckFlag(true, m_tsAbort, R::kTsAbort, flags);
    DDX_CheckFlag(true, m_context, R::kContextFile, flags);

    std::wstring paths[3];
    for (int i = 0; i < 3; ++i) {
        paths[i] = R::ChannelPath(m_path[i]->GetText());
        ShowPath(m_path[i], paths[i]);
    }
    std::wstring tsPath = R::TimestampPath(m_tsPath->GetText(), (flags & R::kTsText) != 0);
    ShowPath(m_tsPath, tsPath);

    m_options->Template.Fwp_flags = flags;
    if (m_format->currentIndex() >= 0)
        m_options->Template.Fwp_chanSel = m_format->currentIndex();
    m_options->Pathname2 = paths[0];
    m_options->Pathname3 = paths[1];
    m_options->Pathname4 = paths[2];
    m_options->SpanFiles = m_span->isChecked() ? 1 : 0;
    m_options->SpanBytes = spanBytes;
    m_options->SkipHdr = m_skip->isChecked() ? 1 : 0;
    m_options->SkipBytes = skipBytes;
    m_options->TsPath = tsPath;
    m_options->OpNotes = R::Trim(GetDlgItemText(m_note));
    return true;
}

void CAdvDstFileOptsDlg::accept()
{
    // Read-only: the hidden OK can still be reached by Enter on an edit.
    if (m_readOnly) {
        reject();
        return;
    }
    if (SaveControls())
        QDialog::accept();
}

void CAdvDstFileOptsDlg::ApplyEnabling()
{
    uint32_t flags = 0;
    for (auto [box, bit] : {std::pair{m_assumeFormat, R::kAssumeFormat}, std::pair{m_deinterleave, R::kDeinterleave},
                            std::pair{m_text, R::kText}, std::pair{m_tsFile, R::kTsFile},
                            std::pair{m_context, R::kContextFile}})
        if (box->isChecked())
            flags |= bit;
    R::Enabling e = R::Enable(flags, m_span->isChecked(), m_skip->isChecked(), m_readOnly, m_recording);
    for (QCheckBox* box : {m_deinterleave, m_span, m_skip, m_append, m_text, m_noUnbuffered, m_signed, m_tsFile,
                           m_context})
        box->setEnabled(e.options);
    m_format->setEnabled(e.format);
    for (int i = 0; i < 3; ++i) {
        m_pathLabel[i]->setEnabled(e.channelFiles);
        m_path[i]->setEnabled(e.channelFiles && e.paths);
    }
    for (QWidget* w : {static_cast<QWidget*>(m_spanLabel), static_cast<QWidget*>(m_spanSize),
                       static_cast<QWidget*>(m_spanUnits)})
        w->setEnabled(e.span);
    m_skipBytes->setEnabled(e.skip);
    m_skipLabel->setEnabled(e.skip);
    m_hex->setEnabled(e.hex);
    m_tsText->setEnabled(e.tsDetails);
    m_tsMarker->setEnabled(e.tsDetails);
    m_tsPathLabel->setEnabled(e.tsDetails);
    m_tsPath->setEnabled(e.tsDetails && e.paths);
    m_tsAbort->setEnabled(e.tsAbort && m_recording);
    m_noteLabel->setEnabled(e.note);
    m_note->setEnabled(e.note);
    m_note->setReadOnly(e.noteReadOnly);
}

#include "CProcessingForm.h"

#include <algorithm>
#include <cstdio>

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CForm_FPGAProc.h"
#include "CMainDoc.h"
#include "CVltEditBrowseCtrl.h"
#include "ErrorBeep.h"
#include "ReadNumberFile.h"

namespace {

constexpr wchar_t kFileFilter[] = L"Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

} // namespace

CProcessingForm::CProcessingForm(int templateId, CMainDoc& doc, QWidget* parent)
    : CSettingFormView(templateId, doc, parent)
{
}

CProcessingForm::~CProcessingForm() = default;

int16_t CProcessingForm::ToParam(int32_t value)
{
    return int16_t(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

QCheckBox* CProcessingForm::CreateEnableBox(int id, const char* caption, const wchar_t* failurePrefix,
                                            const wchar_t* successText)
{
    m_enable = AddItem(new QCheckBox(QString::fromLatin1(caption), this), id);
    connect(m_enable, &QCheckBox::clicked, this, [this, failurePrefix, successText] {
        CForm_FPGAProc::ApplyEnable(*this, m_enable, failurePrefix, successText);
    });
    return m_enable;
}

QWidget* CProcessingForm::CreateFormatControls()
{
    auto* row = new QWidget(this);
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* native = AddItem(new QCheckBox(QStringLiteral("File data is native format"), row), kFormatBoxId);
    layout->addWidget(native);
    layout->addWidget(AddItem(new QLabel(row), kFormatTextId));
    layout->addWidget(new QLabel(QStringLiteral("File format: Whitespace or comma delimited text file"), row));
    connect(native, &QCheckBox::toggled, this, &CProcessingForm::UpdateFormatText);
    return row;
}

CVltEditBrowseCtrl* CProcessingForm::CreateFileField(int id, int buttonId, std::function<void()> upload)
{
    auto* field = AddItem(new CVltEditBrowseCtrl(this), id);
    field->EnableFileBrowseButton(L"", kFileFilter);
    field->SetOpenMode(1);
    auto* button = AddItem(new QPushButton(QStringLiteral("Upload"), this), buttonId);
    m_uploads.emplace_back(field, button);
    connect(field->Edit(), &QLineEdit::textChanged, this, &CProcessingForm::UpdateUploadButtons);
    connect(button, &QPushButton::clicked, this, std::move(upload));
    return field;
}

QPushButton* CProcessingForm::CreateUpdateButton(int focusId)
{
    auto* button = AddItem(new QPushButton(QStringLiteral("Update"), this), kUpdateId);
    connect(button, &QPushButton::clicked, this, [this, focusId] {
        QWidget* had = focusWidget();
        Item(focusId)->setFocus(Qt::OtherFocusReason);
        if (had)
            had->setFocus(Qt::OtherFocusReason);
    });
    return button;
}

void CProcessingForm::WatchEdit(QLineEdit* edit, const wchar_t* editingText, std::function<void()> apply)
{
    m_edits.push_back({edit, editingText, std::move(apply)});
    edit->installEventFilter(this);
    ConnectEnter(edit);
    connect(edit, &QLineEdit::textEdited, this, [this, editingText] {
        if (TestFlag(kEditing))
            return;
        ShowStatus(editingText, 0);
        SetFlag(kEditing, true);
    });
}

bool CProcessingForm::eventFilter(QObject* watched, QEvent* event)
{
    if (LeavesField(event) && TestFlag(kEditing)) {
        for (const WatchedEdit& watchedEdit : m_edits) {
            if (watchedEdit.edit == watched) {
                SetFlag(kEditing, false);
                watchedEdit.apply();
                break;
            }
        }
    }
    return CSettingFormView::eventFilter(watched, event);
}

void CProcessingForm::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    UpdateUploadButtons();
    if (Item(kFormatTextId))
        UpdateFormatText();
    CForm_FPGAProc::RefreshEnable(*this, m_enable);
}

void CProcessingForm::OnDocumentUpdate(IDocView*, int hint, void* object)
{
    if (hint == dochint::kBoardSettings)
        CForm_FPGAProc::RefreshEnable(*this, m_enable);
    else if (hint == dochint::kFpgaProcessing)
        m_enable->setChecked(object != nullptr);
}

void CProcessingForm::UpdateFormatText()
{
    const bool native = ItemAs<QCheckBox>(kFormatBoxId)->isChecked();
    ItemAs<QLabel>(kFormatTextId)
        ->setText(native ? QStringLiteral("Element format: Signed 16-bit value: [-1,1)")
                         : QStringLiteral("Element format: Floating-point, normalized data [-1,1]"));
}

void CProcessingForm::UpdateUploadButtons()
{
    for (auto& [field, button] : m_uploads)
        button->setEnabled(!field->Edit()->text().isEmpty());
}

bool CProcessingForm::TakePath(CVltEditBrowseCtrl* field, std::wstring& path)
{
    path = field->Edit()->text().trimmed().toStdWString();
    if (path.empty()) {
        vlt::ErrorBeep();
        return false;
    }
    return true;
}

bool CProcessingForm::IsNativeFormat() const
{
    return ItemAs<QCheckBox>(kFormatBoxId)->isChecked();
}

bool CProcessingForm::ReadParams(const std::wstring& path, size_t maxCount, bool native, std::vector<int16_t>& params)
{
    std::vector<int32_t> values;
    if (!ReadNumberFile(path, values, maxCount, native ? kReadIntegral : 0))
        return false;
    params.clear();
    params.reserve(values.size());
    for (int32_t value : values)
        params.push_back(ToParam(value));
    return true;
}

void CProcessingForm::UploadCoefficients(CVltEditBrowseCtrl* field, const CoefficientUpload& upload)
{
    std::wstring path;
    std::vector<int16_t> read;
    if (!TakePath(field, path) || !ReadParams(path, upload.count, IsNativeFormat(), read))
        return;
    std::vector<int16_t> taps(upload.count, 0);
    std::copy(read.begin(), read.end(), taps.begin());
    if (!CheckResult(upload.load(GetDeviceHandle(), taps.data(), 0), upload.failurePrefix, true))
        return;
    wchar_t text[160];
    int length = std::swprintf(text, 160, upload.successFormat, unsigned(upload.count));
    if (read.size() != upload.count && length > 0)
        std::swprintf(text + length, size_t(160 - length), L" (%u coefficients from file + zero padding)",
                      unsigned(read.size()));
    ShowStatus(text);
}

#include "CForm_FPGAProc.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CMainDoc.h"
#include "DialogItems.h"
#include "ErrorBox.h"
#include "MessageBox.h"

CForm_FPGAProc::CForm_FPGAProc(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    auto* layout = new QVBoxLayout(this);
    m_enable = AddItem(new QCheckBox(QStringLiteral("Enable FPGA processing"), this), kEnableId);
    connect(m_enable, &QCheckBox::clicked, this, [this] {
        ApplyEnable(*this, m_enable, L"Failed to set FPGA enable: ", L"FPGA processing enable updated");
    });
    layout->addWidget(m_enable);
    auto* group = new QGroupBox(QStringLiteral("FPGA processing parameters"), this);
    auto* grid = new QGridLayout(group);
    auto* index = AddItem(new QLineEdit(group), kIndexId);
    auto* value = AddItem(new QLineEdit(group), kValueId);
    auto* write = AddItem(new QPushButton(QStringLiteral("Write"), group), kWriteId);
    auto* indexLabel = new QLabel(QStringLiteral("Register &index:"), group);
    indexLabel->setBuddy(index);
    auto* valueLabel = new QLabel(QStringLiteral("Parameter &value:"), group);
    valueLabel->setBuddy(value);
    grid->addWidget(indexLabel, 0, 0);
    grid->addWidget(index, 0, 1);
    grid->addWidget(valueLabel, 1, 0);
    grid->addWidget(value, 1, 1);
    grid->addWidget(write, 1, 2);
    layout->addWidget(group);
    layout->addStretch(1);
    connect(write, &QPushButton::clicked, this, &CForm_FPGAProc::OnWrite);
}

CForm_FPGAProc::~CForm_FPGAProc() = default;

QSize CForm_FPGAProc::GetTemplateSize()
{
    return {380, 130};
}

void CForm_FPGAProc::ApplyEnable(CSettingFormView& form, QCheckBox* box, const wchar_t* failurePrefix,
                                 const wchar_t* successText)
{
    const bool on = box->isChecked();
    const int32_t result = SetBoardProcessingEnableTQ8(form.GetDeviceHandle(), on ? 1 : 0);
    if (result != 0) {
        RefreshEnable(form, box);
        ShowDeviceErrorBox(result, failurePrefix, form.GetDeviceHandle());
        return;
    }
    form.NotifyOtherViews(dochint::kFpgaProcessing, on ? static_cast<void*>(&form) : nullptr);
    form.ShowStatus(successText);
}

void CForm_FPGAProc::RefreshEnable(CSettingFormView& form, QCheckBox* box)
{
    box->setChecked(GetBoardProcessingEnableTQ8(form.GetDeviceHandle(), 1) != 0);
}

void CForm_FPGAProc::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    Refresh();
}

void CForm_FPGAProc::Refresh()
{
    RefreshScope refreshing(*this);
    RefreshEnable(*this, m_enable);
}

void CForm_FPGAProc::OnDocumentUpdate(IDocView*, int hint, void* object)
{
    if (hint == dochint::kBoardSettings)
        Refresh();
    else if (hint == dochint::kFpgaProcessing)
        m_enable->setChecked(object != nullptr);
}

bool CForm_FPGAProc::ReadParam(int id, const wchar_t* fieldName, const wchar_t* tooLarge, uint32_t& value)
{
    if (!GetDlgItemUInt32(Item(id), value)) {
        ShowInvalidNumberMessage(fieldName, Item(id));
        return false;
    }
    if (value > kMaxParam) {
        vlt::ShowMessageBox(tooLarge, MB_ICONERROR, this);
        return false;
    }
    return true;
}

void CForm_FPGAProc::OnWrite()
{
    uint32_t index = 0;
    uint32_t value = 0;
    if (!ReadParam(kIndexId, L"register index",
                   L"Register index is too large. Please enter a number between 0 and 65535", index) ||
        !ReadParam(kValueId, L"register value",
                   L"Register value is too large. Please enter a number between 0 and 65535", value))
        return;
    if (CheckResult(SetBoardProcessingParamTQ8(GetDeviceHandle(), uint16_t(index), uint16_t(value)),
                    L"Failed to write FPGA processing parameter: ", true))
        ShowStatus(L"FPGA processing parameter updated");
}

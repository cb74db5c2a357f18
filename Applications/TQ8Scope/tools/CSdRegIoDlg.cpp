#include "CSdRegIoDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "DialogItems.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "MessageBox.h"
#include "RegisterFieldLines.h"
#include "TextConv.h"

namespace {

QString ToQt(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

struct AdcListEntry {
    const char* text;
    uint32_t reg;
};

constexpr AdcListEntry kAdcList[] = {
    {"0  : Calibration", 0},           {"1  : Configuration", 1},     {"2  : I-Channel Offset", 2},
    {"3  : I-Chan FS Volt. Adj.", 3},  {"9  : Extended Cfg", 9},      {"10 : Q-Channel Offset", 10},
    {"11 : Q-Chan FS Volt. Adj.", 11}, {"14 : Phase Fine Adj.", 14},  {"15 : Phase Coarse Adj.", 15},
};

struct AdcStartValue {
    uint32_t reg;
    uint16_t value;
    const wchar_t* failure;
};

constexpr AdcStartValue kAdcStartValues[] = {
    {0, 0x7FFF, L"Failed to write ADC register 0: "},  {1, 0xB2FF, L"Failed to write ADC register 1: "},
    {2, 0x007F, L"Failed to write ADC register 2: "},  {3, 0x807F, L"Failed to write ADC register 3: "},
    {9, 0x03FF, L"Failed to write ADC register 9: "},  {10, 0x007F, L"Failed to write ADC register A: "},
    {11, 0x807F, L"Failed to write ADC register B: "}, {14, 0x00FF, L"Failed to write ADC register E: "},
    {15, 0x007F, L"Failed to write ADC register F: "},
};

int32_t LibraryWriteAdc(TQ8_HANDLE h, int32_t adc, uint32_t reg, uint32_t mask, uint16_t value, uint32_t logIdx,
                        uint32_t subIdx)
{
    return WriteAdcRegTQ8(h, adc, reg, mask, value, logIdx, subIdx, 0, 0);
}

} // namespace

CSdRegIoDlg::CSdRegIoDlg(QWidget* parent, TQ8_HANDLE device)
    : QDialog(parent), m_device(device), m_writeAdc(LibraryWriteAdc)
{
    BuildControls();
    setWindowTitle(QStringLiteral("TQ3300 Serial Device IO"));
    FillAdcRegisterList();
    m_cgIndex->setCurrentIndex(0);
    m_adcIndex->setCurrentIndex(0);
    m_adcRegister->setCurrentIndex(0);
    OnAdcRegisterTyped();
}

void CSdRegIoDlg::BuildControls()
{
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName("close");
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildClockGenGroup());
    layout->addWidget(BuildAdcGroup());
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);
}

QWidget* CSdRegIoDlg::BuildClockGenGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Clock Generator IO"), this);
    m_cgIndex = new QComboBox(group);
    m_cgIndex->setObjectName("cgIndex");
    m_cgIndex->addItems({QStringLiteral("1"), QStringLiteral("2")});
    m_cgRegister = new QLineEdit(group);
    m_cgRegister->setObjectName("cgRegister");
    m_cgWrite = new QPushButton(QStringLiteral("Write:"), group);
    m_cgWrite->setObjectName("cgWrite");
    m_cgValue = new QLineEdit(group);
    m_cgValue->setObjectName("cgValue");
    m_cgRead = new QPushButton(QStringLiteral("Read"), group);
    m_cgRead->setObjectName("cgRead");
    m_cgResult = new QLineEdit(group);
    m_cgResult->setObjectName("cgResult");
    m_cgResult->setReadOnly(true);
    m_cgWrite->setEnabled(false);
    m_cgRead->setEnabled(false);

    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("CG index:"), group), 0, 0);
    grid->addWidget(m_cgIndex, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Register index:"), group), 1, 0);
    grid->addWidget(m_cgRegister, 1, 1);
    grid->addWidget(m_cgWrite, 2, 0);
    grid->addWidget(m_cgValue, 2, 1);
    grid->addWidget(m_cgRead, 3, 0);
    grid->addWidget(m_cgResult, 3, 1);

    connect(m_cgRegister, &QLineEdit::textChanged, this, [this] { OnClockGenRegisterTyped(); });
    connect(m_cgWrite, &QPushButton::clicked, this, [this] { WriteClockGenRegister(); });
    connect(m_cgRead, &QPushButton::clicked, this, [this] { ReadClockGenRegister(); });
    return group;
}

QWidget* CSdRegIoDlg::BuildAdcGroup()
{
    auto* group = new QGroupBox(QStringLiteral("ADC Register IO"), this);
    m_adcIndex = new QComboBox(group);
    m_adcIndex->setObjectName("adcIndex");
    m_adcIndex->addItems({QStringLiteral("1"), QStringLiteral("2")});
    m_adcRegister = new QComboBox(group);
    m_adcRegister->setObjectName("adcRegister");
    m_adcRegister->setEditable(true);
    m_adcRegister->setInsertPolicy(QComboBox::NoInsert);
    m_adcWrite = new QPushButton(QStringLiteral("Write:"), group);
    m_adcWrite->setObjectName("adcWrite");
    m_adcWrite->setEnabled(false);
    m_adcValue = new QLineEdit(group);
    m_adcValue->setObjectName("adcValue");
    m_adcPlacement = new QLabel(group);
    m_adcPlacement->setObjectName("adcPlacement");
    m_initAdcs = new QPushButton(QStringLiteral("Initialize All ADC Registers"), group);
    m_initAdcs->setObjectName("initAdcs");

    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("ADC index:"), group), 0, 0);
    grid->addWidget(m_adcIndex, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Register index:"), group), 1, 0);
    grid->addWidget(m_adcRegister, 1, 1);
    grid->addWidget(m_adcWrite, 2, 0);
    grid->addWidget(m_adcValue, 2, 1);
    grid->addWidget(m_adcPlacement, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("ADC registers are write-only"), group), 3, 0, 1, 3);
    grid->addWidget(m_initAdcs, 4, 0, 1, 3);

    connect(m_adcRegister, &QComboBox::activated, this, [this](int index) { OnAdcRegisterChosen(index); });
    connect(m_adcRegister, &QComboBox::editTextChanged, this, [this] { OnAdcRegisterTyped(); });
    connect(m_adcWrite, &QPushButton::clicked, this, [this] { WriteAdcRegister(); });
    connect(m_initAdcs, &QPushButton::clicked, this, [this] { InitializeAllAdcRegisters(); });
    return group;
}

void CSdRegIoDlg::FillAdcRegisterList()
{
    m_adcRegister->clear();
    for (const AdcListEntry& e : kAdcList)
        m_adcRegister->addItem(QString::fromLatin1(e.text), e.reg);
}

void CSdRegIoDlg::OnAdcRegisterChosen(int index)
{
    SetAdcRegister(index < 0 ? -1 : m_adcRegister->itemData(index).toLongLong());
}

void CSdRegIoDlg::OnAdcRegisterTyped()
{
    uint32_t reg = 0;
    SetAdcRegister(GetDlgItemUInt32(m_adcRegister, reg) ? int64_t(reg) : -1);
}

void CSdRegIoDlg::SetAdcRegister(int64_t reg)
{
    m_adcReg = reg >= 0 && FindAdcPlacement(static_cast<uint32_t>(reg), m_adcAt) ? static_cast<int32_t>(reg) : -1;
    m_adcWrite->setEnabled(m_adcReg != -1);
    m_adcPlacement->setText(m_adcReg == -1 ? QString()
                                           : ToQt(FormatWide(L"(L%u.%u)", m_adcAt.logical, m_adcAt.sub)));
}

void CSdRegIoDlg::OnClockGenRegisterTyped()
{
    uint32_t reg = 0;
    const bool valid = GetDlgItemUInt32(m_cgRegister, reg) && FindClockGenPlacement(reg, m_cgAt);
    m_cgReg = valid ? static_cast<int32_t>(reg) : -1;
    m_cgWrite->setEnabled(valid);
    m_cgRead->setEnabled(valid);
}

bool CSdRegIoDlg::WriteAdcRegister()
{
    if (m_adcReg == -1) {
        vlt::ErrorBeep();
        return false;
    }
    uint32_t value = 0;
    if (!GetDlgItemUInt32(m_adcValue, value)) {
        ShowInvalidNumberMessage(L"ADC register value", m_adcValue);
        return false;
    }
    if (value > 0xFFFF) {
        vlt::ShowMessageBox(L"ADC register value is too large. [0, 65535]", MB_ICONERROR, this);
        return false;
    }
    const int32_t result = m_writeAdc(m_device, m_adcIndex->currentIndex(), static_cast<uint32_t>(m_adcReg),
                                      0xFFFFFFFFu, static_cast<uint16_t>(value), m_adcAt.logical, m_adcAt.sub);
    if (result != TQ8_OK) {
        ShowDeviceErrorBox(result, L"Failed to write ADC register: ", m_device);
        return false;
    }
    return true;
}

bool CSdRegIoDlg::InitializeAllAdcRegisters()
{
    const int32_t adc = m_adcIndex->currentIndex();
    for (const AdcStartValue& start : kAdcStartValues) {
        RegPlacement at;
        FindAdcPlacement(start.reg, at);
        const int32_t result = m_writeAdc(m_device, adc, start.reg, 0xFFFFu, start.value, at.logical, at.sub);
        if (result != TQ8_OK) {
            ShowDeviceErrorBox(result, start.failure, m_device);
            return false;
        }
    }
    return true;
}

std::wstring CSdRegIoDlg::PlacementText() const
{
    return FormatWide(L"(Log idx: %u, Byte idx: %u)", m_cgAt.logical, m_cgAt.sub);
}

bool CSdRegIoDlg::ReadClockGenRegister()
{
    if (m_cgReg == -1) {
        vlt::ErrorBeep();
        return false;
    }
    uint8_t value = 0;
    const int32_t result = ReadClockGenRegTQ8(m_device, m_cgIndex->currentIndex(), static_cast<uint32_t>(m_cgReg),
                                              m_cgAt.logical, m_cgAt.sub, &value, 2);
    if (result != TQ8_OK) {
        const std::wstring prefix = L"Failed to read clock gen register " + PlacementText() + L": ";
        ShowDeviceErrorBox(result, prefix.c_str(), m_device);
        return false;
    }
    m_cgResult->setText(ToQt(FormatWide(L"0x%02X (%u)", unsigned(value), unsigned(value))));
    return true;
}

bool CSdRegIoDlg::WriteClockGenRegister()
{
    if (m_cgReg == -1) {
        vlt::ErrorBeep();
        return false;
    }
    uint32_t value = 0;
    if (!GetDlgItemUInt32(m_cgValue, value)) {
        ShowInvalidNumberMessage(L"CG register value", m_cgValue);
        return false;
    }
    if (value > 0xFF) {
        vlt::ShowMessageBox(L"CG register value is too large. [0, 255]", MB_ICONERROR, this);
        return false;
    }
    const int32_t result = WriteClockGenRegTQ8(m_device, m_cgIndex->currentIndex(), static_cast<uint32_t>(m_cgReg), 0xFF,
                                               static_cast<uint8_t>(value), m_cgAt.logical, m_cgAt.sub, 0, 0, 1);
    if (result != TQ8_OK) {
        const std::wstring prefix = L"Failed to write clock gen register " + PlacementText() + L": ";
        ShowDeviceErrorBox(result, prefix.c_str(), m_device);
        return false;
    }
    return true;
}

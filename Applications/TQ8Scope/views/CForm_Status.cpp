#include "CForm_Status.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>

#include "CMainDoc.h"
#include "EnumTexts.h"
#include "ErrorBox.h"
#include "Mnemonic.h"

namespace {

constexpr uint32_t kVersionFlags = 64;
const QString kUnknown = QStringLiteral("<Unknown>");
// Pixels of a read-only field besides its text: frame, margins and cursor.
constexpr int kFieldPadding = 12;
// Pixels between the device class field's frame and its text.
constexpr int kFieldMargin = 2;

// A flag read fails with a negative code; it is then neither set nor clear.
QString FlagText(int32_t result, const char* set, const char* clear)
{
    if (result < 0)
        return kUnknown;
    return QString::fromLatin1(result != 0 ? set : clear);
}

} // namespace

CForm_Status::CForm_Status(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    CreateControls();
}

CForm_Status::~CForm_Status() = default;

QSize CForm_Status::GetTemplateSize()
{
    return {820, 260};
}

QString CForm_Status::SystemArchitectureText(const QString& cpu)
{
    if (cpu == QLatin1String("x86_64"))
        return QStringLiteral("64-bit (x64)");
    if (cpu == QLatin1String("ia64"))
        return QStringLiteral("64-bit (Itanium)");
    if (cpu == QLatin1String("i386"))
        return QStringLiteral("32-bit (x86)");
    return QStringLiteral("Unknown");
}

void CForm_Status::CreateControls()
{
    auto* layout = new QGridLayout(this);
    layout->addWidget(CreateFlagGroup(), 0, 0);
    layout->addWidget(CreateVersionGroup(), 0, 1);
    layout->addWidget(CreateConfigGroup(), 0, 2);
    layout->setRowStretch(1, 1);
    // The configuration's texts are the long ones: that group takes the room.
    layout->setColumnStretch(2, 1);
}

QWidget* CForm_Status::CreateFlagGroup()
{
    auto* group = new QGroupBox(QStringLiteral("TQ3300 status flags"), this);
    auto* grid = new QGridLayout(group);
    const struct {
        const char* caption;
        int id;
    } flags[] = {{"PLL lock status:", kPllLockId},
                 {"RAM FIFO:", kRamFifoId},
                 {"Timestamp FIFO:", kTimestampFifoId},
                 {"Samples complete flag:", kSamplesCompleteId}};
    int row = 0;
    for (const auto& flag : flags) {
        auto* label = new QLabel(QString::fromLatin1(flag.caption), group);
        auto* value = AddItem(new QLabel(QStringLiteral("---"), group), flag.id);
        // Room for the longest text, so that a refresh never clips it.
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("N/A (Update firmware)")));
        grid->addWidget(label, row, 0);
        grid->addWidget(value, row++, 1);
        if (flag.id == kSamplesCompleteId) {
            label->setEnabled(false);
            value->setEnabled(false);
        }
    }
    auto* refresh = AddItem(new QPushButton(QStringLiteral("Refresh Status Flags"), group), kRefreshId);
    grid->addWidget(refresh, row, 0, 1, 2);
    connect(refresh, &QPushButton::clicked, this, &CForm_Status::OnRefreshFlags);
    return group;
}

QLineEdit* CForm_Status::AddField(QWidget* group, int row, const char* caption, int id)
{
    auto* grid = static_cast<QGridLayout*>(group->layout());
    auto* field = AddItem(new QLineEdit(group), id);
    field->setReadOnly(true);
    grid->addWidget(new QLabel(QString::fromLatin1(caption), group), row, 0);
    grid->addWidget(field, row, 1);
    return field;
}

// The library's description of the board is longer than the page's other
// texts: its read-only field breaks it over as many lines as the group's
// width needs, so that it is shown whole without widening the page.
void CForm_Status::AddDeviceClassField(QWidget* group, int row)
{
    auto* grid = static_cast<QGridLayout*>(group->layout());
    auto* field = AddItem(new QLabel(group), kDeviceClassId);
    vlt::SetNoPrefix(field);
    field->setWordWrap(true);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    field->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    field->setBackgroundRole(QPalette::Base);
    field->setAutoFillBackground(true);
    field->setMargin(kFieldMargin);
    grid->addWidget(new QLabel(QStringLiteral("Device class:"), group), row, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(field, row, 1);
}

QWidget* CForm_Status::CreateVersionGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Version information"), this);
    auto* grid = new QGridLayout(group);
    AddField(group, 0, "System FPGA:", kSystemFpgaId);
    auto* zabLabel = AddItem(new QLabel(QStringLiteral("ZAB/User:"), group), kZabVersionLabelId);
    auto* zab = AddItem(new QLineEdit(group), kZabVersionId);
    zab->setReadOnly(true);
    grid->addWidget(zabLabel, 1, 0);
    grid->addWidget(zab, 1, 1);
    zabLabel->hide();
    zab->hide();
    AddField(group, 2, "Hardware:", kHardwareId);
    AddField(group, 3, "Driver:", kDriverId);
    AddField(group, 4, "Library:", kLibraryId);
    AddField(group, 5, "Software release:", kReleaseId);
    return group;
}

QWidget* CForm_Status::CreateConfigGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Hardware configuration"), this);
    new QGridLayout(group);
    AddField(group, 0, "Process arch.:", kProcessArchId);
    AddField(group, 1, "System arch.:", kSystemArchId);
    AddDeviceClassField(group, 2);
    AddField(group, 3, "ZAB present?", kZabPresentId);
    AddField(group, 4, "External trigger:", kExtTriggerId);
    AddField(group, 5, "Input filter:", kInputFilterId);
    return group;
}

void CForm_Status::ShowWholeText(QLineEdit* field, const QString& text)
{
    ShowFromStart(field, text);
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(text) + kFieldPadding);
}

void CForm_Status::ShowFromStart(QLineEdit* field, const QString& text)
{
    field->setText(text);
    field->setCursorPosition(0);
    field->setToolTip(QString());
}

void CForm_Status::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    ShowVersionsAndConfiguration();
}

void CForm_Status::OnDocumentUpdate(IDocView*, int hint, void*)
{
    // The board changed on the board (new firmware, settings read back):
    // what the page shows is read again.
    if (hint == dochint::kBoardSettings)
        ShowVersionsAndConfiguration();
}

void CForm_Status::ShowVersionsAndConfiguration()
{
    ShowVersion(kSystemFpgaId, TQ8_VERSION_SYSTEM_FPGA);
    ShowVersion(kHardwareId, TQ8_VERSION_HARDWARE);
    ShowVersion(kDriverId, TQ8_VERSION_DRIVER);
    ShowVersion(kLibraryId, TQ8_VERSION_LIBRARY);
    ShowVersion(kReleaseId, TQ8_VERSION_SOFTWARE_RELEASE);
    ShowConfiguration();
}

void CForm_Status::ShowVersion(int id, int32_t item)
{
    wchar_t* text = nullptr;
    GetVersionTextWTQ8(GetDeviceHandle(), item, &text, kVersionFlags);
    ShowWholeText(ItemAs<QLineEdit>(id), text ? QString::fromWCharArray(text) : kUnknown);
    if (text)
        FreeMemoryTQ8(text);
}

uint32_t CForm_Status::Features()
{
    if (IsDeviceVirtualTQ8(GetDeviceHandle()) != 0)
        return kAllFeatures;
    return GetBoardFeaturesTQ8(GetDeviceHandle());
}

void CForm_Status::ShowConfiguration()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    ShowWholeText(ItemAs<QLineEdit>(kProcessArchId), QStringLiteral("64-bit"));
    ShowWholeText(ItemAs<QLineEdit>(kSystemArchId), SystemArchitectureText(QSysInfo::currentCpuArchitecture()));
    std::wstring name;
    if (GetBoardNameString(device, name, TQ8_NAME_SET_DEVICE_CLASS) == 0)
        ItemAs<QLabel>(kDeviceClassId)->setText(ToQt(name));
    QString zab = QStringLiteral("No");
    if (Features() & TQ8_FEATURE_ZAB) {
        zab = QStringLiteral("Yes (%1)").arg(QString::fromWCharArray(ZabFpgaTypeToText(GetZabFpgaTypeTQ8(device))));
        Item(kZabVersionLabelId)->show();
        Item(kZabVersionId)->show();
        ShowVersion(kZabVersionId, TQ8_VERSION_ZAB_FPGA);
    }
    ShowWholeText(ItemAs<QLineEdit>(kZabPresentId), zab);
    ShowWholeText(ItemAs<QLineEdit>(kExtTriggerId), QString::fromWCharArray(ExtTriggerConfigToText(GetExtTriggerConfigurationTQ8(device, 1))));
    ShowWholeText(ItemAs<QLineEdit>(kInputFilterId), QString::fromWCharArray(InputChannelConfigToText(GetInputChannelConfigurationTQ8(device, 0))));
}

QString CForm_Status::TimestampFifoText()
{
    const int32_t overflow = GetTimestampOverflowFlagTQ8(GetDeviceHandle());
    if (overflow == kNoOverflowSupport)
        return QStringLiteral("N/A (Update firmware)");
    if (overflow < 0)
        return kUnknown;
    if (overflow >= 1)
        return QStringLiteral("** Full **");
    return FlagText(GetTimestampAvailabilityTQ8(GetDeviceHandle()), "Not empty", "Empty");
}

void CForm_Status::OnRefreshFlags()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    ItemAs<QLabel>(kPllLockId)->setText(FlagText(GetPllLockStatusTQ8(device), "Locked", "** Unlocked **"));
    ItemAs<QLabel>(kRamFifoId)->setText(FlagText(GetFifoFullFlagTQ8(device), "** Full **", "Not full"));
    ItemAs<QLabel>(kTimestampFifoId)->setText(TimestampFifoText());
    ItemAs<QLabel>(kSamplesCompleteId)->setText(FlagText(GetSamplesCompleteFlagTQ8(device), "Set", "Clear"));
}

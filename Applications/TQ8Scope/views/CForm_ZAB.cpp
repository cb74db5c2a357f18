#include "CForm_ZAB.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include "CMainDoc.h"

namespace {

constexpr CSettingFormView::ChoiceSetting kBoardNumber{GetZabBoardNumberTQ8, SetZabBoardNumberTQ8,
                                                       L"ZAB board number setting updated",
                                                       L"Failed to set ZAB board number setting: "};
constexpr CSettingFormView::ChoiceSetting kConfiguration{GetZabConfigurationTQ8, SetZabConfigurationTQ8,
                                                         L"ZAB configuration setting updated",
                                                         L"Failed to set ZAB configuration setting: "};
constexpr CSettingFormView::ChoiceSetting kClock{GetZabClockTQ8, SetZabClockTQ8, L"ZAB clock setting updated",
                                                 L"Failed to set ZAB clock setting: "};

struct ComboSpec {
    int id;
    const char* caption;
    const CSettingFormView::ChoiceSetting* setting;
    QStringList items;
};

} // namespace

CForm_ZAB::CForm_ZAB(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    CreateControls();
}

CForm_ZAB::~CForm_ZAB() = default;

QSize CForm_ZAB::GetTemplateSize()
{
    return {360, 140};
}

void CForm_ZAB::CreateControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Veltrane Auxiliary Bus (ZAB)"), this);
    layout->addWidget(group);
    layout->addStretch(1);
    auto* grid = new QGridLayout(group);
    QStringList numbers{QStringLiteral("0 (ZAB disabled)")};
    for (int n = 1; n <= 7; ++n)
        numbers << QString::number(n);
    const ComboSpec entries[] = {
        {kBoardNumberId, "ZAB board number:", &kBoardNumber, numbers},
        {kConfigurationId, "ZAB configuration:", &kConfiguration,
         {QStringLiteral("64-bit"), QStringLiteral("32-bit (lower)"), QStringLiteral("32-bit (upper)")}},
        {kClockId, "ZAB clock:", &kClock,
         {QStringLiteral("Use acquisition clock"), QStringLiteral("62.5MHz (Transfer)"),
          QStringLiteral("125MHz (Transfer)")}},
    };
    int row = 0;
    for (const ComboSpec& entry : entries) {
        auto* combo = AddItem(new QComboBox(group), entry.id);
        combo->addItems(entry.items);
        grid->addWidget(new QLabel(QString::fromLatin1(entry.caption), group), row, 0);
        grid->addWidget(combo, row++, 1);
        const CSettingFormView::ChoiceSetting* setting = entry.setting;
        connect(combo, &QComboBox::activated, this, [this, combo, setting] { ApplyComboSetting(combo, *setting); });
    }
}

void CForm_ZAB::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    Refresh();
}

void CForm_ZAB::Refresh()
{
    RefreshScope refreshing(*this);
    ItemAs<QComboBox>(kBoardNumberId)->setCurrentIndex(GetZabBoardNumberTQ8(GetDeviceHandle(), 1));
    ItemAs<QComboBox>(kConfigurationId)->setCurrentIndex(GetZabConfigurationTQ8(GetDeviceHandle(), 1));
    ItemAs<QComboBox>(kClockId)->setCurrentIndex(GetZabClockTQ8(GetDeviceHandle(), 1));
}

void CForm_ZAB::OnDocumentUpdate(IDocView*, int hint, void*)
{
    if (hint == dochint::kBoardSettings)
        Refresh();
}

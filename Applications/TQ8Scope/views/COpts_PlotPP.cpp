#include "COpts_PlotPP.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "CMainApp.h"
#include "DocHints.h"
#include "PersistentOptsKeys.h"

COpts_PlotPP::COpts_PlotPP(CMainApp& app, QWidget* parent)
    : CPropertyPage(QStringLiteral("Data Plotting"), parent), m_app(app)
{
    auto* group = new QGroupBox(QStringLiteral("Time-domain data plotting"), this);
    group->setLayout(new QFormLayout);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);
    m_axisX = AddCombo(QStringLiteral("X axis units:"), {QStringLiteral("Time"), QStringLiteral("Sample number")},
                       opts::kPlotAxisX);
    m_axisY = AddCombo(QStringLiteral("Y axis units:"), {QStringLiteral("Voltage"), QStringLiteral("ADC value")},
                       opts::kPlotAxisY);
    m_tips = AddCombo(QStringLiteral("Sample tooltips:"),
                      {QStringLiteral("Voltage and ADC value"), QStringLiteral("Voltage"), QStringLiteral("ADC value")},
                      opts::kPlotSampTips);
    m_hex = new QCheckBox(QStringLiteral("Display ADC values in hexadecimal"), group);
    static_cast<QFormLayout*>(group->layout())->addRow(m_hex);
    int32_t hex = opts::kPlotDefault;
    m_app.GetPersistentOpts().GetItemInt(opts::kPlotHexAdcVal, hex, opts::kPlotDefault);
    m_hex->setChecked(hex != 0);
    connect(m_hex, &QCheckBox::clicked, this, [this] { SetModified(); });
}

QComboBox* COpts_PlotPP::AddCombo(const QString& label, const QStringList& items, const wchar_t* key)
{
    auto* group = findChild<QGroupBox*>();
    auto* combo = new QComboBox(group);
    combo->addItems(items);
    int32_t value = opts::kPlotDefault;
    m_app.GetPersistentOpts().GetItemInt(key, value, opts::kPlotDefault);
    combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : -1);
    static_cast<QFormLayout*>(group->layout())->addRow(label, combo);
    connect(combo, &QComboBox::currentIndexChanged, this, [this] { SetModified(); });
    return combo;
}

bool COpts_PlotPP::OnApply()
{
    CPersistentOpts& options = m_app.GetPersistentOpts();
    options.SetItemInt(opts::kPlotAxisX, m_axisX->currentIndex());
    options.SetItemInt(opts::kPlotAxisY, m_axisY->currentIndex());
    options.SetItemInt(opts::kPlotSampTips, m_tips->currentIndex());
    options.SetItemInt(opts::kPlotHexAdcVal, m_hex->isChecked() ? 1 : 0);
    m_app.NotifyAllDocuments(nullptr, appnotify::kPlotOptions, nullptr);
    return CPropertyPage::OnApply();
}

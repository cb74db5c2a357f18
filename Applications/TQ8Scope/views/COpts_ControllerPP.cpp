#include "COpts_ControllerPP.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "CMainApp.h"
#include "PersistentOptsKeys.h"

COpts_ControllerPP::COpts_ControllerPP(CMainApp& app, QWidget* parent)
    : CPropertyPage(QStringLiteral("Controller"), parent), m_app(app)
{
    auto* group = new QGroupBox(QStringLiteral("Controller Devices"), this);
    auto* groupLayout = new QVBoxLayout(group);
    m_masters = new QCheckBox(QStringLiteral("Automatically make &masters controllers of slaves"), group);
    m_syncPlots =
        new QCheckBox(QStringLiteral("&Synchronize controlled device plot parameters to controller device by default"),
                      group);
    m_note = new QLabel(group);
    m_note->setWordWrap(true);
    groupLayout->addWidget(m_masters);
    groupLayout->addWidget(m_syncPlots);
    groupLayout->addWidget(m_note);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);

    const uint32_t flags = m_app.GetAppFlags();
    m_masters->setChecked(flags & opts::kAppFlagMastersControlSlaves);
    m_syncPlots->setChecked(flags & opts::kAppFlagSyncControlledPlots);
    connect(m_masters, &QCheckBox::clicked, this, [this] { SetModified(); });
    connect(m_syncPlots, &QCheckBox::clicked, this, [this] { SetModified(); });
}

bool COpts_ControllerPP::OnInitDialog()
{
    m_note->setText(QStringLiteral("When the 'Acquire and Display Data' button is pressed for a controller device, a "
                                   "new acquisition will be also done for each controlled device"));
    return true;
}

bool COpts_ControllerPP::OnApply()
{
    m_app.SetAppFlags(m_masters->isChecked() ? opts::kAppFlagMastersControlSlaves : 0,
                      opts::kAppFlagMastersControlSlaves);
    m_app.SetAppFlags(m_syncPlots->isChecked() ? opts::kAppFlagSyncControlledPlots : 0,
                      opts::kAppFlagSyncControlledPlots);
    return CPropertyPage::OnApply();
}

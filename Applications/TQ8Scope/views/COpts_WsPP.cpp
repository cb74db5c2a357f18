#include "COpts_WsPP.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "CMainApp.h"
#include "PersistentOptsKeys.h"

COpts_WsPP::COpts_WsPP(CMainApp& app, QWidget* parent)
    : CPropertyPage(QStringLiteral("Workspaces"), parent), m_app(app)
{
    auto* startup = new QGroupBox(QStringLiteral("Application startup"), this);
    auto* startupLayout = new QVBoxLayout(startup);
    m_startup = new QComboBox(startup);
    m_startup->addItems({QStringLiteral("Create a new workspace with local devices"),
                         QStringLiteral("Load last workspace"), QStringLiteral("Display New TQ3300-4 Workspace window"),
                         QStringLiteral("Create a new blank workspace")});
    auto* label = new QLabel(QStringLiteral("When TQ3300 Scope Application &starts up:"), startup);
    label->setBuddy(m_startup);
    startupLayout->addWidget(label);
    startupLayout->addWidget(m_startup);
    auto* note =
        new QLabel(QStringLiteral("The New Workspace window will be displayed if the selected action cannot be performed."),
                   startup);
    note->setWordWrap(true);
    startupLayout->addWidget(note);

    auto* shutdown = new QGroupBox(QStringLiteral("Application shutdown"), this);
    auto* shutdownLayout = new QVBoxLayout(shutdown);
    m_noPrompt = new QCheckBox(QStringLiteral("Do not prompt to save &modified, unnamed workspaces"), shutdown);
    shutdownLayout->addWidget(m_noPrompt);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(startup);
    layout->addWidget(shutdown);
    layout->addStretch(1);

    int32_t type = opts::kAppStartupTypeDefault;
    m_app.GetPersistentOpts().GetItemInt(opts::kAppStartupType, type, opts::kAppStartupTypeDefault);
    // A stored value the list does not have shows no selection.
    m_startup->setCurrentIndex(type >= 0 && type < m_startup->count() ? type : -1);
    m_noPrompt->setChecked(m_app.GetAppFlags() & opts::kAppFlagNoPromptUnnamedWs);

    connect(m_startup, &QComboBox::currentIndexChanged, this, [this] { SetModified(); });
    connect(m_noPrompt, &QCheckBox::clicked, this, [this] { SetModified(); });
}

bool COpts_WsPP::OnApply()
{
    m_app.SetAppFlags(m_noPrompt->isChecked() ? opts::kAppFlagNoPromptUnnamedWs : 0, opts::kAppFlagNoPromptUnnamedWs);
    m_app.GetPersistentOpts().SetItemInt(opts::kAppStartupType, m_startup->currentIndex());
    return CPropertyPage::OnApply();
}

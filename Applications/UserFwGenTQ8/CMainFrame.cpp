#include "CMainFrame.h"

#include <QAction>
#include <QMenuBar>
#include <QStatusBar>

#include "CEditAccelerators.h"
#include "CMainView.h"
#include "LockKeyIndicators.h"

const wchar_t* const kGeneratorTitle = L"TQ3300 User Firmware File Generator";

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent)
    , m_view(new CMainView(this))
{
    setWindowTitle(QString::fromWCharArray(kGeneratorTitle));
    setCentralWidget(m_view);
    CreateMenus();
    new CEditAccelerators(this);
    statusBar()->showMessage(tr("Ready"));
    new vlt::LockKeyIndicators(statusBar());
}

void CMainFrame::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* exit = file->addAction(tr("E&xit"), this, &QWidget::close);
    exit->setObjectName(QStringLiteral("actionExit"));

    QMenu* view = menuBar()->addMenu(tr("&View"));
    QAction* status = view->addAction(tr("&Status Bar"));
    status->setObjectName(QStringLiteral("actionStatusBar"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QWidget::setVisible);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* about = help->addAction(tr("&About TQ3300 User Firmware File Generator..."), this,
                                     &CMainFrame::aboutRequested);
    about->setObjectName(QStringLiteral("actionAbout"));
}

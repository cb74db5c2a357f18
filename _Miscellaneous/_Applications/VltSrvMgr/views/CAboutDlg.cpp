#include "CAboutDlg.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>

#include "ServiceIcons.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Veltrane Service Manager"));
    setModal(true);
    auto* layout = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    layout->addWidget(icon, 0, 0, Qt::AlignTop);
    layout->addWidget(new QLabel(QStringLiteral("Veltrane Service Manager v1.5"), this), 0, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons, 0, 2, Qt::AlignTop);
    // The etched line with the brand on it.
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line, 1, 0, 1, 3);
    auto* brand = new QLabel(QStringLiteral(" Veltrane "), this);
    brand->setEnabled(false);
    layout->addWidget(brand, 2, 0, 1, 3);
}

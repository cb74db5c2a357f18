#include "CAboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About TQ3300 User Firmware File Generator"));
    setModal(true);
    auto* layout = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(new QLabel(QStringLiteral("TQ3300 User-Firmware Package Generator Version 1.0"), this), 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Version ") + QApplication::applicationVersion(), this), 1, 1);
    layout->addWidget(new QLabel(QStringLiteral(" Veltrane "), this), 2, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons, 0, 2, Qt::AlignTop);
}

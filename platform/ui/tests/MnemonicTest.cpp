#include <gtest/gtest.h>

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "Mnemonic.h"
#include "TestApp.h"
#include "TextFitCheck.h"

TEST(Mnemonic, RemovedAsTheControlShowsIt)
{
    EXPECT_EQ(vlt::RemoveMnemonic(QStringLiteral("Ch. &2 DC offset")), QStringLiteral("Ch. 2 DC offset"));
    EXPECT_EQ(vlt::RemoveMnemonic(QStringLiteral("R&&D &Save")), QStringLiteral("R&D Save"));
    EXPECT_EQ(vlt::RemoveMnemonic(QStringLiteral("&&&x&")), QStringLiteral("&x"));
    EXPECT_EQ(vlt::RemoveMnemonic(QStringLiteral("plain")), QStringLiteral("plain"));
}

TEST(Mnemonic, NoPrefixTextIsShownAsItIs)
{
    for (const QString& text : {QStringLiteral("/home/u/a b &c/my set.tq8set"), QStringLiteral("R&&D"),
                                QStringLiteral("&"), QStringLiteral("x&"), QStringLiteral("plain"), QString()})
        EXPECT_EQ(vlt::RemoveMnemonic(vlt::NoPrefixText(text)), text) << text.toStdString();
}

TEST(Mnemonic, LabelHandsItsMnemonicToTheNextTabStop)
{
    App();
    vlt::InstallMnemonicRule();
    QDialog dialog;
    auto* layout = new QHBoxLayout(&dialog);
    auto* label = new QLabel(QStringLiteral("Ch. &2 DC offset"), &dialog);
    auto* path = new QLabel(QStringLiteral("/data/R&D.rd8"), &dialog);
    vlt::SetNoPrefix(path);
    auto* edit = new QLineEdit(&dialog);
    layout->addWidget(label);
    layout->addWidget(path);
    layout->addWidget(edit);
    dialog.show();
    EXPECT_EQ(label->buddy(), edit);
    // A text set while the window shows is seen once the show is done.
    QDialog later;
    auto* lateLabel = new QLabel(QStringLiteral("Numeric value:"), &later);
    auto* lateEdit = new QLineEdit(&later);
    lateEdit->move(0, 30);
    later.show();
    lateLabel->setText(QStringLiteral("Ch. &2 DC offset"));
    QCoreApplication::processEvents();
    EXPECT_EQ(lateLabel->buddy(), lateEdit);
    EXPECT_FALSE(vlt::ShowsLiteralMnemonic(label));
    // Nothing in its window takes the focus: the text loses its mark.
    QDialog bare;
    auto* last = new QLabel(QStringLiteral("&Last"), &bare);
    bare.show();
    EXPECT_EQ(last->buddy(), nullptr);
    EXPECT_EQ(last->text(), QStringLiteral("Last"));
    EXPECT_EQ(path->buddy(), nullptr);
    EXPECT_EQ(path->text(), QStringLiteral("/data/R&D.rd8"));
}

TEST(TextFitCheck, NamesEveryCutTextAndPassesWholeOnes)
{
    App();
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Fit"));
    dialog.resize(400, 300);
    auto* cut = new QLabel(QStringLiteral("Device class: a long description"), &dialog);
    cut->setGeometry(10, 10, 40, 20);
    auto* literal = new QLabel(QStringLiteral("Value"), &dialog);
    literal->setGeometry(10, 40, 200, 20);
    auto* fits = new QPushButton(QStringLiteral("&OK"), &dialog);
    fits->setGeometry(10, 70, 120, 30);
    auto* list = new QTreeWidget(&dialog);
    list->setGeometry(10, 110, 300, 100);
    list->setHeaderLabels({QStringLiteral("Freq"), QStringLiteral("Bin #")});
    new QTreeWidgetItem(list, {QStringLiteral("1234.567 MHz"), QStringLiteral("12")});
    list->setColumnWidth(0, 30);
    auto* tabs = new QTabWidget(&dialog);
    tabs->setGeometry(10, 215, 120, 80);
    tabs->tabBar()->setUsesScrollButtons(false);
    tabs->addTab(new QWidget, QStringLiteral("Data Plotting"));
    tabs->addTab(new QWidget, QStringLiteral("Troubleshooting"));
    // The shown tab wider than its strip lies partly under the scroll buttons.
    auto* strip = new QTabBar(&dialog);
    strip->setGeometry(140, 215, 120, 24);
    strip->setUsesScrollButtons(true);
    strip->addTab(QStringLiteral("TQ3300-4 #5002 @127.0.0.1:47510 - Ch. 1"));
    strip->addTab(QStringLiteral("TQ3300-4 #5002 @127.0.0.1:47510 - Ch. 2"));
    dialog.show();
    QCoreApplication::processEvents();
    literal->setText(QStringLiteral("&Value")); // after the rule saw it

    vlt::TextFitCheck check;
    check.CheckWindow(&dialog);
    const QString report = check.Report();
    EXPECT_TRUE(report.contains(QStringLiteral("Fit | QLabel | \"Device class: a long description\" | needs"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("\"&Value\" | shows a literal mnemonic"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("\"Freq\" | column items needs"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("\"Troubleshooting\" | tab lies outside"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("- Ch. 1\" | tab lies under the tab strip's scroll buttons"))) << report.toStdString();
    EXPECT_FALSE(report.contains(QStringLiteral("- Ch. 2\" | tab lies under"))) << report.toStdString();
    EXPECT_FALSE(report.contains(QStringLiteral("&OK"))) << report.toStdString();
    EXPECT_TRUE(check.Checked().contains(QStringLiteral("Fit / Troubleshooting")));
}

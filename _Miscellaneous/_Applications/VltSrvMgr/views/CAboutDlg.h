#pragma once
// The About box "About Veltrane Service Manager".
#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 100;
    explicit CAboutDlg(QWidget* parent = nullptr);
};

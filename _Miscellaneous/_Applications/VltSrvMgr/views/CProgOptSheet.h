#pragma once
// The modal sheet "Program Options" with its one page "General": OK and
// Apply put the page's boxes into the options, Cancel leaves them alone.
#include <QDialog>

class CProgOptPP_Gen;
class CProgramOptions;
class QPushButton;

class CProgOptSheet : public QDialog {
    Q_OBJECT
public:
    explicit CProgOptSheet(CProgramOptions& options, QWidget* parent = nullptr);

    CProgOptPP_Gen* Page() const { return m_page; }
    QPushButton* ApplyButton() const { return m_apply; }

    void accept() override;

private:
    CProgOptPP_Gen* m_page;
    QPushButton* m_apply;
};

#pragma once
// A property sheet that remembers which page was active when OK was pressed.
#include <QDialog>

class QTabWidget;

class CVltPropertySheet : public QDialog {
    Q_OBJECT
public:
    CVltPropertySheet(const QString& caption, QWidget* parent, int firstPage);

    int AddPage(QWidget* page, const QString& caption);
    void SetActivePage(int index);
    int GetActivePage() const;
    // The page active when OK was pressed; 0 until then (so 0 after Cancel).
    int GetOkPageIndex() const { return m_okPage; }
    QTabWidget* Tabs() const { return m_tabs; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTabWidget* m_tabs;
    int m_firstPage;
    int m_okPage = 0;
};

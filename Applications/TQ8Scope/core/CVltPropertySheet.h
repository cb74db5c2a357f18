#pragma once
// A property sheet that remembers which page was active when OK was pressed.
// Property pages are initialised when first shown; OK and Apply apply every
// page shown so far, and a page that refuses keeps the sheet open on it.
#include <QDialog>

class QPushButton;
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
    QPushButton* ApplyButton() const { return m_apply; }
    void HideApplyButton();
    // Applies the pages shown so far; false when one refused.
    bool ApplyPages();

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ActivatePage(int index);

    QTabWidget* m_tabs;
    QPushButton* m_apply = nullptr;
    int m_firstPage;
    int m_okPage = 0;
};

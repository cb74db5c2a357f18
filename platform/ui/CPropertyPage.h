#pragma once
// A page of a property sheet: built with its values, initialised when it is
// first shown, marked modified by its controls (which enables the sheet's
// Apply button), and applied by the sheet when OK or Apply is pressed.
#include <QWidget>

class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit CPropertyPage(const QString& caption, QWidget* parent = nullptr);

    QString GetCaption() const { return m_caption; }
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified = true);

    // Called once, the first time the page is shown.
    virtual bool OnInitDialog() { return true; }
    // Takes the controls' values; false keeps the sheet open on this page.
    virtual bool OnApply();

    // For the sheet: runs OnInitDialog when the page is shown for the first time.
    void Activate();
    bool WasShown() const { return m_shown; }

signals:
    void modifiedChanged(bool modified);

private:
    QString m_caption;
    bool m_modified = false;
    bool m_shown = false;
};

#pragma once
// The settings page's window: the unit's clock rate.
#include <QDialog>

class QDoubleSpinBox;

class CHub6SettingsDlg : public QDialog {
public:
    CHub6SettingsDlg(QWidget* parent, const QString& caption, double clockRate);

    double GetClockRate() const;
    // Whether the user changed the shown rate: it is rounded to the box's decimals.
    bool IsRateChanged() const;

private:
    QDoubleSpinBox* m_clockRate = nullptr;
    double m_shownRate = 0.0;
};

#pragma once
// "Data Plotting" page of the program options: the units of the plots' axes
// and sample tips. Applying tells every open document, so that the plots
// read the options again.
#include "CPropertyPage.h"

class CMainApp;
class QCheckBox;
class QComboBox;

class COpts_PlotPP : public CPropertyPage {
    Q_OBJECT
public:
    explicit COpts_PlotPP(CMainApp& app, QWidget* parent = nullptr);

    bool OnApply() override;
    QComboBox* AxisXCombo() const { return m_axisX; }
    QComboBox* AxisYCombo() const { return m_axisY; }
    QComboBox* SampleTipsCombo() const { return m_tips; }
    QCheckBox* HexBox() const { return m_hex; }

private:
    QComboBox* AddCombo(const QString& label, const QStringList& items, const wchar_t* key);

    CMainApp& m_app;
    QComboBox* m_axisX = nullptr;
    QComboBox* m_axisY = nullptr;
    QComboBox* m_tips = nullptr;
    QCheckBox* m_hex = nullptr;
};

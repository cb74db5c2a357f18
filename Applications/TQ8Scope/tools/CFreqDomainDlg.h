#pragma once
// The modeless, resizable "Frequency Domain (FFT)" window of a board
// document: one tab per analysed channel of the main plot's sources, the
// spectrum in a plot control of its own, the figures of merit and the peak
// list. Its decisions are CFreqDomainController's; this class lays out the
// widgets and shows what the controller says. "Close", Escape and
// Ctrl+Shift+F only hide it.
#include <array>
#include <functional>
#include <memory>

#include <QDialog>

#include "CFreqDomainController.h"
#include "IFreqDomainWindow.h"

class CColorKeyButton;
class IFreqDomainHost;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSizeGrip;
class QTabBar;
class QTreeWidget;

class CFreqDomainDlg : public QDialog, public IFreqDomainWindow {
    Q_OBJECT
public:
    // Makes the window's plot under parent; null (and no widget) when it
    // cannot. The default creates "TQ8UI.ScopeCtrl" through the component
    // runtime.
    using PlotFactory = std::function<IScopeTQ8*(QWidget* parent, QWidget** widget)>;
    static IScopeTQ8* CreatePlotByProgId(QWidget* parent, QWidget** widget);

    enum Figure {
        kFftSize, kRate, kFundamental, kSnr, kSinad, kSfdr, kHarmonic2, kHarmonic3, kThd,
        kRmsNoise, kRmsTotal, kMeanSample, kMinMax, kAveraged, kFigureCount
    };

    CFreqDomainDlg(QWidget* parent, std::unique_ptr<IFreqDomainHost> host, PlotFactory plotFactory = CreatePlotByProgId);
    ~CFreqDomainDlg() override;

    // ---- IFreqDomainWindow
    QWidget* Widget() override { return this; }
    void LoadOptions() override;
    void UpdateSpectra(int32_t srcId) override;
    void OnSourceAdded(uint32_t srcId) override;
    void OnSourceRemoved(uint32_t srcId) override;
    void OnPlotSelectionChanged() override;

    CFreqDomainController& Controller() { return m_controller; }
    QWidget* PlotWidget() const { return m_plotWidget; }
    QLabel* FigureValue(Figure figure) const { return m_values[figure]; }
    QLabel* FigureLabel(Figure figure) const { return m_labels[figure]; }
    QTabBar* Tabs() const { return m_tabs; }
    QTreeWidget* PeakList() const { return m_peaks; }
    CColorKeyButton* ColorKey() const { return m_colorKey; }
    // Why the tab's channel could not be read, under its figures.
    QLabel* Note() const { return m_note; }
    // The "&..." menu: one item per tab, numbered from 1 in its data.
    std::unique_ptr<QMenu> BuildTabMenu() const;
    void ChooseTab(int index);
    // Shows the options dialog; its result applied on OK.
    void OnOptions();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void CreatePlot(const PlotFactory& factory);
    void Render();
    void ShowLayout(bool withChannels);
    void SyncTabs();
    void FitTabStrip();
    void FillPeakList(const CFreqDomainController::Display& display);
    void PlaceSpectrum(bool besidePeakList);
    void OnTabMenu();
    void OnPeakActivated();
    void OnHideToggled(bool hidden);

    std::unique_ptr<IFreqDomainHost> m_host;
    CFreqDomainController m_controller;
    QSize m_lastSize;
    QTabBar* m_tabs = nullptr;
    QFrame* m_tabPanel = nullptr; // the tab control's page area
    QPushButton* m_tabMenu = nullptr;
    QWidget* m_frame = nullptr; // where the plot goes
    QWidget* m_plotWidget = nullptr;
    std::array<QLabel*, kFigureCount> m_labels{};
    std::array<QLabel*, kFigureCount> m_values{};
    CColorKeyButton* m_colorKey = nullptr;
    QLabel* m_peakLabel = nullptr;
    QTreeWidget* m_peaks = nullptr;
    QLabel* m_noSources = nullptr;
    QLabel* m_note = nullptr; // why the tab shows an earlier block
    QCheckBox* m_hide = nullptr;
    QPushButton* m_restart = nullptr;
    QPushButton* m_options = nullptr;
    QPushButton* m_resetScale = nullptr;
    QPushButton* m_close = nullptr;
    QSizeGrip* m_grip = nullptr;
    bool m_layoutShown = false;
    bool m_withChannels = false;
};

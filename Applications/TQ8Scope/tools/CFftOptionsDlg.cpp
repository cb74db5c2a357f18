#include "CFftOptionsDlg.h"

#include "FftOptionsChecks.h"
#include "MessageBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace {

QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

QLabel* WrappedLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

} // namespace

CFftOptionsDlg::CFftOptionsDlg(QWidget* parent, CFFTOptions& options)
    : QDialog(parent)
    , m_options(options)
{
    setWindowTitle(QStringLiteral("FFT Options"));
    setModal(true);
    BuildControls();
    LoadControls();
}

void CFftOptionsDlg::BuildControls()
{
    auto* operation = new QGroupBox(QStringLiteral("FFT operation"));
    auto* opGrid = new QGridLayout(operation);
    m_size = new QComboBox;
    m_size->setObjectName(QStringLiteral("fftSize"));
    for (int32_t size : FftSizeChoices())
        m_size->addItem(QString::number(size), size);
    opGrid->addWidget(new QLabel(QStringLiteral("FFT size:")), 0, 0);
    opGrid->addWidget(m_size, 0, 1);
    opGrid->addWidget(new QLabel(QStringLiteral("samples")), 0, 2);
    m_window = new QComboBox;
    m_window->setObjectName(QStringLiteral("window"));
    m_window->addItems({QStringLiteral("Rectangular"), QStringLiteral("Hanning"), QStringLiteral("Hamming"),
                        QStringLiteral("Blackman-Harris")});
    opGrid->addWidget(new QLabel(QStringLiteral("Windowing method:")), 1, 0);
    opGrid->addWidget(m_window, 1, 1, 1, 2);
    opGrid->addWidget(new QLabel(QStringLiteral("Obtain time-domain data from:")), 2, 0, 1, 3);
    m_grab = new QButtonGroup(this);
    const QString grabTexts[] = {QStringLiteral("Beginning of data source/aquisition"),
                                 QStringLiteral("Selection on time-domain data plot"),
                                 QStringLiteral("Always use this offset:")};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(grabTexts[i]);
        radio->setObjectName(QStringLiteral("grab%1").arg(i));
        m_grab->addButton(radio, i);
        opGrid->addWidget(radio, 3 + i, 0, 1, i == 2 ? 1 : 3);
    }
    m_offset = new QLineEdit;
    m_offset->setObjectName(QStringLiteral("offset"));
    opGrid->addWidget(m_offset, 5, 1, 1, 2);

    auto* averaging = new QGroupBox(QStringLiteral("FFT averaging"));
    auto* avgGrid = new QGridLayout(averaging);
    m_averaging = new QCheckBox(QStringLiteral("Enable FFT averaging"));
    m_averaging->setObjectName(QStringLiteral("averaging"));
    avgGrid->addWidget(m_averaging, 0, 0, 1, 3);
    m_restart = new QLineEdit;
    m_restart->setObjectName(QStringLiteral("restart"));
    avgGrid->addWidget(new QLabel(QStringLiteral("Restart averaging after:")), 1, 0);
    avgGrid->addWidget(m_restart, 1, 1);
    avgGrid->addWidget(new QLabel(QStringLiteral("FFT operations")), 1, 2);
    avgGrid->addWidget(new QLabel(QStringLiteral("Use 0 to not auto-restart avg.")), 2, 0, 1, 3);
    avgGrid->addWidget(WrappedLabel(QStringLiteral(
                           "FFT averaging works by averaging resultant magnitude-squared FFT results data over "
                           "subsequent FFT operations. This is useful for averaging out ambient noise in the "
                           "acquired data.")),
                       3, 0, 1, 3);

    auto* peaks = new QGroupBox(QStringLiteral("Peak tracking"));
    auto* peakGrid = new QGridLayout(peaks);
    m_peakTracking = new QCheckBox(QStringLiteral("Enable tracking of peak FFT frequencies"));
    m_peakTracking->setObjectName(QStringLiteral("peakTracking"));
    peakGrid->addWidget(m_peakTracking, 0, 0, 1, 3);
    m_maxPeaks = new QSpinBox;
    m_maxPeaks->setObjectName(QStringLiteral("maxPeaks"));
    m_maxPeaks->setRange(1, std::numeric_limits<int>::max());
    peakGrid->addWidget(new QLabel(QStringLiteral("Maximum number of peaks to track:")), 1, 0);
    peakGrid->addWidget(m_maxPeaks, 1, 1);

    m_exclusion = new QLineEdit;
    m_exclusion->setObjectName(QStringLiteral("exclusion"));
    auto* exclusionRow = new QHBoxLayout;
    exclusionRow->addWidget(new QLabel(QStringLiteral("Ignore noise margin outside of fundamenal:")));
    exclusionRow->addWidget(m_exclusion);
    exclusionRow->addWidget(new QLabel(QStringLiteral("% of fundamental freq.")));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFftOptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFftOptionsDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(operation);
    layout->addWidget(averaging);
    layout->addWidget(peaks);
    layout->addLayout(exclusionRow);
    layout->addWidget(new QLabel(QStringLiteral("Spur power calculated by peak bin +/- 4 bins")));
    layout->addWidget(buttons);
}

void CFftOptionsDlg::LoadControls()
{
    const FftOptionsInput input = FftOptionsToInput(m_options);
    m_size->setCurrentIndex(m_size->findData(input.fftSize));
    m_window->setCurrentIndex(input.windowChoice >= 0 && input.windowChoice < m_window->count()
                                  ? input.windowChoice
                                  : -1);
    if (QAbstractButton* radio = m_grab->button(input.grabMode))
        radio->setChecked(true);
    m_offset->setText(Q(input.offsetText));
    m_averaging->setChecked(input.averaging);
    m_restart->setText(Q(input.restartText));
    m_peakTracking->setChecked(input.peakTracking);
    m_maxPeaks->setValue(m_options.maxPeaks);
    m_exclusion->setText(Q(input.exclusionText));
}

QWidget* CFftOptionsDlg::WidgetOf(int field) const
{
    switch (static_cast<FftOptionsField>(field)) {
    case FftOptionsField::FftSize:
        return m_size;
    case FftOptionsField::Offset:
        return m_offset;
    case FftOptionsField::RestartCount:
        return m_restart;
    case FftOptionsField::MaxPeaks:
        return m_maxPeaks;
    case FftOptionsField::Exclusion:
        return m_exclusion;
    case FftOptionsField::None:
        break;
    }
    return nullptr;
}

void CFftOptionsDlg::accept()
{
    FftOptionsInput input;
    input.fftSize = m_size->currentIndex() >= 0 ? m_size->currentData().toInt() : 0;
    input.windowChoice = m_window->currentIndex();
    input.grabMode = m_grab->checkedId();
    input.offsetText = m_offset->text().toStdWString();
    input.averaging = m_averaging->isChecked();
    input.restartText = m_restart->text().toStdWString();
    input.peakTracking = m_peakTracking->isChecked();
    input.maxPeaksText = m_maxPeaks->text().toStdWString();
    input.exclusionText = m_exclusion->text().toStdWString();

    const FftOptionsProblem problem = ApplyFftOptionsInput(input, m_options);
    if (!problem.message.empty()) {
        vlt::ShowMessageBox(problem.message, MB_OK | MB_ICONERROR, this);
        if (QWidget* field = WidgetOf(static_cast<int>(problem.field))) {
            field->setFocus();
            if (auto* edit = qobject_cast<QLineEdit*>(field))
                edit->selectAll();
            else if (auto* spin = qobject_cast<QSpinBox*>(field))
                spin->selectAll();
        }
        return;
    }
    QDialog::accept();
}

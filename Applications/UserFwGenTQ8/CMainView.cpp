#include "CMainView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

#include "CCustomLogicProviderTQ8.h"
#include "CFwPackageGenerator.h"
#include "CVltEditBrowseCtrl.h"
#include "FwGenControls.h"
#include "HardwareDetection.h"
#include "InstallFolder.h"
#include "PopupMenu.h"
#include "TextConv.h"

#ifndef USERFWGEN_LINK_URL
#define USERFWGEN_LINK_URL "https://www.veltrane.com/"
#endif

namespace {

constexpr int kFormWidth = 300;
constexpr int kFormHeight = 293;
constexpr uint32_t kReadOnlyCustomEnum = 1000;
// The provider line's row: from its top to the version row below it.
constexpr int kProviderRowTop = 140;
constexpr int kProviderRowHeight = 22;

// The form is laid out in dialog units: a quarter of the font's average
// character width across, an eighth of its height down.
struct DialogUnits {
    double x = 1.5;
    double y = 1.625;
};

DialogUnits g_dlu;

void MeasureDialogUnits(const QFont& font)
{
    const QFontMetricsF fm(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    g_dlu.x = fm.horizontalAdvance(letters) / letters.size() / 4.0;
    g_dlu.y = fm.height() / 8.0;
}

int PxX(int dlu)
{
    return static_cast<int>(dlu * g_dlu.x + 0.5);
}

int PxY(int dlu)
{
    return static_cast<int>(dlu * g_dlu.y + 0.5);
}

void Place(QWidget* w, int x, int y, int cx, int cy)
{
    w->setGeometry(PxX(x), PxY(y), PxX(cx), PxY(cy));
}

QString Q(const wchar_t* text)
{
    return QString::fromWCharArray(text);
}

QString Q(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

std::wstring W(const QString& text)
{
    return vlt::Utf8ToWide(text.toStdString());
}

} // namespace

CMainView::CMainView(QWidget* parent)
    : CFormView_WithEdit(IDD, parent)
{
    CreateControls();
    LoadSaveSettings(false);
}

CMainView::~CMainView()
{
    LoadSaveSettings(true);
}

void CMainView::LoadSaveSettings(bool store)
{
    if (store)
        m_settings.Save();
    else
        m_settings.Load();
}

void CMainView::CreateControls()
{
    MeasureDialogUnits(font());
    setFixedSize(PxX(kFormWidth), PxY(kFormHeight));
    auto label = [this](const wchar_t* text, int x, int y, int cx, QWidget* buddy = nullptr) {
        auto* l = new QLabel(Q(text), this);
        Place(l, x, y, cx, 10);
        if (buddy)
            l->setBuddy(buddy);
        return l;
    };
    auto browse = [this](int id, int x, int y) {
        auto* c = new CVltEditBrowseCtrl(this);
        Place(c, x, y, 165, 14);
        m_controls[id] = c;
        return c;
    };
    // Created in tab order.
    QLabel* fpgaLabel = label(L"FPG&A type to program:", 7, 49, 90);
    m_fpgaType = new QComboBox(this);
    m_fpgaType->addItems({Q(L"Virtex 5 LX50"), Q(L"Virtex 5 SX95T")});
    Place(m_fpgaType, 98, 46, 80, 14);
    fpgaLabel->setBuddy(m_fpgaType);
    auto* detect = new QPushButton(Q(L"<- Detect From Hardware"), this);
    Place(detect, 184, 44, 105, 16);
    m_controls[IDC_XCF32P_LABEL] = label(L"Firmware data (xcf&32p):", 14, 95, 110);
    m_xcf32p = browse(IDC_XCF32P_PATH, 126, 92);
    static_cast<QLabel*>(m_controls[IDC_XCF32P_LABEL])->setBuddy(m_xcf32p->Edit());
    m_controls[IDC_XCF16P_LABEL] = label(L"Firmware data (xcf&16p):", 14, 111, 110);
    m_xcf16p = browse(IDC_XCF16P_PATH, 126, 108);
    static_cast<QLabel*>(m_controls[IDC_XCF16P_LABEL])->setBuddy(m_xcf16p->Edit());
    QLabel* enumLabel = label(L"&Custom firmware enumeration:", 14, 127, 110);
    m_custEnum = new QLineEdit(this);
    Place(m_custEnum, 126, 124, 64, 14);
    enumLabel->setBuddy(m_custEnum);
    QLabel* versionLabel = label(L"User-defined firmware &version:", 14, 166, 110);
    m_version = new QLineEdit(this);
    Place(m_version, 126, 162, 80, 14);
    versionLabel->setBuddy(m_version);
    m_preRelease = new QCheckBox(Q(L"Mark firmware as pre-release"), this);
    Place(m_preRelease, 126, 180, 160, 10);
    QLabel* readmeLabel = label(L"Optional &readme file:", 14, 198, 110);
    m_readme = browse(IDC_README_PATH, 126, 194);
    readmeLabel->setBuddy(m_readme->Edit());
    QLabel* sevLabel = label(L"Readme &severity:", 14, 214, 110);
    m_readmeSev = new QComboBox(this);
    m_readmeSev->addItems({Q(L"Normal - Up to user to read"), Q(L"Important - User always prompted to read")});
    Place(m_readmeSev, 126, 211, 165, 14);
    sevLabel->setBuddy(m_readmeSev);
    QLabel* outputLabel = label(L"&Output firmware update package:", 7, 241, 118);
    m_output = browse(IDC_OUTPUT_PATH, 126, 238);
    outputLabel->setBuddy(m_output->Edit());
    m_overwritePrompt = new QCheckBox(Q(L"Prompt when overwriting firmware update package"), this);
    Place(m_overwritePrompt, 7, 257, 250, 10);
    auto* generate = new QPushButton(Q(L"&Generate Firmware Package"), this);
    Place(generate, 89, 270, 122, 16);
    auto* group = new QGroupBox(Q(L"User-defined firmware information"), this);
    Place(group, 7, 65, 286, 167);
    group->lower();
    label(L"Note: Please ensure user-defined firmware filenames do not begin with 'erase_'.", 14, 79, 275);
    m_provider = label(L"", 126, kProviderRowTop, 165);
    label(L"<- Provided by Veltrane", 195, 127, 95);
    m_link = new QLabel(this);
    m_link->setWordWrap(true);
    m_link->setTextFormat(Qt::RichText);
    m_link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_link->setFont(QApplication::font());
    Place(m_link, 40, 7, 253, 32);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    Place(icon, 11, 7, 22, 22);

    m_controls[IDC_FPGA_TYPE] = m_fpgaType;
    m_controls[IDC_DETECT] = detect;
    m_controls[IDC_CUST_ENUM] = m_custEnum;
    m_controls[IDC_FW_VERSION] = m_version;
    m_controls[IDC_PRE_RELEASE] = m_preRelease;
    m_controls[IDC_README_SEV] = m_readmeSev;
    m_controls[IDC_OVERWRITE_PROMPT] = m_overwritePrompt;
    m_controls[IDC_GENERATE] = generate;
    m_controls[IDC_PROVIDER] = m_provider;
    m_controls[IDC_LINK] = m_link;
    ShowProviderRow(false);

    connect(m_fpgaType, &QComboBox::currentIndexChanged, this, [this] { OnFpgaTypeChange(); });
    connect(detect, &QPushButton::clicked, this, [this] { OnDetectFromHardware(); });
    connect(generate, &QPushButton::clicked, this, [this] { OnGenerate(); });
    connect(m_link, &QLabel::linkActivated, this, [this] { OnLinkClick(); });
}

QWidget* CMainView::Control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CMainView::SetUpBrowseControls()
{
    const std::wstring xsvfFilter = L"XSVF Files (*.xsvf)|*.xsvf|All Files (*.*)|*.*||";
    for (CVltEditBrowseCtrl* c : {m_xcf32p, m_xcf16p}) {
        c->EnableFileBrowseButton(L"xsvf", xsvfFilter);
        c->SetOpenMode(1);
        c->SetCueBanner(L" *.xsvf");
    }
    m_readme->EnableFileBrowseButton(L"txt", L"Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
    m_readme->SetOpenMode(1);
    m_readme->SetCueBanner(L" *.txt or blank");
    m_output->EnableFileBrowseButton(L"tq8fw",
                                     L"TQ3300 Firmware Package Files (*.tq8fw)|*.tq8fw|All Files (*.*)|*.*||");
    m_output->SetOpenMode(0);
    m_output->SetCueBanner(L" *.tq8fw");
    m_version->setPlaceholderText(Q(L" a.b.c.d"));
}

void CMainView::OnInitialUpdate()
{
    UpdateData(false);
    m_link->setText(Q(L"This utility is used to generate TQ3300 Firmware Update packages (*.tq8fw) from custom, "
                      L"third-party firmware. In order to generate custom firmware, the TQ3300 FPGA Development "
                      L"Kit is required. Contact <a href=\"VltLink\">Veltrane</a> for more details."));
    SetUpBrowseControls();
    OnFpgaTypeChange();
    ShowCustomLogicProvider(FindInstallFolder());
}

FwGenFormValues CMainView::ValuesFromControls() const
{
    FwGenFormValues v;
    v.fpgaType = m_fpgaType->currentIndex();
    v.xcf32pPath = m_xcf32p->GetText();
    v.xcf16pPath = m_xcf16p->GetText();
    v.readmePath = m_readme->GetText();
    v.readmeSev = m_readmeSev->currentIndex();
    v.outputPath = m_output->GetText();
    v.custEnum = W(m_custEnum->text());
    v.version = W(m_version->text());
    v.preRelease = m_preRelease->isChecked();
    v.overwritePrompt = m_overwritePrompt->isChecked();
    return v;
}

void CMainView::ValuesToControls(const FwGenFormValues& v)
{
    // An index outside a list leaves it without a selection.
    m_fpgaType->setCurrentIndex(v.fpgaType >= 0 && v.fpgaType < m_fpgaType->count() ? v.fpgaType : -1);
    m_xcf32p->SetText(v.xcf32pPath);
    m_xcf16p->SetText(v.xcf16pPath);
    m_readme->SetText(v.readmePath);
    m_readmeSev->setCurrentIndex(v.readmeSev >= 0 && v.readmeSev < m_readmeSev->count() ? v.readmeSev : -1);
    m_output->SetText(v.outputPath);
    m_custEnum->setText(Q(v.custEnum));
    m_version->setText(Q(v.version));
    m_preRelease->setChecked(v.preRelease);
    m_overwritePrompt->setChecked(v.overwritePrompt);
}

bool CMainView::UpdateData(bool save)
{
    if (!save) {
        ValuesToControls(FormValuesFromSettings(m_settings));
        return true;
    }
    int failed = 0;
    if (ExchangeFromForm(ValuesFromControls(), m_settings, failed))
        return true;
    FocusControl(failed, true);
    return false;
}

void CMainView::FocusControl(int id, bool selectAll)
{
    QWidget* control = Control(id);
    if (!control)
        return;
    QLineEdit* edit = qobject_cast<QLineEdit*>(control);
    if (auto* browse = qobject_cast<CVltEditBrowseCtrl*>(control))
        edit = browse->Edit();
    control->setFocus(Qt::OtherFocusReason);
    if (edit && selectAll)
        edit->selectAll();
}

void CMainView::OnFpgaTypeChange()
{
    const int sel = m_fpgaType->currentIndex();
    const bool first = sel == kFpgaVirtex5LX50 || sel == kFpgaVirtex5SX95T;
    const bool second = sel == kFpgaVirtex5SX95T;
    m_xcf32p->setEnabled(first);
    m_controls[IDC_XCF32P_LABEL]->setEnabled(first);
    m_xcf16p->setEnabled(second);
    m_controls[IDC_XCF16P_LABEL]->setEnabled(second);
}

void CMainView::OnDetectFromHardware()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int type = DetectFpgaTypeFromHardware();
    QApplication::restoreOverrideCursor();
    if (type < 0)
        return;
    m_fpgaType->setCurrentIndex(type);
    OnFpgaTypeChange();
}

void CMainView::ShowCustomLogicProvider(const std::wstring& installFolder)
{
    if (installFolder.empty())
        return;
    CCustomLogicProviderTQ8 provider;
    if (provider.Load(vlt::WideToUtf8(installFolder) + "/" + CCustomLogicProviderTQ8::kFileName) != 0)
        return;
    m_provider->setText(QStringLiteral("Detected provider: ") + QString::fromStdString(provider.DisplayName()));
    ShowProviderRow(true);
    m_custEnum->setText(QString::number(provider.m_customFwEnum));
    m_custEnum->setReadOnly(provider.m_customFwEnum >= kReadOnlyCustomEnum);
}

void CMainView::ShowProviderRow(bool show)
{
    if (show != m_provider->isHidden())
        return;
    // The rows below the provider line, the group around them and the form
    // close up while it is empty, so that no blank band is left.
    const int dy = show ? PxY(kProviderRowHeight) : -PxY(kProviderRowHeight);
    const int top = PxY(kProviderRowTop);
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w == m_provider)
            continue;
        if (w->y() > top)
            w->move(w->x(), w->y() + dy);
        else if (qobject_cast<QGroupBox*>(w) && w->geometry().bottom() > top)
            w->resize(w->width(), w->height() + dy);
    }
    m_provider->setVisible(show);
    setFixedSize(width(), height() + dy);
}

void CMainView::OnGenerate()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (UpdateData(true)) {
        CFwPackageGenerator generator(m_settings);
        if (!generator.Generate())
            FocusControl(generator.FocusAfterFailure().control, generator.FocusAfterFailure().selectAll);
    }
    QApplication::restoreOverrideCursor();
}

void CMainView::ShowEditMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    menu.setTitle(QStringLiteral("Edit"));
    for (const auto& [id, text] : {std::pair{ID_EDIT_CUT, "Cu&t\tCtrl+X"}, std::pair{ID_EDIT_COPY, "&Copy\tCtrl+C"},
                                   std::pair{ID_EDIT_PASTE, "&Paste\tCtrl+V"}}) {
        bool enabled = false;
        GetEditCommandState(id, enabled);
        vlt::AddMenuCommand(menu, int(id), QString::fromLatin1(text))->setEnabled(enabled);
    }
    if (const int chosen = vlt::TrackPopupMenu(menu, globalPos))
        OnEditCommand(unsigned(chosen));
}

void CMainView::contextMenuEvent(QContextMenuEvent* event)
{
    ShowEditMenu(event->globalPos());
}

void CMainView::OnLinkClick()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral(USERFWGEN_LINK_URL)));
}

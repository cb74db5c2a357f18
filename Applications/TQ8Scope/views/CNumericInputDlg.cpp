#include "CNumericInputDlg.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "DialogItems.h"
#include "ErrorBox.h"
#include "FormControls.h"
#include "MessageBox.h"

namespace {
// Pixels of the edit besides its text: frame, margins and cursor.
constexpr int kEditPadding = 16;
} // namespace

CNumericInputDlg::CNumericInputDlg(QWidget* parent, uint32_t value, const std::wstring& label,
                                   const std::wstring& note, const std::wstring& caption)
    : QDialog(parent), m_value(value), m_label(label), m_note(note), m_caption(caption)
{
    setWindowTitle(QStringLiteral("TQ3300 Numeric Input"));
    m_labelItem = WithId(new QLabel(QStringLiteral("Numeric value:"), this), kLabelId);
    m_edit = WithId(new QLineEdit(this), kEditId);
    m_noteItem = WithId(new QLabel(this), kNoteId);
    m_noteItem->setWordWrap(true);
    m_useDefault = WithId(new QPushButton(QStringLiteral("Use &Default"), this), kUseDefaultId);
    m_useDefault->setAutoDefault(false);
    m_useDefault->setEnabled(false);
    m_useDefault->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_labelItem, 0, 0);
    grid->addWidget(m_edit, 0, 1);
    grid->addWidget(m_useDefault, 0, 2);
    grid->addWidget(m_noteItem, 1, 0, 1, 3);
    grid->addWidget(buttons, 2, 0, 1, 3);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNumericInputDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNumericInputDlg::reject);
    connect(m_useDefault, &QPushButton::clicked, this, &CNumericInputDlg::OnUseDefault);
}

void CNumericInputDlg::SetRange(uint32_t minimum, uint32_t maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void CNumericInputDlg::SetDefault(uint32_t value)
{
    m_default = value;
    m_hasDefault = true;
}

void CNumericInputDlg::InitDialog()
{
    if (!m_label.empty())
        m_labelItem->setText(ToQt(m_label));
    if (!m_note.empty())
        m_noteItem->setText(ToQt(m_note));
    if (!m_caption.empty())
        setWindowTitle(ToQt(m_caption));
    if (m_hasDefault) {
        m_useDefault->setEnabled(true);
        m_useDefault->show();
    }
    // Wide enough for every number the range takes, frame and margins besides.
    const QFontMetrics fm = m_edit->fontMetrics();
    int widest = 0;
    for (uint32_t n : {m_minimum, m_maximum, m_value, m_default})
        widest = std::max(widest, fm.horizontalAdvance(QString::number(n)));
    m_edit->setMinimumWidth(widest + kEditPadding);
    m_edit->setText(QString::number(m_value));
    m_edit->selectAll();
    m_edit->setFocus();
}

void CNumericInputDlg::showEvent(QShowEvent* event)
{
    if (!m_initialised) {
        m_initialised = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void CNumericInputDlg::OnUseDefault()
{
    m_edit->setText(QString::number(m_default));
    m_edit->selectAll();
    m_edit->setFocus();
}

void CNumericInputDlg::accept()
{
    uint32_t value = 0;
    if (!GetDlgItemUInt32(m_edit, value)) {
        ShowInvalidNumberMessage(nullptr, m_edit, MB_ICONERROR);
        return;
    }
    if (value < m_minimum || value > m_maximum) {
        vlt::ShowMessageBox(L"Please enter an integer between " + std::to_wstring(m_minimum) + L" and " +
                                std::to_wstring(m_maximum) + L".",
                            MB_ICONWARNING, this);
        m_edit->selectAll();
        m_edit->setFocus();
        return;
    }
    m_value = value;
    QDialog::accept();
}

#include "DialogItems.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "ErrorBox.h"
#include "NumberParse.h"
#include "TextConv.h"
#include "ValueFormat.h"

namespace {

std::string Trimmed(std::wstring_view text)
{
    std::string s = vlt::WideToUtf8(text);
    const char* blanks = " \t\r\n";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    size_t last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

std::string CleanWholeNumber(std::wstring_view text)
{
    std::wstring_view head = text.substr(0, text.find(L':'));
    std::wstring noCommas;
    for (wchar_t c : head)
        if (c != L',')
            noCommas += c;
    return Trimmed(noCommas);
}

// Digits after an optional base prefix; the whole text must be used.
bool ParseMagnitude(std::string_view text, uint64_t& out)
{
    int base = 10;
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
        text.remove_prefix(1);
    }
    return vlt::ParseNumber(text, out, vlt::ParseRules{false, false, vlt::Trailing::Refuse, base});
}

bool ParseSigned(std::wstring_view text, bool allowMinus, uint64_t maxPositive, uint64_t maxNegative,
                 bool& negative, uint64_t& magnitude)
{
    std::string s = CleanWholeNumber(text);
    negative = false;
    if (s.empty()) {
        magnitude = 0;
        return true;
    }
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        if (negative && !allowMinus)
            return false;
        s.erase(0, 1);
    }
    if (!ParseMagnitude(s, magnitude))
        return false;
    return magnitude <= (negative ? maxNegative : maxPositive);
}

constexpr uint64_t kUnitMax[5] = {UINT64_MAX, 0x3FFFFFFFFFFFFFull, 0xFFFFFFFFFFFull, 0x3FFFFFFFFull, 0xFFFFFFull};

} // namespace

bool ParseDlgDouble(std::wstring_view text, double& out)
{
    std::string s = Trimmed(text);
    if (s.empty())
        return false;
    if (s.back() == '.')
        s.pop_back();
    double value = 0;
    if (!vlt::ParseNumber(s, value, vlt::ParseRules{false, true, vlt::Trailing::Refuse, 10}) || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool ParseDlgUInt64(std::wstring_view text, uint64_t& out)
{
    bool negative = false;
    uint64_t value = 0;
    if (!ParseSigned(text, false, UINT64_MAX, 0, negative, value))
        return false;
    out = value;
    return true;
}

bool ParseDlgUInt32(std::wstring_view text, uint32_t& out)
{
    bool negative = false;
    uint64_t value = 0;
    if (!ParseSigned(text, false, UINT32_MAX, 0, negative, value))
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool ParseDlgInt32(std::wstring_view text, int32_t& out)
{
    bool negative = false;
    uint64_t value = 0;
    if (!ParseSigned(text, true, INT32_MAX, uint64_t(INT32_MAX) + 1, negative, value))
        return false;
    out = negative ? static_cast<int32_t>(-static_cast<int64_t>(value)) : static_cast<int32_t>(value);
    return true;
}

std::wstring GetDlgItemText(const QWidget* item)
{
    QString text;
    if (auto* edit = qobject_cast<const QLineEdit*>(item))
        text = edit->text();
    else if (auto* combo = qobject_cast<const QComboBox*>(item))
        text = combo->currentText();
    else if (auto* label = qobject_cast<const QLabel*>(item))
        text = label->text();
    return vlt::Utf8ToWide(text.toStdString());
}

namespace {

template <class T, class Parser>
bool ReadItem(const QWidget* item, T& out, Parser parse)
{
    if (!item)
        return false;
    std::wstring text = GetDlgItemText(item);
    return !text.empty() && parse(text, out);
}

} // namespace

bool GetDlgItemDouble(const QWidget* item, double& out) { return ReadItem(item, out, ParseDlgDouble); }
bool GetDlgItemUInt64(const QWidget* item, uint64_t& out) { return ReadItem(item, out, ParseDlgUInt64); }
bool GetDlgItemInt32(const QWidget* item, int32_t& out) { return ReadItem(item, out, ParseDlgInt32); }
bool GetDlgItemUInt32(const QWidget* item, uint32_t& out) { return ReadItem(item, out, ParseDlgUInt32); }

bool SetDlgItemDouble(QWidget* item, double value, const char* format)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format ? format : "%0.3f", value);
    QString text = QString::fromUtf8(buf);
    if (auto* edit = qobject_cast<QLineEdit*>(item))
        edit->setText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(item); combo && combo->isEditable())
        combo->setEditText(text);
    else if (auto* label = qobject_cast<QLabel*>(item))
        label->setText(text);
    else
        return false;
    return true;
}

void SplitCountToUnits(uint64_t count, uint64_t& number, int& unitIndex)
{
    number = count;
    unitIndex = 0;
    if (count == 0)
        return;
    for (int index = 4; index >= 1; --index) {
        uint64_t unit = uint64_t(1) << (10 * index);
        if (count % unit == 0) {
            number = count / unit;
            unitIndex = index;
            return;
        }
    }
}

bool CombineCountWithUnits(uint64_t number, int unitIndex, uint64_t& count)
{
    if (unitIndex < 0 || unitIndex > 4) // no selection: as it stands
        unitIndex = 0;
    if (number > kUnitMax[unitIndex])
        return false;
    count = number << (10 * unitIndex);
    return true;
}

bool DDX_CountWithUnits(bool save, QLineEdit* edit, QComboBox* units, uint64_t& count, uint64_t least)
{
    if (!save) {
        uint64_t number = 0;
        int index = 0;
        SplitCountToUnits(count, number, index);
        // A combo with fewer units shows the count in its largest one.
        if (units->count() > 0 && index >= units->count()) {
            index = units->count() - 1;
            number = count >> (10 * index);
        }
        edit->setText(QString::number(number));
        units->setCurrentIndex(index);
        return true;
    }
    uint64_t number = 0;
    if (!ParseDlgUInt64(GetDlgItemText(edit), number)) {
        ShowInvalidNumberMessage(nullptr, edit);
        return false;
    }
    int index = std::clamp(units->currentIndex(), 0, 4);
    uint64_t result = 0;
    if (number < least || !CombineCountWithUnits(number, index, result)) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "Please enter an integer between %llu and %llu.",
                      static_cast<unsigned long long>(least), static_cast<unsigned long long>(kUnitMax[index]));
        vlt::ShowMessageBox(vlt::Utf8ToWide(buf), MB_ICONERROR, edit->window());
        edit->setFocus();
        return false;
    }
    count = result;
    return true;
}

bool DDX_CountWithUnits32(bool save, QLineEdit* edit, QComboBox* units, uint32_t& count)
{
    uint64_t wide = count;
    if (!DDX_CountWithUnits(save, edit, units, wide))
        return false;
    if (!save)
        return true;
    if (wide > UINT32_MAX) {
        vlt::ShowMessageBox(L"Specified value is too large. Maximum value cannot be larger than 4294967295",
                            MB_ICONERROR, edit->window());
        edit->setFocus();
        return false;
    }
    count = static_cast<uint32_t>(wide);
    return true;
}

void DDX_CheckFlag(bool save, QCheckBox* box, uint32_t mask, uint32_t& flags)
{
    if (!save) {
        box->setCheckState((flags & mask) == mask ? Qt::Checked : Qt::Unchecked);
        return;
    }
    if (box->checkState() == Qt::Checked)
        flags |= mask;
    else
        flags &= ~mask;
}

bool SelectComboItemByData(QComboBox* combo, uint64_t data)
{
    for (int i = 0; i < combo->count(); ++i) {
        QVariant itemData = combo->itemData(i);
        if (itemData.isValid() && itemData.toULongLong() == data) {
            combo->setCurrentIndex(i);
            return true;
        }
    }
    combo->setCurrentIndex(-1);
    return false;
}

void FillSampleCountCombo(QComboBox* combo, bool noTransferOnly, uint32_t largest)
{
    combo->clear();
    if (!noTransferOnly)
        combo->addItem(QStringLiteral("0 : Transfer only"), QVariant::fromValue<qulonglong>(0));
    for (uint32_t count : kSampleCountPresets)
        if (count <= largest)
            combo->addItem(QString::fromStdString(vlt::WideToUtf8(FormatWithThousandsSeparator(count))),
                       QVariant::fromValue<qulonglong>(count));
}

void AppendBoardNameToTitle(QWidget* window, TQ8_HANDLE device, uint32_t nameFlags)
{
    std::wstring name;
    if (!window || GetBoardNameString(device, name, nameFlags) != 0)
        return;
    window->setWindowTitle(window->windowTitle() + QStringLiteral(" - ") + QString::fromStdString(vlt::WideToUtf8(name)));
}

void ResizeControlBy(QWidget* child, int dx, int dy)
{
    if (child)
        child->resize(child->width() + dx, child->height() + dy);
}

void MoveControlBy(QWidget* child, int dx, int dy)
{
    if (child)
        child->move(child->x() + dx, child->y() + dy);
}

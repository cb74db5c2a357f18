#include "FileDialog.h"

#include <mutex>

#include <QFileDialog>
#include <QStringList>

#include "TextConv.h"

namespace vlt {
namespace {

std::mutex g_mutex;
FileDialogHandler g_handler;

QString ToQ(const std::wstring& text)
{
    return QString::fromStdString(WideToUtf8(text));
}

std::wstring FromQ(const QString& text)
{
    return Utf8ToWide(text.toStdString());
}

std::optional<std::wstring> RealFolderDialog(const FileDialogRequest& req)
{
    QFileDialog dlg(req.parent, ToQ(req.title), ToQ(req.folder));
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return FromQ(dlg.selectedFiles().front());
}

std::optional<std::wstring> RealDialog(const FileDialogRequest& req)
{
    if (req.chooseFolder)
        return RealFolderDialog(req);
    QFileDialog dlg(req.parent, ToQ(req.title), ToQ(req.folder));
    dlg.setAcceptMode(req.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(req.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!req.overwritePrompt)
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!req.defaultExt.empty())
        dlg.setDefaultSuffix(ToQ(req.defaultExt));
    QStringList filters;
    for (const auto& [name, patterns] : SplitFileFilter(req.filter)) {
        QString label = ToQ(name);
        int paren = label.lastIndexOf(QLatin1Char('('));
        if (paren > 0)
            label = label.left(paren).trimmed();
        QString pats = ToQ(patterns);
        pats.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << label + QStringLiteral(" (") + pats + QStringLiteral(")");
    }
    if (!filters.isEmpty()) {
        dlg.setNameFilters(filters);
        int index = req.filterIndex - 1;
        if (index >= 0 && index < filters.size())
            dlg.selectNameFilter(filters[index]);
    }
    if (!req.fileName.empty())
        dlg.selectFile(ToQ(req.fileName));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return FromQ(dlg.selectedFiles().front());
}

} // namespace

std::vector<std::pair<std::wstring, std::wstring>> SplitFileFilter(const std::wstring& filter)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start < filter.size()) {
        size_t bar = filter.find(L'|', start);
        if (bar == std::wstring::npos)
            bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<std::pair<std::wstring, std::wstring>> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty())
            break;
        std::wstring patterns = parts[i + 1];
        for (size_t p = patterns.find(L"*.*"); p != std::wstring::npos; p = patterns.find(L"*.*", p + 1))
            patterns.replace(p, 3, L"*");
        out.emplace_back(parts[i], patterns);
    }
    return out;
}

std::optional<std::wstring> ShowFileDialog(const FileDialogRequest& request)
{
    FileDialogHandler handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;
    }
    if (handler)
        return handler(request);
    return RealDialog(request);
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler)
{
    std::lock_guard lock(g_mutex);
    FileDialogHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

void SplitStartPath(const std::wstring& text, const std::wstring& defaultFolder, std::wstring& folder,
                    std::wstring& fileName)
{
    const size_t slash = text.rfind(L'/');
    if (slash == std::wstring::npos) {
        folder = text;
        fileName.clear();
    } else {
        folder = text.substr(0, slash == 0 ? 1 : slash);
        fileName = text.substr(slash + 1);
    }
    if (folder.empty())
        folder = defaultFolder;
}

} // namespace vlt

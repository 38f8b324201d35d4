#include "platform/ui/CFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <cstring>

#include "platform/ui/QtBridge.h"

namespace {

QFileDialog* g_running = nullptr;

// "Name\0*.a;*.b\0...\0\0" as Qt's "Name (*.a *.b)" filters.
QStringList QtFilters(const char* filter)
{
    QStringList out;
    if (!filter)
        return out;
    for (const char* p = filter; *p;) {
        const QString name = QString::fromUtf8(p);
        p += std::strlen(p) + 1;
        if (!*p)
            break;
        QString patterns = QString::fromUtf8(p);
        p += std::strlen(p) + 1;
        patterns.replace(';', ' ');
        out << name + " (" + patterns + ")";
    }
    return out;
}

BOOL Run(OPENFILENAMEA* ofn, bool open)
{
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0)
        return FALSE;
    mvui::EnsureApplication();
    QWidget* owner = mvui::WindowWidget(ofn->hwndOwner);
    QFileDialog dialog(owner, QString::fromUtf8(ofn->lpstrTitle ? ofn->lpstrTitle : ""));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    if (open)
        dialog.setFileMode(ofn->Flags & OFN_ALLOWMULTISELECT ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    else if (!(ofn->Flags & OFN_OVERWRITEPROMPT))
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = QtFilters(ofn->lpstrFilter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = static_cast<int>(ofn->nFilterIndex) - 1;
        if (index >= 0 && index < filters.size())
            dialog.selectNameFilter(filters[index]);
    }
    if (ofn->lpstrDefExt && *ofn->lpstrDefExt)
        dialog.setDefaultSuffix(QString::fromUtf8(ofn->lpstrDefExt));
    if (ofn->lpstrInitialDir && *ofn->lpstrInitialDir)
        dialog.setDirectory(QString::fromUtf8(ofn->lpstrInitialDir));
    if (*ofn->lpstrFile)
        dialog.selectFile(QString::fromUtf8(ofn->lpstrFile));
    if (owner && !owner->isVisible())
        dialog.move(owner->pos());  // a hidden owner only places the dialog
    QFileDialog* outer = g_running;
    g_running = &dialog;
    const int result = dialog.exec();
    g_running = outer;
    const QStringList chosen = dialog.selectedFiles();
    if (result != QDialog::Accepted || chosen.isEmpty())
        return FALSE;
    std::string out;
    if (chosen.size() == 1) {
        out = chosen.front().toStdString();
        out.push_back('\0');
    } else {
        out = QFileInfo(chosen.front()).absolutePath().toStdString();
        out.push_back('\0');
        for (const QString& f : chosen) {
            out += QFileInfo(f).fileName().toStdString();
            out.push_back('\0');
        }
    }
    out.push_back('\0');
    if (out.size() > ofn->nMaxFile)
        return FALSE;
    std::memcpy(ofn->lpstrFile, out.data(), out.size());
    const int index = filters.indexOf(dialog.selectedNameFilter());
    if (index >= 0)
        ofn->nFilterIndex = static_cast<DWORD>(index + 1);
    return TRUE;
}

}  // namespace

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn)
{
    return Run(ofn, true);
}

BOOL GetSaveFileNameA(OPENFILENAMEA* ofn)
{
    return Run(ofn, false);
}

CFileDialog::CFileDialog(BOOL openFileDialog, LPCSTR defExt, LPCSTR fileName, DWORD flags, LPCSTR filter,
                         CWnd* parent)
    : CDialog(0, parent), m_bOpenFileDialog(openFileDialog)
{
    m_fileBuffer.assign(flags & OFN_ALLOWMULTISELECT ? 8192 : 260, '\0');
    if (fileName)
        std::strncpy(m_fileBuffer.data(), fileName, m_fileBuffer.size() - 1);
    if (defExt)
        m_defExt = defExt;
    if (filter) {
        m_filter = filter;
        for (char& c : m_filter)
            if (c == '|')
                c = '\0';
        m_filter.push_back('\0');
    }
    m_ofn.Flags = flags | OFN_EXPLORER;
    m_ofn.lpstrFile = m_fileBuffer.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_fileBuffer.size());
    m_ofn.lpstrDefExt = m_defExt.empty() ? nullptr : m_defExt.c_str();
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
}

INT_PTR CFileDialog::DoModal()
{
    const BOOL ok = m_bOpenFileDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    return ok ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const
{
    if (!m_ofn.lpstrFile)
        return CString();
    const char* first = m_ofn.lpstrFile;
    const char* second = first + std::strlen(first) + 1;
    if (*second == '\0')
        return CString(first);
    return CString((std::string(first) + "/" + second).c_str());
}

CString CFileDialog::GetRunningSpec()
{
    if (!g_running)
        return CString();
    auto* edit = g_running->findChild<QLineEdit*>("fileNameEdit");
    return edit ? CString(edit->text().toUtf8().constData()) : CString();
}

CString CFileDialog::GetRunningFolder()
{
    return g_running ? CString(g_running->directory().absolutePath().toUtf8().constData()) : CString();
}

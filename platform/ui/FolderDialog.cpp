#include "platform/ui/FolderDialog.h"

#include <QFileDialog>

#include "platform/ui/QtBridge.h"

namespace mvui {

bool BrowseForFolder(CWnd* owner, const char* title, const char* initial, CString& chosen)
{
    EnsureApplication();
    QFileDialog dialog(owner ? WindowWidget(owner->m_hWnd) : nullptr, QString::fromUtf8(title ? title : ""));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    if (initial && *initial)
        dialog.setDirectory(QString::fromUtf8(initial));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    chosen = dialog.selectedFiles().front().toUtf8().toStdString();
    return true;
}

}  // namespace mvui

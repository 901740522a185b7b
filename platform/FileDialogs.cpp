#include "FileDialogs.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtWidgets/QFileDialog>

QStringList NameFiltersOf(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString text = parts.at(i).trimmed();
        QStringList patterns;
        if (i + 1 < parts.size()) {
            for (const QString& pattern : parts.at(i + 1).split(u';', Qt::SkipEmptyParts))
                if (!pattern.trimmed().isEmpty())
                    patterns << pattern.trimmed();
        } else {
            patterns << QStringLiteral("*");
        }
        if (text.isEmpty() || patterns.isEmpty())
            continue;
        result << text + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

namespace {
// Filters, the first filter shown and the starting folder of either dialog.
void PrepareDialog(QFileDialog& dialog, const QString& filter, int filterIndex, const QString& initialDir,
                   const QString& fileName)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    const QStringList filters = NameFiltersOf(filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = filterIndex >= 1 && filterIndex <= filters.size() ? filterIndex - 1 : 0;
        dialog.selectNameFilter(filters.at(index));
    }
    QString folder = initialDir;
    if (folder.isEmpty() && !fileName.isEmpty())
        folder = QFileInfo(fileName).absolutePath();
    if (!folder.isEmpty() && QDir(folder).exists())
        dialog.setDirectory(folder);
}
}  // namespace

bool TOpenDialog::Execute(QWidget* parent)
{
    QFileDialog dialog(parent, Title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    PrepareDialog(dialog, Filter, FilterIndex, InitialDir, FileName);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || !QFileInfo(files.first()).isFile())
        return false;
    FileName = files.first();
    return true;
}

bool TSaveDialog::Execute(QWidget* parent)
{
    QFileDialog dialog(parent, Title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    PrepareDialog(dialog, Filter, FilterIndex, InitialDir, FileName);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty() || QFileInfo(files.first()).isDir())
        return false;
    FileName = files.first();
    return true;
}

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

bool TOpenDialog::Execute(QWidget* parent)
{
    QFileDialog dialog(parent, Title);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = NameFiltersOf(Filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = FilterIndex >= 1 && FilterIndex <= filters.size() ? FilterIndex - 1 : 0;
        dialog.selectNameFilter(filters.at(index));
    }
    QString folder = InitialDir;
    if (folder.isEmpty() && !FileName.isEmpty())
        folder = QFileInfo(FileName).absolutePath();
    if (!folder.isEmpty() && QDir(folder).exists())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || !QFileInfo(files.first()).isFile())
        return false;
    FileName = files.first();
    return true;
}

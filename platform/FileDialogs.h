#pragma once

// The open and save dialogs of the window layouts over Qt's own (non-native) file
// dialog, so that a test can find it among the modal windows and answer it.

#include <QtCore/QString>
#include <QtCore/QStringList>

class QWidget;

// Turns a filter of the layouts, "text|patterns|text|patterns|..." with the
// patterns of a pair separated by ';', into Qt's name filters, one per pair
// ("text (p1 p2)"). A trailing text without patterns stands for "*"; empty
// texts and empty patterns are dropped.
QStringList NameFiltersOf(const QString& filter);

class TOpenDialog {
public:
    QString Title;       // empty: the platform's own title
    QString Filter;      // in the layouts' syntax, see NameFiltersOf
    int FilterIndex = 1; // the pair shown first, counted from 1
    QString InitialDir;  // empty: the folder of FileName, or the current folder
    QString FileName;    // the chosen file after Execute

    // Shows the dialog modally. True, with FileName set to the chosen existing
    // file, when the user opened one; false (FileName unchanged) on cancel.
    bool Execute(QWidget* parent = nullptr);
};

class TSaveDialog {
public:
    QString Title;       // empty: the platform's own title
    QString Filter;      // in the layouts' syntax, see NameFiltersOf
    int FilterIndex = 1; // the pair shown first, counted from 1
    QString InitialDir;  // empty: the folder of FileName, or the current folder
    QString FileName;    // the chosen name after Execute (no extension added)

    // Shows the dialog modally. True, with FileName set to the chosen path
    // (an existing file is not asked about), when the user saved; false
    // (FileName unchanged) on cancel.
    bool Execute(QWidget* parent = nullptr);
};

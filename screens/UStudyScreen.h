#pragma once

// What the main window needs of every study screen, and the table of the
// forms it can create by name.
//
// A study screen is a form created as a child of the main window's client
// panel. Its object name is its form name ("FrmSingleSentence", ...), by which
// the main window finds and frees it.

#include "Forms.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>

// What a study screen's clock shows before the learner starts.
inline const QString ClockStart = QStringLiteral("00:00:00");

class QTreeWidget;

class TStudyScreen {
public:
    virtual ~TStudyScreen() = default;

    // The playable file: set before the first show and before every ReloadFile.
    virtual QString MediaFile() const = 0;
    virtual void SetMediaFile(const QString& path) = 0;
    // Takes up the file now in MediaFile (stopping what plays first).
    virtual void ReloadFile() = 0;
    // Reads the subtitle file of the same media again.
    virtual void ReloadSubtitle() = 0;
    // A hot key of the main window; id is compared with the atoms in SystemPara.
    virtual void HandleHotKey(qint32 id) = 0;
    // The courseware library tree; only the courseware makers keep it.
    virtual QTreeWidget* LibraryTree() const { return nullptr; }
    virtual void SetLibraryTree(QTreeWidget* tree) {}
};

// The study screen behind a form, or null when the form is not one.
TStudyScreen* AsStudyScreen(QWidget* form);

// Makes a form: a study screen (parent: the panel it lives in) or a modal
// window of the main window (parent: the main window).
using TFormFactory = std::function<TForm*(QWidget* parent)>;

// Enters (or replaces) the factory of a form name; an empty factory removes it.
void RegisterFormFactory(const QString& formName, TFormFactory factory);
bool HasFormFactory(const QString& formName);
QStringList RegisteredFormNames();
// Creates the named form with its object name set to formName. Raises
// std::runtime_error when no factory is registered under the name or the
// factory made nothing; exceptions of the factory reach the caller.
TForm* CreateRegisteredForm(const QString& formName, QWidget* parent);

// Fills the table with every form the program has. Called once at start-up,
// before the main window is created; calling it again changes nothing.
void RegisterStudyScreens();

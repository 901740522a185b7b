#pragma once

// What the tests of the login window, the main window and the start page
// share: a program folder with a database, a recorder that answers every
// dialog the windows open, and fake study screens.

#include "Forms.h"
#include "TestSupport.h"
#include "UStudyScreen.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPair>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>
#include <memory>
#include <ostream>

// Readable failures for texts.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// Processes events until condition holds; the deadline only guards against a
// hang.
bool WaitFor(const std::function<bool()>& condition);

// A program folder with a fresh database, connected as DataInterface, the
// current user set and the start page pointed at a closed port of 127.0.0.1.
class TWindowTestEnvironment {
public:
    explicit TWindowTestEnvironment(const QString& user = QStringLiteral("O'Brien 小明"));
    ~TWindowTestEnvironment();
    const TTestProgramFolder& Folder() const { return FFolder; }
    QString File(const QString& relative) const { return FFolder.File(relative); }
    // Writes bytes into a file of the program folder (folders made as needed).
    QString Write(const QString& relative, const QByteArray& bytes = QByteArray("x")) const;

private:
    TTestProgramFolder FFolder;
};

// Answers every dialog that shows up while it lives and records it:
// information boxes get OK; confirmations take the next queued answer (OK when
// none is left); input dialogs the next queued text and button; file dialogs
// the next queued file (empty: cancel).
class TDialogRecorder : public QObject {
public:
    TDialogRecorder();
    ~TDialogRecorder() override;

    QStringList Infos;      // texts of the information boxes, in order
    QStringList Questions;  // texts of the confirmations
    QList<bool> QuestionAnswers;
    QList<QPair<QString, bool>> Inputs;  // text, OK
    QStringList Files;
    QStringList FileFilters;  // the name filters each file dialog showed, joined by '|'
    int FileDialogs = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Answer(QWidget* window);
};

// A study screen that only records what the main window asks of it.
class TFakeScreen : public TForm, public TStudyScreen {
    Q_OBJECT
public:
    explicit TFakeScreen(QWidget* parent = nullptr);
    ~TFakeScreen() override;

    QString MediaFile() const override { return FMediaFile; }
    void SetMediaFile(const QString& path) override { FMediaFile = path; }
    void ReloadFile() override;
    void ReloadSubtitle() override;
    void HandleHotKey(qint32 id) override;
    QTreeWidget* LibraryTree() const override { return FTree; }
    void SetLibraryTree(QTreeWidget* tree) override { FTree = tree; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString FMediaFile;
    QTreeWidget* FTree = nullptr;
};

// What the fake screens did: "show <name> <file>", "reload <name> <file>",
// "subtitle <name>", "hotkey <name> <id>", "free <name>" and, when a screen
// outlived its main window's own destructor, "late <name>".
QStringList& ScreenLog();

// Registers a fake screen under every study-screen name (and clears the log);
// the destructor removes them again.
class TFakeScreens {
public:
    TFakeScreens();
    ~TFakeScreens();
};

// Writes a PCM WAV file of the given length (mono, 16 bits, 8000 Hz, a tone).
void WriteToneWave(const QString& path, int ms);

class QTreeWidget;
class QTreeWidgetItem;

// The item reached from the tree's top by the given texts, or null.
QTreeWidgetItem* FindTreeItem(QTreeWidget* tree, const QStringList& texts);

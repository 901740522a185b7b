#pragma once

#include <QtCore/QString>
#include <QtCore/QTemporaryDir>

#include <functional>

class QWidget;

// The body of a test program's main: the application, the audio system
// guard and the program's pictures, then startUp (when given: what the
// program installs at its start, such as InstallRichTextSuite), then every
// test named on the command line.
int RunTestMain(int argc, char** argv, void (*startUp)() = nullptr);

// A program folder of its own for one test: a temporary folder with the
// sub-folders of the real one. The program folder points at it while the
// object lives.
class TTestProgramFolder {
public:
    TTestProgramFolder();
    ~TTestProgramFolder();
    QString Path() const;  // ends in '/'
    QString File(const QString& relative) const { return Path() + relative; }

private:
    QTemporaryDir FDir;
};

// Runs action on the next modal window that shows up (polling the event loop),
// for driving modal dialogs from a test. Gives up after timeoutMs.
void WhenModalShown(std::function<void(QWidget* modal)> action, int timeoutMs = 5000);

// Processes pending events, also deferred deletes.
void ProcessEvents();

// Runs the GUI thread's events until done() holds, sleeping while no event
// comes: done() must turn true with an event to this thread (a device or a
// worker that changes it elsewhere must post one). False when timeoutMs
// passed first (a safety net against a hang, not a measure).
bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs = 30000);

// Makes this process adopt the programs its children leave behind: a program
// started detached becomes a child of this process once the intermediate
// process that started it ends. Call before starting them.
void AdoptDetachedPrograms();

// Waits until every child of this process, adopted ones included, has ended:
// afterwards, everything they wrote is written. Meant for tests that start
// no other child processes meanwhile.
void WaitForChildPrograms();

#pragma once

// The link between the browser host (TquorWebBrowserUI) and the web engine.
// The engine (Qt WebEngine) lives in a module of its own, libpibo_webengine.so
// beside the program, that the host loads the first time a page is shown: the
// engine's libraries and its graphics set-up then cost nothing at start-up,
// and only the module links them. Both sides see only this header.

#include <QtCore/QString>
#include <QtCore/QUrl>

class QWidget;

// What the engine tells its host; every call comes on the GUI thread.
class TquorEngineHost {
public:
    // A navigation ended; ok is false for a page that failed (no answer, an
    // HTTP error). The engine then shows an empty page.
    virtual void EngineLoadFinished(bool ok) = 0;
    // The page asks for a context menu. True: the engine shows its own.
    virtual bool EngineContextMenu() = 0;
    // A script of the page calls a message box ("alert", "confirm" or
    // "prompt"); the engine shows none, confirm and prompt answer "cancel".
    virtual void EngineScriptMessage(const QString& kind, const QString& text) = 0;
    // The page asks for a window of its own.
    virtual void EngineNewWindow(const QUrl& url) = 0;

protected:
    ~TquorEngineHost() = default;
};

// The host's switches as the engine applies them.
struct TquorEngineOptions {
    bool ScrollBars = true;       // false: no scroll bars
    bool FlatScrollBars = false;  // flat scroll bars: plain colours, no arrows
};

class TquorBrowserEngine {
public:
    virtual ~TquorBrowserEngine() = default;
    // The engine's widget; a child of the parent given at creation.
    virtual QWidget* View() const = 0;
    virtual void Apply(const TquorEngineOptions& options) = 0;
    virtual void Load(const QUrl& url) = 0;
    // Stops a navigation still running and shows an empty page.
    virtual void Clear() = 0;
    virtual QUrl Url() const = 0;
    virtual QString Title() const = 0;
};

// The module's entry points (extern "C").
inline constexpr int QuorEngineInterfaceVersion = 1;
inline constexpr const char* QuorEngineVersionSymbol = "QuorBrowserEngineVersion";
inline constexpr const char* QuorEngineStartSymbol = "QuorBrowserEngineStart";
inline constexpr const char* QuorEngineCreateSymbol = "QuorBrowserEngineCreate";
// The interface version the module was built with.
using TquorEngineVersionFn = int (*)();
// Prepares the engine once per process; false when it cannot run here (no
// OpenGL on this display, for one).
using TquorEngineStartFn = bool (*)();
// A new engine whose widget is a child of parent.
using TquorEngineCreateFn = TquorBrowserEngine* (*)(QWidget* parent, TquorEngineHost* host);

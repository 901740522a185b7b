#pragma once

// The editor's six handler lists for key and mouse input, which components
// attached to an editor use to see input first and to swallow it. A list
// runs from the newest handler to the oldest; the key lists stop at the first
// handler that clears the key; a list never runs inside itself.

#include "TextEditKeyCmds.h"
#include "TextEditMethods.h"
#include "TextEditUtils.h"

#include <QtCore/Qt>

#include <cstdint>
#include <vector>

class TTextEditKbdHandler {
public:
    using TKeyHandler = TTextMethod<void(void* sender, std::uint16_t& key, TShiftState shift)>;
    using TKeyPressHandler = TTextMethod<void(void* sender, QChar& key)>;
    using TMouseHandler = TTextMethod<void(void* sender, Qt::MouseButton button, TShiftState shift, int x, int y)>;
    using TMouseCursorHandler = TTextMethod<void(void* sender, const TBufferCoord& pos, int& cursor)>;

    void HookKeyDown(const TKeyHandler& handler) { FKeyDown.push_back(handler); }
    void UnhookKeyDown(const TKeyHandler& handler) { RemoveLast(FKeyDown, handler.Key); }
    void HookKeyUp(const TKeyHandler& handler) { FKeyUp.push_back(handler); }
    void UnhookKeyUp(const TKeyHandler& handler) { RemoveLast(FKeyUp, handler.Key); }
    void HookKeyPress(const TKeyPressHandler& handler) { FKeyPress.push_back(handler); }
    void UnhookKeyPress(const TKeyPressHandler& handler) { RemoveLast(FKeyPress, handler.Key); }
    void HookMouseDown(const TMouseHandler& handler) { FMouseDown.push_back(handler); }
    void UnhookMouseDown(const TMouseHandler& handler) { RemoveLast(FMouseDown, handler.Key); }
    void HookMouseUp(const TMouseHandler& handler) { FMouseUp.push_back(handler); }
    void UnhookMouseUp(const TMouseHandler& handler) { RemoveLast(FMouseUp, handler.Key); }
    void HookMouseCursor(const TMouseCursorHandler& handler) { FMouseCursor.push_back(handler); }
    void UnhookMouseCursor(const TMouseCursorHandler& handler) { RemoveLast(FMouseCursor, handler.Key); }

    void RunKeyDownHandlers(void* sender, std::uint16_t& key, TShiftState shift);
    void RunKeyUpHandlers(void* sender, std::uint16_t& key, TShiftState shift);
    void RunKeyPressHandlers(void* sender, QChar& key);
    void RunMouseDownHandlers(void* sender, Qt::MouseButton button, TShiftState shift, int x, int y);
    void RunMouseUpHandlers(void* sender, Qt::MouseButton button, TShiftState shift, int x, int y);
    void RunMouseCursorHandlers(void* sender, const TBufferCoord& pos, int& cursor);

    int KeyDownCount() const { return static_cast<int>(FKeyDown.size()); }
    int KeyPressCount() const { return static_cast<int>(FKeyPress.size()); }

private:
    template <typename H>
    static void RemoveLast(std::vector<H>& list, const TTextMethodKey& key)
    {
        for (size_t i = list.size(); i-- > 0;)
            if (list[i].Key == key) {
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
                return;
            }
    }

    std::vector<TKeyHandler> FKeyDown;
    std::vector<TKeyHandler> FKeyUp;
    std::vector<TKeyPressHandler> FKeyPress;
    std::vector<TMouseHandler> FMouseDown;
    std::vector<TMouseHandler> FMouseUp;
    std::vector<TMouseCursorHandler> FMouseCursor;
    bool FInKeyDown = false;
    bool FInKeyUp = false;
    bool FInKeyPress = false;
    bool FInMouseDown = false;
    bool FInMouseUp = false;
    bool FInMouseCursor = false;
};

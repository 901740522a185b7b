#include "TextEditKbdHandler.h"

namespace {

// Sets a running flag for the life of a run, also when a handler raises.
class TRunning {
public:
    explicit TRunning(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TRunning() { FFlag = false; }
    TRunning(const TRunning&) = delete;
    TRunning& operator=(const TRunning&) = delete;

private:
    bool& FFlag;
};

}  // namespace

void TTextEditKbdHandler::RunKeyDownHandlers(void* sender, std::uint16_t& key, TShiftState shift)
{
    if (FInKeyDown)
        return;
    TRunning running(FInKeyDown);
    const auto handlers = FKeyDown;
    for (size_t i = handlers.size(); i-- > 0;) {
        handlers[i].Call(sender, key, shift);
        if (key == 0)
            break;
    }
}

void TTextEditKbdHandler::RunKeyUpHandlers(void* sender, std::uint16_t& key, TShiftState shift)
{
    if (FInKeyUp)
        return;
    TRunning running(FInKeyUp);
    const auto handlers = FKeyUp;
    for (size_t i = handlers.size(); i-- > 0;) {
        handlers[i].Call(sender, key, shift);
        if (key == 0)
            break;
    }
}

void TTextEditKbdHandler::RunKeyPressHandlers(void* sender, QChar& key)
{
    if (FInKeyPress)
        return;
    TRunning running(FInKeyPress);
    const auto handlers = FKeyPress;
    for (size_t i = handlers.size(); i-- > 0;) {
        handlers[i].Call(sender, key);
        if (key.isNull())
            break;
    }
}

void TTextEditKbdHandler::RunMouseDownHandlers(void* sender, Qt::MouseButton button, TShiftState shift, int x, int y)
{
    if (FInMouseDown)
        return;
    TRunning running(FInMouseDown);
    const auto handlers = FMouseDown;
    for (size_t i = handlers.size(); i-- > 0;)
        handlers[i].Call(sender, button, shift, x, y);
}

void TTextEditKbdHandler::RunMouseUpHandlers(void* sender, Qt::MouseButton button, TShiftState shift, int x, int y)
{
    if (FInMouseUp)
        return;
    TRunning running(FInMouseUp);
    const auto handlers = FMouseUp;
    for (size_t i = handlers.size(); i-- > 0;)
        handlers[i].Call(sender, button, shift, x, y);
}

void TTextEditKbdHandler::RunMouseCursorHandlers(void* sender, const TBufferCoord& pos, int& cursor)
{
    if (FInMouseCursor)
        return;
    TRunning running(FInMouseCursor);
    const auto handlers = FMouseCursor;
    for (size_t i = handlers.size(); i-- > 0;)
        handlers[i].Call(sender, pos, cursor);
}

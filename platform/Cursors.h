#pragma once

// The screen's cursor table: the class library's cursor numbers (crArrow -2,
// crHandPoint -21, ...) and the numbers that components register.

#include <functional>

#include <QtGui/QCursor>

// The cursor is made when asked for (a QCursor needs the application object).
using TCursorMaker = std::function<QCursor()>;
void RegisterCursor(int id, TCursorMaker maker);
bool CursorRegistered(int id);
// The cursor of a number; the arrow for an unknown one.
QCursor ScreenCursor(int id);
// A cursor from a bitmap resource keyed on 0xFF00FF.
QCursor CursorFromBitmapResource(const QString& name, int hotX, int hotY);

#pragma once

// Base objects of the wave audio library: enumerations and device ids, the
// library's exception base, the change-notifying object, the bevel of its
// controls, the component bases and the graphic control base.

#include "Forms.h"
#include "Graphics.h"

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtGui/QCursor>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

// ---------------------------------------------------------------- enumerations

enum TSndTimeFormats { tfMillisecond, tfByte, tfSample };
enum TSndCBMode { cmWindow, cmCallback, cmThread };
enum TSndMode { mMono, mStereo };
enum TSndBits { b8Bit, b16Bit };

// A device number. MapperId is the system's wave mapper, InvalidId no device.
using TSndDeviceId = std::int32_t;
constexpr TSndDeviceId MapperId = -1;
constexpr TSndDeviceId InvalidId = -2;

// The names a stored layout may hold for a device id ("MapperId", "InvalidId").
bool SndDeviceIdFromIdent(const QString& ident, TSndDeviceId& value);
bool SndDeviceIdToIdent(TSndDeviceId value, QString& ident);

// The message box of a device that does not take the cmCallback mode here:
// handling buffers inside the driver's notification is not offered. Shown
// only where a widget application runs.
void ShowCallbackModeRefusal(const QString& caption);

// Cursor 2000 + n of the library (n = 1 .. 31); other numbers give the arrow.
QCursor LoadResCursor(int n);

// ---------------------------------------------------------------- exceptions

// Base of the library's exceptions; the text is a library message or the
// failing call's name with the system's text.
class ESndError : public std::runtime_error {
public:
    explicit ESndError(const QString& message);
    QString Message() const { return FMessage; }

private:
    QString FMessage;
};

// ---------------------------------------------------------------- TSndObject

class TSndObject;
using TSndObjectEvent = std::function<void(TSndObject* sender)>;

// An object that reports changes, with nested BeginUpdate/EndUpdate.
class TSndObject {
public:
    TSndObject() = default;
    virtual ~TSndObject() = default;
    TSndObject(const TSndObject&) = delete;
    TSndObject& operator=(const TSndObject&) = delete;

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    TSndObjectEvent OnChanging;
    TSndObjectEvent OnChange;

protected:
    virtual void UpdateNotify(bool changing);
    virtual void Changing();
    virtual void Changed();

private:
    int FUpdateCount = 0;
};

// ---------------------------------------------------------------- TSndBevel

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// The frame description of the library's controls.
class TSndBevel : public TSndObject {
public:
    TSndBevel() = default;

    void Assign(const TSndBevel& source);

    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    int BevelInnerWidth() const { return FBevelInnerWidth; }
    void SetBevelInnerWidth(int value);
    int BevelOuterWidth() const { return FBevelOuterWidth; }
    void SetBevelOuterWidth(int value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    int BorderSpace() const { return FBorderSpace; }
    void SetBorderSpace(int value);

    // The six colours share one indexed setter: 0 BorderColor, 1
    // BorderSpaceColor, 2 InnerLightColor, 3 InnerShadowColor, 4
    // OuterLightColor, 5 OuterShadowColor.
    TColor GetColor(int index) const { return FColors[index]; }
    void SetColor(int index, TColor value);
    TColor BorderColor() const { return FColors[0]; }
    void SetBorderColor(TColor value) { SetColor(0, value); }
    TColor BorderSpaceColor() const { return FColors[1]; }
    void SetBorderSpaceColor(TColor value) { SetColor(1, value); }
    TColor InnerLightColor() const { return FColors[2]; }
    void SetInnerLightColor(TColor value) { SetColor(2, value); }
    TColor InnerShadowColor() const { return FColors[3]; }
    void SetInnerShadowColor(TColor value) { SetColor(3, value); }
    TColor OuterLightColor() const { return FColors[4]; }
    void SetOuterLightColor(TColor value) { SetColor(4, value); }
    TColor OuterShadowColor() const { return FColors[5]; }
    void SetOuterShadowColor(TColor value) { SetColor(5, value); }

    // Paints the frame inwards from rect; the rectangle left inside is returned.
    virtual QRect PaintBevel(TCanvas& canvas, const QRect& rect, bool drawBorder);
    // Total frame width in pixels.
    int Extent() const;

private:
    TBevelCut FBevelInner = bvNone;
    TBevelCut FBevelOuter = bvLowered;
    int FBevelInnerWidth = 1;
    int FBevelOuterWidth = 1;
    TBorderStyle FBorderStyle = bsNone;
    int FBorderWidth = 0;
    int FBorderSpace = 0;
    TColor FColors[6] = {clBtnFace, clBlack, clBtnHighlight, clBtnShadow, clBtnHighlight, clBtnShadow};
};

// ---------------------------------------------------------------- components

// The non-visual base: a QObject owned by its owner (Qt parent).
class TSndComponent : public QObject {
public:
    explicit TSndComponent(QObject* owner = nullptr);

    bool Designing() const { return FDesigning; }
    virtual void SetDesignMode(bool value);
    virtual void ChangeDesigning(bool value);

private:
    bool FDesigning = false;
};

class TSndNonVisualComponent : public TSndComponent {
public:
    using TSndComponent::TSndComponent;
};

// The graphic control base: an opaque control with a bevel frame.
class TSndGraphicControl : public TPaintBox {
public:
    explicit TSndGraphicControl(QWidget* parent = nullptr);
    ~TSndGraphicControl() override;

    TSndBevel& Bevel() { return *FBevel; }
    void SetBevel(const TSndBevel& value) { FBevel->Assign(value); }
    TColor Color() const { return FColor; }
    void SetColor(TColor value);

    int BevelExtent() const;
    QRect InnerRect() const;

    bool Designing() const { return FDesigning; }
    virtual void SetDesignMode(bool value);
    virtual void ChangeDesigning(bool value);

protected:
    void Paint(TCanvas& canvas) override;
    virtual void BevelChanged();

private:
    std::unique_ptr<TSndBevel> FBevel;
    TColor FColor = clBtnFace;
    bool FDesigning = false;
};

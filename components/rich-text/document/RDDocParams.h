#pragma once

// The page setup of a document.

#include <cstdint>

#include <QtCore/QByteArray>

#include "core/RDLists.h"

enum class TRDUnits : uint8_t { rduInches, rduCentimeters, rduMillimeters, rduPicas, rduPixels, rduPoints };
enum class TPrinterOrientation : uint8_t { poPortrait, poLandscape };
enum class TRDZoomMode : uint8_t { rdzmFullPage, rdzmPageWidth, rdzmCustom };

// Numbers in stored files: "." whatever the locale, the shortest form of at
// most 15 significant digits; read back with the C locale.
QByteArray RDFloatToStr(double value);
// False for text that is not a whole number.
bool RDStrToFloat(const QByteArray& s, double& value);

class TRDDocParameters {
public:
    TRDDocParameters() { Reset(); }

    double PageWidth;
    double PageHeight;
    TRDUnits Units;
    TPrinterOrientation Orientation;
    double LeftMargin;
    double RightMargin;
    double TopMargin;
    double BottomMargin;
    double HeaderY;
    double FooterY;
    int32_t ZoomPercent;
    TRDZoomMode ZoomMode;
    bool MirrorMargins;

    void Reset();
    void Assign(const TRDDocParameters& source) { *this = source; }
    bool IsAllDefault() const { return StoredValueCount() == 0; }
    int StoredValueCount() const;
    int UnitsToTwips(double x) const;
    double TwipsToUnits(int twips) const;
    void WriteRDFLines(TRDStream& stream) const;
    // Raises ERichDocError for an integer value that is not a number.
    void ReadRDFLine(const QByteArray& line);
    void SaveRTFToStream(TRDStream& stream) const;

private:
    double UnitsPerInch() const;
};

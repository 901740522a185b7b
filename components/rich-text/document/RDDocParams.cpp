#include "document/RDDocParams.h"

#include <cmath>
#include <cstdio>


#include "core/RDError.h"
#include "core/RDFStream.h"
#include "core/RDGraphUtils.h"

namespace {

constexpr double DefPageWidth = 8.2677165354;
constexpr double DefPageHeight = 11.692913386;

bool Differs(double a, double b)
{
    return std::fabs(a - b) > 1e-20;
}

int32_t ToInt(const QByteArray& s)
{
    bool ok = false;
    const int value = s.trimmed().toInt(&ok);
    if (!ok)
        throw ERichDocError("'" + s.toStdString() + "' is not a valid integer value");
    return value;
}

}  // namespace

QByteArray RDFloatToStr(double value)
{
    // %.15g in the C locale: shortest form, at most 15 significant digits.
    QByteArray s = QByteArray::number(value, 'g', 15);
    if (s.contains('e')) {
        // Exponents as the run time writes them: E, a sign, at least two digits.
        const qsizetype e = s.indexOf('e');
        QByteArray mantissa = s.left(e);
        QByteArray exponent = s.mid(e + 1);
        const char sign = exponent.startsWith('-') ? '-' : '+';
        if (exponent.startsWith('-') || exponent.startsWith('+'))
            exponent.remove(0, 1);
        while (exponent.size() > 2 && exponent.startsWith('0'))
            exponent.remove(0, 1);
        s = mantissa + 'E' + sign + exponent;
    }
    return s;
}

bool RDStrToFloat(const QByteArray& s, double& value)
{
    bool ok = false;
    value = s.trimmed().toDouble(&ok);
    return ok;
}

void TRDDocParameters::Reset()
{
    PageWidth = DefPageWidth;
    PageHeight = DefPageHeight;
    Units = TRDUnits::rduInches;
    Orientation = TPrinterOrientation::poPortrait;
    LeftMargin = 1.25;
    RightMargin = 1.25;
    TopMargin = 1;
    BottomMargin = 1;
    HeaderY = 0.5;
    FooterY = 0.5;
    ZoomPercent = 100;
    ZoomMode = TRDZoomMode::rdzmCustom;
    MirrorMargins = false;
}

int TRDDocParameters::StoredValueCount() const
{
    return (Units != TRDUnits::rduInches) + (Orientation != TPrinterOrientation::poPortrait)
           + Differs(PageHeight, DefPageHeight) + Differs(PageWidth, DefPageWidth) + Differs(LeftMargin, 1.25)
           + Differs(RightMargin, 1.25) + Differs(TopMargin, 1) + Differs(BottomMargin, 1) + Differs(HeaderY, 0.5)
           + Differs(FooterY, 0.5) + (ZoomPercent != 100) + (ZoomMode != TRDZoomMode::rdzmCustom) + MirrorMargins;
}

double TRDDocParameters::UnitsPerInch() const
{
    switch (Units) {
    case TRDUnits::rduInches: return 1;
    case TRDUnits::rduCentimeters: return 2.54;
    case TRDUnits::rduMillimeters: return 25.4;
    case TRDUnits::rduPicas: return 6;
    case TRDUnits::rduPoints: return 72;
    case TRDUnits::rduPixels: return GetScreenPixelsPerInch();
    }
    return 1;
}

int TRDDocParameters::UnitsToTwips(double x) const
{
    return static_cast<int>(std::nearbyint(x * 1440 / UnitsPerInch()));
}

double TRDDocParameters::TwipsToUnits(int twips) const
{
    return twips * UnitsPerInch() / 1440;
}

void TRDDocParameters::WriteRDFLines(TRDStream& stream) const
{
    auto line = [&](const char* name, const QByteArray& value) { RDFWriteLine(stream, name + ('=' + value)); };
    auto length = [&](const char* name, double value, double def) {
        if (Differs(value, def))
            line(name, RDFloatToStr(value));
    };
    if (Units != TRDUnits::rduInches)
        line("Units", QByteArray::number(static_cast<int>(Units)));
    if (Orientation != TPrinterOrientation::poPortrait)
        line("Orientation", QByteArray::number(static_cast<int>(Orientation)));
    length("PageHeight", PageHeight, DefPageHeight);
    length("PageWidth", PageWidth, DefPageWidth);
    length("LeftMargin", LeftMargin, 1.25);
    length("RightMargin", RightMargin, 1.25);
    length("TopMargin", TopMargin, 1);
    length("BottomMargin", BottomMargin, 1);
    length("HeaderY", HeaderY, 0.5);
    length("FooterY", FooterY, 0.5);
    if (ZoomPercent != 100)
        line("ZoomPercent", QByteArray::number(ZoomPercent));
    if (ZoomMode != TRDZoomMode::rdzmCustom)
        line("ZoomMode", QByteArray::number(static_cast<int>(ZoomMode)));
    if (MirrorMargins)
        line("MirrorMargins", "1");
}

void TRDDocParameters::ReadRDFLine(const QByteArray& line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return;
    const QByteArray name = line.left(eq);
    const QByteArray value = line.mid(eq + 1);
    auto enumValue = [&](int max) {
        const int v = ToInt(value);
        if (v < 0 || v > max)
            throw ERichDocError("Invalid property value");
        return v;
    };
    auto length = [&](double& target) {
        double v = 0;
        if (!RDStrToFloat(value, v) || !std::isfinite(v))
            throw ERichDocError("'" + value.toStdString() + "' is not a valid floating point value");
        target = v;
    };
    if (name == "Units")
        Units = static_cast<TRDUnits>(enumValue(5));
    else if (name == "Orientation")
        Orientation = static_cast<TPrinterOrientation>(enumValue(1));
    else if (name == "ZoomPercent")
        ZoomPercent = ToInt(value);
    else if (name == "ZoomMode")
        ZoomMode = static_cast<TRDZoomMode>(enumValue(2));
    else if (name == "PageHeight")
        length(PageHeight);
    else if (name == "PageWidth")
        length(PageWidth);
    else if (name == "LeftMargin")
        length(LeftMargin);
    else if (name == "RightMargin")
        length(RightMargin);
    else if (name == "TopMargin")
        length(TopMargin);
    else if (name == "BottomMargin")
        length(BottomMargin);
    else if (name == "HeaderY")
        length(HeaderY);
    else if (name == "FooterY")
        length(FooterY);
    else if (name == "MirrorMargins")
        MirrorMargins = value != "0";
}

void TRDDocParameters::SaveRTFToStream(TRDStream& stream) const
{
    QByteArray s;
    if (Orientation == TPrinterOrientation::poLandscape)
        s += "\\landscape";
    s += "\\paperw" + QByteArray::number(UnitsToTwips(PageWidth));
    s += "\\paperh" + QByteArray::number(UnitsToTwips(PageHeight));
    s += "\\margl" + QByteArray::number(UnitsToTwips(LeftMargin));
    s += "\\margr" + QByteArray::number(UnitsToTwips(RightMargin));
    s += "\\margt" + QByteArray::number(UnitsToTwips(TopMargin));
    s += "\\margb" + QByteArray::number(UnitsToTwips(BottomMargin));
    if (Differs(HeaderY, 0.5))
        s += "\\headery" + QByteArray::number(UnitsToTwips(HeaderY));
    if (Differs(FooterY, 0.5))
        s += "\\footery" + QByteArray::number(UnitsToTwips(FooterY));
    s += "\\viewscale" + QByteArray::number(ZoomPercent);
    switch (ZoomMode) {
    case TRDZoomMode::rdzmFullPage: s += "\\viewzk1"; break;
    case TRDZoomMode::rdzmPageWidth: s += "\\viewzk2"; break;
    case TRDZoomMode::rdzmCustom: s += "\\viewzk0"; break;
    }
    if (MirrorMargins)
        s += "\\margmirror";
    RDFWriteLine(stream, s);
}

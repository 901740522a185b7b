#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>

#include "Pictures.h"
#include "interchange/RDRTF.h"

namespace {

void PutLE(QByteArray& d, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        d.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A 2 x 2 24-bit DIB: header and bits.
QByteArray SmallDibHeader()
{
    QByteArray d;
    PutLE(d, 40, 4);
    PutLE(d, 2, 4);
    PutLE(d, 2, 4);
    PutLE(d, 1, 2);
    PutLE(d, 24, 2);
    PutLE(d, 0, 4);
    PutLE(d, 16, 4);
    for (int i = 0; i < 4; ++i)
        PutLE(d, 0, 4);
    return d;
}

QByteArray SmallDibBits()
{
    return QByteArray::fromHex("0000ff00ff000000" "ff0000ffffff0000");
}

QByteArray Emf(bool withLine, bool twoBitmaps = false)
{
    QByteArray body;
    auto stretch = [&] {
        const QByteArray dib = SmallDibHeader(), bits = SmallDibBits();
        PutLE(body, 81, 4);
        PutLE(body, 80 + dib.size() + bits.size(), 4);
        for (int i = 0; i < 4; ++i)
            PutLE(body, 0, 4);  // bounds
        for (int i = 0; i < 4; ++i)
            PutLE(body, 0, 4);  // dest and source origin
        PutLE(body, 2, 4);
        PutLE(body, 2, 4);
        PutLE(body, 80, 4);
        PutLE(body, dib.size(), 4);
        PutLE(body, 80 + dib.size(), 4);
        PutLE(body, bits.size(), 4);
        PutLE(body, 0, 4);           // DIB_RGB_COLORS
        PutLE(body, 0x00CC0020, 4);  // SRCCOPY
        PutLE(body, 2, 4);
        PutLE(body, 2, 4);
        body.append(dib).append(bits);
    };
    stretch();
    if (twoBitmaps)
        stretch();
    if (withLine) {
        PutLE(body, 54, 4);  // line to
        PutLE(body, 16, 4);
        PutLE(body, 5, 4);
        PutLE(body, 5, 4);
    }
    PutLE(body, 14, 4);  // end of file
    PutLE(body, 20, 4);
    PutLE(body, 0, 4);
    PutLE(body, 16, 4);
    PutLE(body, 20, 4);
    QByteArray header;
    PutLE(header, 1, 4);
    PutLE(header, 88, 4);
    header.append(QByteArray(32, '\0'));  // bounds and frame
    PutLE(header, 0x464D4520, 4);
    PutLE(header, 0x10000, 4);
    PutLE(header, 88 + body.size(), 4);
    header.append(QByteArray(88 - header.size(), '\0'));
    return header + body;
}

QByteArray Wmf(bool withLine)
{
    QByteArray body;
    const QByteArray dib = SmallDibHeader() + SmallDibBits();
    PutLE(body, (28 + dib.size()) / 2, 4);
    PutLE(body, 0x0F43, 2);
    PutLE(body, 0x00CC0020, 4);
    PutLE(body, 0, 2);  // DIB_RGB_COLORS
    for (int i = 0; i < 8; ++i)
        PutLE(body, 2, 2);
    body.append(dib);
    if (withLine) {
        PutLE(body, 5, 4);
        PutLE(body, 0x0213, 2);
        PutLE(body, 5, 2);
        PutLE(body, 5, 2);
    }
    PutLE(body, 3, 4);
    PutLE(body, 0, 2);
    QByteArray header;
    PutLE(header, 1, 2);
    PutLE(header, 9, 2);
    PutLE(header, 0x0300, 2);
    PutLE(header, (18 + body.size()) / 2, 4);
    PutLE(header, 0, 2);
    PutLE(header, 64, 4);
    PutLE(header, 0, 2);
    return header + body;
}

QByteArray Png()
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray Jpeg()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

struct TPictLog {
    TRDRTFReader reader;
    std::vector<std::string> events;
    uint8_t code = 0;
    bool insert = true;

    TPictLog()
    {
        reader.PixelsPerInch = 96;
        reader.OnNewText = [this](TRDRTFReader& r, const QByteArray& text, TRDRTFPosition) {
            std::string e = "t:" + text.toStdString();
            if (!r.State.Format.Char.FontNameOverride.isEmpty())
                e += "/" + r.State.Format.Char.FontNameOverride.toStdString() + "/"
                     + std::to_string(r.State.Format.Char.Size);
            events.push_back(e);
        };
        reader.OnNewPicture = [this](TRDRTFReader&, TRDRTFPicture* pic, std::unique_ptr<TGraphic>& graphic,
                                     TRDRTFPosition, const QString& fileName, bool& inserted) {
            std::string e = "pic:";
            e += graphic ? graphic->ClassName().toStdString() : "none";
            if (graphic && !graphic->Empty())
                e += " " + std::to_string(graphic->Width()) + "x" + std::to_string(graphic->Height());
            if (pic)
                e += " px" + std::to_string(pic->PixelWidth) + "x" + std::to_string(pic->PixelHeight);
            if (!fileName.isEmpty())
                e += " file:" + QFileInfo(fileName).fileName().toStdString();
            events.push_back(e);
            inserted = insert;
        };
    }

    void Read(const QByteArray& rtf)
    {
        QBuffer buffer;
        buffer.setData(rtf);
        buffer.open(QIODevice::ReadOnly);
        code = reader.Read(buffer);
    }
};

QByteArray Pict(const char* props, const QByteArray& data)
{
    return QByteArray("{\\rtf1 {\\pict") + props + " " + data.toHex() + "}}";
}

std::string Join(const std::vector<std::string>& v)
{
    std::string s;
    for (const auto& e : v)
        s += (s.empty() ? "" : "|") + e;
    return s;
}

}  // namespace

TEST(RDRTFPictures, KindsBecomeTheirGraphics)
{
    const QByteArray dib = SmallDibHeader() + SmallDibBits();
    struct Case {
        const char* name;
        QByteArray rtf;
        bool extract;
        uint8_t code;
        std::string events;
    };
    const std::vector<Case> cases = {
        {"dib", Pict("\\dibitmap0\\picw2\\pich2", dib), true, 0, "pic:TBitmap 2x2 px0x0"},
        {"png", Pict("\\pngblip\\picwgoal1440\\pichgoal720", Png()), true, 0, "pic:TBitmap 3x2 px96x48"},
        {"jpeg", Pict("\\jpegblip", Jpeg()), true, 0, "pic:TJPEGImage 4x4 px0x0"},
        {"wbitmap", Pict("\\wbitmap0\\picw2\\pich2\\wbmbitspixel1\\wbmwidthbytes2", QByteArray::fromHex("8000c000")),
         true, 0, "pic:TBitmap 2x2 px0x0"},
        {"emf one bitmap", Pict("\\emfblip", Emf(false)), true, 0, "pic:TBitmap 2x2 px0x0"},
        {"emf kept", Pict("\\emfblip", Emf(false)), false, 0, "pic:TMetafile 0x0 px0x0"},
        {"emf with a line", Pict("\\emfblip", Emf(true)), true, 0, "pic:TMetafile 0x0 px0x0"},
        {"emf two bitmaps", Pict("\\emfblip", Emf(false, true)), true, 0, "pic:TMetafile 0x0 px0x0"},
        {"wmf one bitmap", Pict("\\wmetafile8\\picw2540\\pich1270", Wmf(false)), true, 0, "pic:TBitmap 2x2 px96x48"},
        {"wmf with a line", Pict("\\wmetafile8", Wmf(true)), true, 0, "pic:TMetafile 0x0 px0x0"},
        {"bad wmf header", Pict("\\wmetafile8", QByteArray(40, 'x')), true, 10, ""},
        {"mac pict", Pict("\\macpict", QByteArray("abc")), true, 0, "pic:none px0x0"},
        {"bad png", Pict("\\pngblip", QByteArray("\x89PNG", 4)), true, 10, ""},
        // goal sizes out of range fall back to the graphic's own
        {"huge goal", Pict("\\pngblip\\picwgoal2000000000\\pichgoal-5", Png()), true, 0, "pic:TBitmap 3x2 px0x0"},
        {"wbitmap 1e9 x 1e9", Pict("\\wbitmap0\\picw1000000000\\pich1000000000\\wbmbitspixel24", QByteArray(16, 'a')),
         true, 10, ""},
        {"wbitmap short data", Pict("\\wbitmap0\\picw100\\pich100\\wbmbitspixel24", QByteArray(16, 'a')), true, 10, ""},
        {"binary data", "{\\rtf1 {\\pict\\pngblip\\bin" + QByteArray::number(Png().size()) + " " + Png() + "}}", true,
         0, "pic:TBitmap 3x2 px0x0"},
        {"hex split by spaces and line breaks",
         "{\\rtf1 {\\pict\\jpegblip " + Jpeg().toHex().insert(10, "\r\n").insert(30, " ") + "}}", true, 0,
         "pic:TJPEGImage 4x4 px0x0"},
        {"nested pict", "{\\rtf1 {\\pict\\pngblip {\\pict 00}}}", true, 10, ""},
        {"truncated hex", "{\\rtf1 {\\pict\\pngblip 89504e470d0a1a", true, 3, ""},
    };
    for (const auto& c : cases) {
        TPictLog log;
        log.reader.ExtractMetafileBitmaps = c.extract;
        log.Read(c.rtf);
        EXPECT_EQ(log.code, c.code) << c.name;
        EXPECT_EQ(Join(log.events), c.events) << c.name;
    }
}

TEST(RDRTFPictures, DisplaySizeFallsBackOutsideRange)
{
    TRDRTFPicture pic;
    pic.PixelWidth = 200;
    pic.ScaleX = 50;
    EXPECT_EQ(RTFPictureDisplayWidth(pic, 30), 100);
    pic.ScaleX = 2000000000;
    EXPECT_EQ(RTFPictureDisplayWidth(pic, 30), 30);
    pic.PixelHeight = 0;
    pic.ScaleY = 200;
    EXPECT_EQ(RTFPictureDisplayHeight(pic, 40), 80);
    pic.ScaleY = -100;
    EXPECT_EQ(RTFPictureDisplayHeight(pic, 40), 40);
}

TEST(RDRTFPictures, ShapePictureSuppressesAlternative)
{
    const QByteArray rtf = "{\\rtf1 {\\*\\shppict {\\pict\\pngblip " + Png().toHex() + "}}{\\nonshppict alt}x}";
    for (bool insert : {true, false}) {
        TPictLog log;
        log.insert = insert;
        log.Read(rtf);
        EXPECT_EQ(log.code, 0);
        EXPECT_EQ(Join(log.events), insert ? "pic:TBitmap 3x2 px0x0|t:x" : "pic:TBitmap 3x2 px0x0|t:alt|t:x");
    }
}

TEST(RDRTFPictures, BinaryBytesOutsidePicturesAreNotText)
{
    TPictLog log;
    log.reader.OnNewPicture = nullptr;
    log.Read("{\\rtf1 a{\\pict\\bin3 xyz}b\\bin2 cdef}");
    EXPECT_EQ(log.code, 0);
    EXPECT_EQ(Join(log.events), "t:a|t:bef");
}

TEST(RDRTFFields, IncludePictureStaysInsideBaseFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString base = root.path() + "/base";
    ASSERT_TRUE(QDir().mkpath(base + "/sub"));
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(base + "/sub/pic.png", Png());
    write(base + "/sub/a b.jpg", Jpeg());
    write(root.path() + "/outside.png", Png());
    const QByteArray embedded = "{\\pict\\jpegblip " + Jpeg().toHex() + "}";
    auto field = [&](const QByteArray& instruction) {
        return "{\\rtf1 {\\field{\\*\\fldinst {" + instruction + "}}{\\fldrslt " + embedded + "}}}";
    };
    struct Case {
        const char* name;
        QString basePath;
        QByteArray rtf;
        std::string events;
    };
    const std::vector<Case> cases = {
        {"present", base, field("INCLUDEPICTURE \\\\d \"sub/pic.png\""), "pic:TBitmap 3x2 file:pic.png"},
        {"missing", base, field("INCLUDEPICTURE \"sub/none.png\""), "pic:TJPEGImage 4x4 px0x0"},
        {"with %20", base + "/", field("INCLUDEPICTURE \"sub/a%20b.jpg\""), "pic:TJPEGImage 4x4 file:a%20b.jpg"},
        {"import", base, field("IMPORT sub\\\\\\\\pic.png"), "pic:TBitmap 3x2 file:sub\\pic.png"},
        {"no base path", QString(), field("INCLUDEPICTURE \"sub/pic.png\""), "pic:TJPEGImage 4x4 px0x0"},
        {"outside", base + "/sub", field("INCLUDEPICTURE \"../../outside.png\""), "pic:TJPEGImage 4x4 px0x0"},
        {"etc passwd", base, field("INCLUDEPICTURE \"../../etc/passwd\""), "pic:TJPEGImage 4x4 px0x0"},
        {"dev zero", base, field("INCLUDEPICTURE \"/dev/zero\""), "pic:TJPEGImage 4x4 px0x0"},
        {"absolute dev zero", "/dev", field("INCLUDEPICTURE \"zero\""), "pic:TJPEGImage 4x4 px0x0"},
    };
    for (const auto& c : cases) {
        TPictLog log;
        log.reader.BasePath = c.basePath;
        log.Read(c.rtf);
        EXPECT_EQ(log.code, 0) << c.name;
        EXPECT_EQ(Join(log.events), c.events) << c.name;
    }
}

TEST(RDRTFFields, SeqAndSymbol)
{
    struct Case {
        const char* name;
        QByteArray instruction;
        uint8_t code;
        std::string events;
    };
    const std::vector<Case> cases = {
        {"seq roman restart", "SEQ Figure \\\\* ROMAN \\\\r 3", 0, "t:a|seq:Figure 4 1 3|t:b"},
        {"seq alphabetic", "{\\i SEQ} Table \\\\* alphabetic", 0, "t:a|seq:Table 1 0 0|t:b"},
        {"seq plain", "SEQ \"My list\" \\\\r x", 0, "t:a|seq:My list 0 0 0|t:b"},
        {"symbol", "SYMBOL 183 \\\\f \"Symbol\" \\\\s 10", 0, "t:a|t:\xB7/Symbol/10|t:RES|t:b"},
        {"symbol bad code", "SYMBOL x8 \\\\f \"Symbol\" \\\\s 10", 9, "t:a"},
        {"symbol bad size", "SYMBOL 183 \\\\f \"Symbol\" \\\\s big", 9, "t:a"},
    };
    for (const auto& c : cases) {
        TPictLog log;
        log.reader.OnNewSeq = [&log](TRDRTFReader&, TRDRTFPosition, const QByteArray& name, TRDRTFSeqType type,
                                     bool reset, int start) {
            log.events.push_back("seq:" + name.toStdString() + " " + std::to_string(type) + " "
                                 + std::to_string(reset) + " " + std::to_string(start));
        };
        log.Read("{\\rtf1 a{\\field{\\*\\fldinst " + c.instruction + "}{\\fldrslt RES}}b}");
        EXPECT_EQ(log.code, c.code) << c.name;
        EXPECT_EQ(Join(log.events), c.events) << c.name;
    }
}

TEST(RDRTFObjects, ObjectDataAndResult)
{
    for (bool insert : {true, false}) {
        TPictLog log;
        QByteArray data;
        int kind = -1;
        log.reader.OnNewObject = [&](TRDRTFReader&, TRDRTFObject& object, TRDRTFPosition, bool& inserted) {
            data = object.ObjData;
            kind = object.ObjKind;
            inserted = insert;
        };
        log.Read("{\\rtf1 {\\object\\objemb\\objw100{\\*\\objdata 0102ff}{\\result shown}}}");
        EXPECT_EQ(log.code, 0);
        EXPECT_EQ(data, QByteArray::fromHex("0102ff"));
        EXPECT_EQ(kind, 0);
        EXPECT_EQ(Join(log.events), insert ? "" : "t:shown");
    }
    TPictLog bad;
    bad.reader.OnNewObject = [](TRDRTFReader&, TRDRTFObject&, TRDRTFPosition, bool&) {};
    bad.Read("{\\rtf1 {\\object{\\*\\objdata 01zz}}}");
    EXPECT_EQ(bad.code, 10);
}

TEST(RDRTFFields, ImportedPictureMarkedInvalidIsDeliveredLast)
{
    // A graphic the handler marks invalid waits: an embedded picture of the
    // result goes first and, when taken, the waiting one is dropped;
    // otherwise it comes with the embedded one, or at the end of the field,
    // seen inside the enclosing hyperlink.
    const std::string include = "INCLUDEPICTURE \"http://h/p.png\"";
    struct Case {
        const char* name;
        QByteArray result;
        bool insert;
        std::string events;
    };
    const QByteArray embedded = "{\\pict\\jpegblip " + Jpeg().toHex() + "}";
    const std::vector<Case> cases = {
        {"no embedded picture", "x", true, "t:x|pic:TBitmap 3x2 in HYPERLINK \"u\""},
        {"embedded taken", embedded, true, "pic:TJPEGImage 4x4 px0x0 in " + include},
        {"embedded refused", embedded, false,
         "pic:TJPEGImage 4x4 px0x0 in " + include + "|pic:TBitmap 3x2 in " + include},
    };
    for (const auto& c : cases) {
        TPictLog log;
        std::vector<QString> locations;
        log.reader.OnImportPicture = [&](TRDRTFReader&, const QString& location, std::unique_ptr<TGraphic>& graphic,
                                         bool& invalid) {
            locations.push_back(location);
            graphic = std::make_unique<TBitmapGraphic>();
            graphic->Assign(QImage::fromData(Png()));
            invalid = true;
        };
        auto inner = log.reader.OnNewPicture;
        log.reader.OnNewPicture = [&](TRDRTFReader& r, TRDRTFPicture* pic, std::unique_ptr<TGraphic>& graphic,
                                      TRDRTFPosition p, const QString& fileName, bool& inserted) {
            inner(r, pic, graphic, p, fileName, inserted);
            log.events.back() += " in " + r.State.FieldInstruction.toStdString();
        };
        log.insert = c.insert;
        log.Read("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt {\\field{\\*\\fldinst INCLUDEPICTURE "
                 "\"http://h/p.png\"}{\\fldrslt "
                 + c.result + "}}}}}");
        EXPECT_EQ(log.code, 0) << c.name;
        EXPECT_EQ(Join(log.events), c.events) << c.name;
        ASSERT_EQ(locations.size(), 1u) << c.name;
        EXPECT_EQ(locations[0], QStringLiteral("http://h/p.png")) << c.name;
    }
}

TEST(RDRTFPictures, LargeHexPictureCrossesBlocksIntact)
{
    // 200 x 200 at 24 bits: 120,000 bytes, more than one decode buffer and
    // many input blocks; each pixel carries its own position.
    const int side = 200;
    QByteArray bits;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            bits.append(static_cast<char>(x)).append(static_cast<char>(y)).append(static_cast<char>(x ^ y));
    TPictLog log;
    QImage image;
    log.reader.OnNewPicture = [&](TRDRTFReader&, TRDRTFPicture*, std::unique_ptr<TGraphic>& graphic, TRDRTFPosition,
                                  const QString&, bool&) { image = graphic ? graphic->Image() : QImage(); };
    log.Read("{\\rtf1 {\\pict\\wbitmap0\\picw200\\pich200\\wbmbitspixel24\\wbmwidthbytes600\n" + bits.toHex() + "}}");
    ASSERT_EQ(log.code, 0);
    ASSERT_EQ(image.size(), QSize(side, side));
    for (int y : {0, 1, 99, 137, 199})
        for (int x : {0, 5, 100, 199})
            EXPECT_EQ(image.pixel(x, y), qRgb(x ^ y, y, x)) << x << "," << y;
}

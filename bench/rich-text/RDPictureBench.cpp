// Reading JPEG pictures from RDF against decoding the same bytes directly,
// and the memory the read pictures hold.

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <QtCore/QBuffer>
#include <QtCore/QRandomGenerator>
#include <QtGui/QGuiApplication>

#include "RichTextSuite.h"
#include "BenchSupport.h"
#include "RDDocTestSupport.h"
#include "core/RDFStream.h"
#include "items/RDPictureItems.h"

namespace {

constexpr int Pictures = 100;
constexpr qsizetype JpegSize = 100 * 1024;

// A JPEG of 100 KB: noise compresses poorly, so the picture grows until its
// bytes reach the size.
QByteArray NoisyJpeg()
{
    QByteArray bytes;
    for (int side = 300; bytes.size() < JpegSize; side += 2) {
        QImage image(side, side, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, random.generate() | 0xFF000000u);
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 60);
    }
    return bytes;
}

const QByteArray& Jpeg()
{
    static const QByteArray bytes = NoisyJpeg();
    return bytes;
}

// The document of Pictures JPEG pictures; binary blocks or hex lines.
QByteArray MakeDocumentBytes(bool binary)
{
    TTestStyleSheet sheet;
    TTestRDData doc(&sheet);
    doc.RDFOptions = rdfoSavePicturesBody | (binary ? rdfoSaveBinary : 0);
    for (int i = 0; i < Pictures; ++i) {
        auto graphic = std::make_unique<TJPEGImage>();
        graphic->LoadFromStream(Jpeg());
        doc.AddItem("p", new TRDGraphicItemInfo(&doc, std::move(graphic), TRDItemVAlign::ivaBaseline));
    }
    TRDMemoryStream stream;
    doc.SaveRDF(stream, 0, nullptr, nullptr, clNone);
    return stream.ToBytes();
}

const QByteArray& DocumentBytes(bool binary)
{
    static const QByteArray hex = MakeDocumentBytes(false);
    static const QByteArray blocks = MakeDocumentBytes(true);
    return binary ? blocks : hex;
}

// Heap bytes in use, small blocks and mapped ones.
double HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// The reference: the same bytes decoded, the pictures kept as a document keeps them.
// Both sides run once before they are timed: the first run takes its
// memory fresh from the system, which on this machine costs several times
// the decoding (see main).
void BM_DecodeJpegBytesDirectly(benchmark::State& state)
{
    const auto decode = [] {
        std::vector<QImage> images(Pictures);
        for (QImage& image : images)
            image.loadFromData(Jpeg(), "JPEG");
        benchmark::DoNotOptimize(images.data());
    };
    decode();
    for (auto _ : state)
        decode();
    state.counters["jpeg_bytes"] = Jpeg().size();
}
BENCHMARK(BM_DecodeJpegBytesDirectly)->Unit(benchmark::kMillisecond);

// Arg 1: binary blocks, 0: hex lines. held_bytes: what the document of read
// pictures holds on the heap; bound_bytes: the encoded bytes plus one
// decoded image per picture.
void BM_ReadJpegPicturesFromRDF(benchmark::State& state)
{
    const bool binary = state.range(0) == 1;
    TTestStyleSheet sheet;
    TRDMemoryStream stream;
    stream.LoadFromBytes(DocumentBytes(binary));
    double held = 0;
    const auto read = [&] {
        const double before = HeapInUse();
        TTestRDData doc(&sheet);
        doc.RDFOptions = rdfoSavePicturesBody;
        stream.SetPosition(0);
        TColor color = clNone;
        if (!doc.LoadFromRDF(stream, color, nullptr, nullptr) || doc.ItemCount() != Pictures)
            state.SkipWithError("read failed");
        held = HeapInUse() - before;
        benchmark::DoNotOptimize(doc.ItemAt(0));
    };
    read();
    for (auto _ : state)
        read();
    QImage decoded;
    decoded.loadFromData(Jpeg(), "JPEG");
    state.counters["held_bytes"] = held;
    state.counters["bound_bytes"] = Pictures * static_cast<double>(Jpeg().size() + decoded.sizeInBytes());
}
BENCHMARK(BM_ReadJpegPicturesFromRDF)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    // Freed memory stays with the allocator, so that every run decodes into
    // memory the process already has. Otherwise whether the pictures of a
    // run land in pages that the previous run gave back to the system (and
    // must be faulted in again) decides the times of both sides: the
    // reference alone varied from 140 to 2,200 ms.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    QGuiApplication app(argc, argv);
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}

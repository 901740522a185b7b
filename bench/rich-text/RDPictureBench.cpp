// Reading pictures from RDF against decoding the same bytes directly.

#include <benchmark/benchmark.h>

#include <QtCore/QBuffer>
#include <QtCore/QRandomGenerator>
#include <QtGui/QGuiApplication>

#include "BenchSupport.h"
#include "RDDocTestSupport.h"
#include "RDFStream.h"
#include "RDPictureItems.h"

namespace {

constexpr int Pictures = 100;

// A JPEG of about 100 KB: noise compresses poorly.
QByteArray NoisyJpeg()
{
    QImage image(300, 300, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 60);
    return bytes;
}

const QByteArray& Jpeg()
{
    static const QByteArray bytes = NoisyJpeg();
    return bytes;
}

QByteArray DocumentBytes()
{
    TTestStyleSheet sheet;
    TTestRDData doc(&sheet);
    doc.RDFOptions = rdfoSavePicturesBody | rdfoSaveBinary;
    for (int i = 0; i < Pictures; ++i) {
        auto graphic = std::make_unique<TJPEGImage>();
        graphic->LoadFromStream(Jpeg());
        doc.AddItem("p", new TRDGraphicItemInfo(&doc, std::move(graphic), TRDItemVAlign::ivaBaseline));
    }
    TRDMemoryStream stream;
    doc.SaveRDF(stream, 0, nullptr, nullptr, clNone);
    return stream.ToBytes();
}

void BM_ReadJpegPicturesFromRDF(benchmark::State& state)
{
    const QByteArray bytes = DocumentBytes();
    TTestStyleSheet sheet;
    for (auto _ : state) {
        TTestRDData doc(&sheet);
        doc.RDFOptions = rdfoSavePicturesBody | rdfoSaveBinary;
        TRDMemoryStream stream;
        stream.LoadFromBytes(bytes);
        stream.SetPosition(0);
        TColor color = clNone;
        if (!doc.LoadFromRDF(stream, color, nullptr, nullptr) || doc.ItemCount() != Pictures)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(doc.ItemAt(0));
    }
    state.counters["jpeg_bytes"] = Jpeg().size();
}
BENCHMARK(BM_ReadJpegPicturesFromRDF)->Unit(benchmark::kMillisecond);

void BM_DecodeJpegBytesDirectly(benchmark::State& state)
{
    for (auto _ : state) {
        std::vector<QImage> images(Pictures);
        for (QImage& image : images)
            image.loadFromData(Jpeg(), "JPEG");
        benchmark::DoNotOptimize(images.data());
    }
}
BENCHMARK(BM_DecodeJpegBytesDirectly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}

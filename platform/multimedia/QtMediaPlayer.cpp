// The media graph's side of the multimedia module: Qt's media player with
// its sound output, and the video sink that keeps the latest frame and turns
// it into a picture.

#include "MultimediaModule.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QScopeGuard>
#include <QtCore/QUrl>
#include <QtMultimedia/QAudioOutput>
#include <QtMultimedia/QMediaMetaData>
#include <QtMultimedia/QMediaPlayer>
#include <QtMultimedia/QVideoFrame>
#include <QtMultimedia/QVideoFrameFormat>
#include <QtMultimedia/QVideoSink>

#include <cstddef>

// ------------------------------------------------------------ frames to pictures

namespace {

// The planes of a mapped YUV frame: luma, the two chroma planes (U, V), how
// far apart two chroma samples of a row lie and how many luma rows share a
// chroma row.
struct TYuvPlanes {
    const uchar* Y = nullptr;
    const uchar* U = nullptr;
    const uchar* V = nullptr;
    int YStride = 0;
    int UStride = 0;
    int VStride = 0;
    int ChromaStep = 1;  // bytes between two chroma samples of a row
    int ChromaRows = 2;  // luma rows per chroma row
};

// Converts YUV to RGB32 in 10-bit fixed point, with the coefficients of the
// frame's colour space (BT.709 for it, BT.601 for the rest) and range.
QImage YuvImage(const TYuvPlanes& p, int width, int height, const QVideoFrameFormat& format)
{
    const bool bt709 = format.colorSpace() == QVideoFrameFormat::ColorSpace_BT709;
    const bool full = format.colorRange() == QVideoFrameFormat::ColorRange_Full;
    // Y scale and offset, then V to R, U to G, V to G, U to B (times 1024).
    const int ys = full ? 1024 : 1192;
    const int yo = full ? 0 : 16;
    const double c = full ? 1.0 : 255.0 / 224.0;
    const int vr = int((bt709 ? 1.5748 : 1.402) * c * 1024 + 0.5);
    const int ug = int((bt709 ? 0.1873 : 0.3441) * c * 1024 + 0.5);
    const int vg = int((bt709 ? 0.4681 : 0.7141) * c * 1024 + 0.5);
    const int ub = int((bt709 ? 1.8556 : 1.772) * c * 1024 + 0.5);
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
    for (int row = 0; row < height; ++row) {
        const uchar* y = p.Y + std::ptrdiff_t(row) * p.YStride;
        const int chromaRow = row / p.ChromaRows;
        const uchar* u = p.U + std::ptrdiff_t(chromaRow) * p.UStride;
        const uchar* v = p.V + std::ptrdiff_t(chromaRow) * p.VStride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int x = 0; x < width; ++x) {
            const int at = (x / 2) * p.ChromaStep;
            const int yy = (int(y[x]) - yo) * ys;
            const int uu = int(u[at]) - 128;
            const int vv = int(v[at]) - 128;
            out[x] = qRgb(clamp((yy + vr * vv + 512) >> 10), clamp((yy - ug * uu - vg * vv + 512) >> 10),
                          clamp((yy + ub * uu + 512) >> 10));
        }
    }
    return image;
}

// Packed 4:2:2 (two pixels in four bytes): the luma and chroma positions
// within a group.
QImage PackedYuvImage(const uchar* bits, int stride, int width, int height, int y0, int u, int v,
                      const QVideoFrameFormat& format)
{
    TYuvPlanes planes;
    // Luma is every second byte from y0; a row's chroma samples lie four bytes apart.
    QByteArray luma(qsizetype(width) * qsizetype(height), '\0');
    for (int row = 0; row < height; ++row) {
        const uchar* line = bits + std::ptrdiff_t(row) * stride;
        for (int x = 0; x < width; ++x)
            luma[qsizetype(row) * width + x] = char(line[2 * x + y0]);
    }
    planes.Y = reinterpret_cast<const uchar*>(luma.constData());
    planes.YStride = width;
    planes.U = bits + u;
    planes.V = bits + v;
    planes.UStride = stride;
    planes.VStride = stride;
    planes.ChromaStep = 4;
    planes.ChromaRows = 1;
    return YuvImage(planes, width, height, format);
}

// The picture of a video frame, converted here for the usual decoder outputs
// (no graphics context is made for it); other formats go through Qt's own
// conversion.
QImage FrameToImage(const QVideoFrame& source)
{
    QVideoFrame frame(source);
    if (!frame.isValid() || !frame.map(QVideoFrame::ReadOnly))
        return QImage();
    bool mapped = true;
    const auto unmap = qScopeGuard([&] {
        if (mapped)
            frame.unmap();
    });
    const int w = frame.width();
    const int h = frame.height();
    const QVideoFrameFormat format = frame.surfaceFormat();
    const QVideoFrameFormat::PixelFormat pixels = frame.pixelFormat();
    const QImage::Format imageFormat = QVideoFrameFormat::imageFormatFromPixelFormat(pixels);
    if (imageFormat != QImage::Format_Invalid)
        return QImage(frame.bits(0), w, h, frame.bytesPerLine(0), imageFormat).copy();
    TYuvPlanes p;
    p.Y = frame.bits(0);
    p.YStride = frame.bytesPerLine(0);
    switch (pixels) {
    case QVideoFrameFormat::Format_YUV420P:
    case QVideoFrameFormat::Format_YUV422P:
    case QVideoFrameFormat::Format_YV12:
        if (frame.planeCount() < 3)
            break;
        p.U = frame.bits(pixels == QVideoFrameFormat::Format_YV12 ? 2 : 1);
        p.V = frame.bits(pixels == QVideoFrameFormat::Format_YV12 ? 1 : 2);
        p.UStride = frame.bytesPerLine(pixels == QVideoFrameFormat::Format_YV12 ? 2 : 1);
        p.VStride = frame.bytesPerLine(pixels == QVideoFrameFormat::Format_YV12 ? 1 : 2);
        p.ChromaRows = pixels == QVideoFrameFormat::Format_YUV422P ? 1 : 2;
        return YuvImage(p, w, h, format);
    case QVideoFrameFormat::Format_NV12:
    case QVideoFrameFormat::Format_NV21:
        if (frame.planeCount() < 2)
            break;
        p.U = frame.bits(1) + (pixels == QVideoFrameFormat::Format_NV12 ? 0 : 1);
        p.V = frame.bits(1) + (pixels == QVideoFrameFormat::Format_NV12 ? 1 : 0);
        p.UStride = p.VStride = frame.bytesPerLine(1);
        p.ChromaStep = 2;
        return YuvImage(p, w, h, format);
    case QVideoFrameFormat::Format_UYVY:
        return PackedYuvImage(frame.bits(0), frame.bytesPerLine(0), w, h, 1, 0, 2, format);
    case QVideoFrameFormat::Format_YUYV:
        return PackedYuvImage(frame.bits(0), frame.bytesPerLine(0), w, h, 0, 1, 3, format);
    default:
        break;
    }
    frame.unmap();
    mapped = false;
    return source.toImage();
}

}  // namespace


// ------------------------------------------------------------ the player

namespace {

TMediaPlayerBackEnd::TStatus StatusOf(QMediaPlayer::MediaStatus status)
{
    switch (status) {
    case QMediaPlayer::NoMedia: return TMediaPlayerBackEnd::msNoMedia;
    case QMediaPlayer::LoadingMedia: return TMediaPlayerBackEnd::msLoading;
    case QMediaPlayer::LoadedMedia: return TMediaPlayerBackEnd::msLoaded;
    case QMediaPlayer::StalledMedia: return TMediaPlayerBackEnd::msStalled;
    case QMediaPlayer::BufferingMedia: return TMediaPlayerBackEnd::msBuffering;
    case QMediaPlayer::BufferedMedia: return TMediaPlayerBackEnd::msBuffered;
    case QMediaPlayer::EndOfMedia: return TMediaPlayerBackEnd::msEndOfMedia;
    case QMediaPlayer::InvalidMedia: return TMediaPlayerBackEnd::msInvalid;
    }
    return TMediaPlayerBackEnd::msInvalid;
}

TMediaPlayerBackEnd::TError ErrorOf(QMediaPlayer::Error error)
{
    switch (error) {
    case QMediaPlayer::NoError: return TMediaPlayerBackEnd::meNone;
    case QMediaPlayer::ResourceError: return TMediaPlayerBackEnd::meResource;
    case QMediaPlayer::FormatError: return TMediaPlayerBackEnd::meFormat;
    case QMediaPlayer::NetworkError: return TMediaPlayerBackEnd::meNetwork;
    case QMediaPlayer::AccessDeniedError: return TMediaPlayerBackEnd::meAccessDenied;
    }
    return TMediaPlayerBackEnd::meResource;
}

class TQtMediaPlayer final : public TMediaPlayerBackEnd {
public:
    TQtMediaPlayer() { CreatePlayer(); }
    ~TQtMediaPlayer() override { DestroyPlayer(); }
    TQtMediaPlayer(const TQtMediaPlayer&) = delete;
    TQtMediaPlayer& operator=(const TQtMediaPlayer&) = delete;

    void Renew() override
    {
        QObject* videoOutput = FPlayer->videoOutput();
        DestroyPlayer();
        CreatePlayer();
        FPlayer->setVideoOutput(videoOutput);
    }
    void SetSource(const QString& fileName) override
    {
        FPlayer->setSource(fileName.isEmpty() ? QUrl() : QUrl::fromLocalFile(fileName));
    }
    bool HasSource() const override { return !FPlayer->source().isEmpty(); }
    TStatus Status() const override { return StatusOf(FPlayer->mediaStatus()); }
    TError Error() const override { return ErrorOf(FPlayer->error()); }
    TState State() const override
    {
        switch (FPlayer->playbackState()) {
        case QMediaPlayer::PlayingState: return psPlaying;
        case QMediaPlayer::PausedState: return psPaused;
        case QMediaPlayer::StoppedState: break;
        }
        return psStopped;
    }
    void Play() override { FPlayer->play(); }
    void Pause() override { FPlayer->pause(); }
    void Stop() override { FPlayer->stop(); }
    std::int64_t Position() const override { return FPlayer->position(); }
    void SetPosition(std::int64_t ms) override { FPlayer->setPosition(ms); }
    std::int64_t Duration() const override { return FPlayer->duration(); }
    double Rate() const override { return FPlayer->playbackRate(); }
    void SetRate(double rate) override { FPlayer->setPlaybackRate(rate); }
    bool HasVideo() const override { return FPlayer->hasVideo(); }
    QSize Resolution() const override { return FPlayer->metaData().value(QMediaMetaData::Resolution).toSize(); }
    void SetVideoOutput(QObject* output) override
    {
        if (!output)
            FPlayer->setVideoOutput(nullptr);
        else if (auto* sink = qobject_cast<QVideoSink*>(output))
            FPlayer->setVideoOutput(sink);
    }
    QObject* VideoOutput() const override { return FPlayer->videoOutput(); }
    QSize VideoOutputSize() const override
    {
        const auto* sink = qobject_cast<QVideoSink*>(FPlayer->videoOutput());
        return sink ? sink->videoSize() : QSize();
    }
    void SetVolume(float amplitude) override { FOutput.setVolume(amplitude); }

private:
    void CreatePlayer()
    {
        FPlayer = new QMediaPlayer(&FContext);
        FPlayer->setAudioOutput(&FOutput);
        QObject::connect(FPlayer, &QMediaPlayer::mediaStatusChanged, &FContext, [this](QMediaPlayer::MediaStatus s) {
            if (OnStatusChanged)
                OnStatusChanged(StatusOf(s));
        });
        QObject::connect(FPlayer, &QMediaPlayer::errorOccurred, &FContext, [this](QMediaPlayer::Error e) {
            if (OnError)
                OnError(ErrorOf(e));
        });
        QObject::connect(FPlayer, &QMediaPlayer::metaDataChanged, &FContext, [this] {
            if (OnMetaDataChanged)
                OnMetaDataChanged();
        });
    }

    void DestroyPlayer()
    {
        FPlayer->disconnect(&FContext);
        FPlayer->setVideoOutput(nullptr);
        FPlayer->setAudioOutput(nullptr);
        FPlayer->stop();
        delete FPlayer;
        FPlayer = nullptr;
    }

    QObject FContext;  // receives the player's signals; owns the player
    QAudioOutput FOutput;
    QMediaPlayer* FPlayer = nullptr;
};

// ------------------------------------------------------------ the renderer

class TQtVideoRenderer final : public TVideoRendererBackEnd {
public:
    explicit TQtVideoRenderer(QObject* parent) : FSink(new QVideoSink(parent))
    {
        QObject::connect(FSink, &QVideoSink::videoFrameChanged, &FContext, [this](const QVideoFrame& frame) {
            FFrame = frame;
            if (OnFrame)
                OnFrame();
        });
    }
    ~TQtVideoRenderer() override
    {
        if (FSink) {
            FSink->disconnect(&FContext);
            delete FSink.data();
        }
    }
    TQtVideoRenderer(const TQtVideoRenderer&) = delete;
    TQtVideoRenderer& operator=(const TQtVideoRenderer&) = delete;

    QObject* Sink() const override { return FSink.data(); }
    QImage FrameImage() const override { return FFrame.isValid() ? FrameToImage(FFrame) : QImage(); }

private:
    QObject FContext;  // receives the sink's signal
    QPointer<QVideoSink> FSink;
    QVideoFrame FFrame;
};

}  // namespace

TMediaPlayerBackEnd* CreateQtMediaPlayer()
{
    return new TQtMediaPlayer;
}

TVideoRendererBackEnd* CreateQtVideoRenderer(QObject* parent)
{
    return new TQtVideoRenderer(parent);
}

#pragma once

// FFmpeg's libraries, opened with dlopen when first needed rather than linked:
// linking them pulls every codec library of the system into each program at
// start. The headers give the types and constants; the functions are called
// through the table below, filled on the first successful FFmpegLoad().

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <QtCore/QString>
#include <QtCore/QStringList>

// X(library index, function): every FFmpeg function this component calls.
// Library indices: 0 avutil, 1 swresample, 2 avcodec, 3 avformat.
#define PIBO_FFMPEG_FUNCTIONS(X)                                                                                   \
    X(0, av_channel_layout_check)                                                                                  \
    X(0, av_channel_layout_copy)                                                                                   \
    X(0, av_channel_layout_default)                                                                                \
    X(0, av_channel_layout_uninit)                                                                                 \
    X(0, av_dict_get)                                                                                              \
    X(0, av_frame_alloc)                                                                                           \
    X(0, av_frame_free)                                                                                            \
    X(0, av_frame_unref)                                                                                           \
    X(0, av_free)                                                                                                  \
    X(0, av_freep)                                                                                                 \
    X(0, av_log_get_level)                                                                                         \
    X(0, av_log_set_level)                                                                                         \
    X(0, av_malloc)                                                                                                \
    X(0, av_rescale)                                                                                               \
    X(0, av_rescale_q)                                                                                             \
    X(0, av_strerror)                                                                                              \
    X(1, swr_alloc_set_opts2)                                                                                      \
    X(1, swr_convert)                                                                                              \
    X(1, swr_free)                                                                                                 \
    X(1, swr_get_out_samples)                                                                                      \
    X(1, swr_init)                                                                                                 \
    X(2, av_packet_alloc)                                                                                          \
    X(2, av_packet_free)                                                                                           \
    X(2, av_packet_unref)                                                                                          \
    X(2, avcodec_alloc_context3)                                                                                   \
    X(2, avcodec_flush_buffers)                                                                                    \
    X(2, avcodec_free_context)                                                                                     \
    X(2, avcodec_open2)                                                                                            \
    X(2, avcodec_parameters_to_context)                                                                            \
    X(2, avcodec_receive_frame)                                                                                    \
    X(2, avcodec_send_packet)                                                                                      \
    X(3, av_find_best_stream)                                                                                      \
    X(3, av_find_input_format)                                                                                     \
    X(3, av_read_frame)                                                                                            \
    X(3, av_seek_frame)                                                                                            \
    X(3, avformat_alloc_context)                                                                                   \
    X(3, avformat_close_input)                                                                                     \
    X(3, avformat_find_stream_info)                                                                                \
    X(3, avformat_open_input)                                                                                      \
    X(3, avio_alloc_context)                                                                                       \
    X(3, avio_context_free)

struct TFFmpegApi {
#define PIBO_FFMPEG_ENTRY(library, name) decltype(&::name) name = nullptr;
    PIBO_FFMPEG_FUNCTIONS(PIBO_FFMPEG_ENTRY)
#undef PIBO_FFMPEG_ENTRY
};

// Opens the libraries and resolves the table on the first call (thread-safe);
// false when a library or a function is missing (FFmpegLoadError says which).
// A failed attempt is tried again on the next call.
bool FFmpegLoad();
// True once a load has succeeded; the table then stays valid for the
// process's lifetime (the libraries are never closed).
bool FFmpegLoaded();
// The table; its entries are set only once FFmpegLoaded() is true.
const TFFmpegApi& Ff();
// "<library> library could not be loaded." for the last failed load.
QString FFmpegLoadError();

// The sonames opened, in the order avutil, swresample, avcodec, avformat
// (the major versions of the headers built against).
QStringList FFmpegLibraryNames();
// Lets tests point the loader at other names: the next FFmpegLoad() opens
// these. A table already filled stays valid for what is open, but
// FFmpegLoad() answers for the new names.
void SetFFmpegLibraryNames(const QStringList& names);

#pragma once

// Video files made by ffmpeg for the tests of the media graph and the video
// player, once per test program, in a temporary folder.
//
//   rgb.avi, rgb.wmv, rgb.asf  320 x 240: one red, one green, one blue
//                              second, with a 440 Hz tone (AVI: MPEG-4 and
//                              MP3; WMV and ASF: WMV2 and WMA2)
//   wide.avi                   640 x 480, the same three seconds
//   audio.avi                  a 440 Hz tone of 2 s, no picture
//   junk.avi                   random bytes
//   missing.avi                a name that is never made

#include <QtCore/QString>

#include <cstdint>
#include <functional>

class QImage;

namespace VideoFixtures {

// The path of a fixture, made on first use.
QString File(const QString& name);
// The duration ffprobe reads from a file's container, in ms (-1 when it
// cannot tell).
std::int64_t ProbeDurationMs(const QString& path);

// Processes events until done() holds (true) or timeoutMs have passed
// (false). The bound only keeps a broken run from hanging: it is generous,
// for machines under load.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 60000);

// Which of red, green and blue dominates the pixel in the middle of image:
// 'r', 'g', 'b', or '?' for none (and for an empty image).
char MiddleColour(const QImage& image);

}  // namespace VideoFixtures

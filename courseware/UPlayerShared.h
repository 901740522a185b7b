#pragma once

// What the audio and the video player share: the subtitle box under the
// picture or waveform, with its sung-along English line, and the lookups over
// a player's sentence list (the next and previous selected sentence, the
// sentence that holds a time).
//
// The lookups take the list as a count and accessors by position, so that
// the audio player can walk its play queue and the video player its cue list.

#include <QtCore/QRect>
#include <QtCore/QString>

#include <cstdint>
#include <functional>

class QPainter;

// ------------------------------------------------------------ subtitle box

// Height of the subtitle box in pixels.
constexpr int SubtitleBoxHeight = 58;

// Colours of the box (colour numbers: red in the lowest byte).
constexpr std::uint32_t SubtitleEnglishColor = 0xFED302;  // the English line not yet sung
constexpr std::uint32_t SubtitleSungColor = 0x65FFFE;     // the part of it already sung
constexpr std::uint32_t SubtitleChinaColor = 0x50DD94;    // the Chinese line

// What the box shows.
struct TSubtitleBoxText {
    QString English;
    QString China;
    bool ShowEnglish = true;
    bool ShowChina = true;
    // The sung part of the English line as a fraction of its width; below 0
    // nothing is sung, above 1 all of it.
    double Progress = 0;
    // Top of the English line; the Chinese line follows it after a gap of 8.
    int EnglishTop = 0;
};

// Paints the box into rect: black, the English line (when not blank and
// shown) centred at EnglishTop in bold 12-point "MS Sans Serif", its left part
// up to Progress of its width in the sung colour; the Chinese line (when not
// blank and shown) centred in bold 12-point "宋体", at EnglishTop plus the
// height of the English text measured in the Chinese font plus 8.
void PaintSubtitleBox(QPainter& painter, const QRect& rect, const TSubtitleBoxText& text);

// The width of an English line in the box's English font.
int SubtitleEnglishWidth(const QString& english);

// The sung width of a line of width pixels at progress (to the nearest
// whole pixel, halves to even; 0 .. width).
int SungWidth(int width, double progress);

// ------------------------------------------------------------ lookups

using TIsSelected = std::function<bool(int index)>;
using TTimeOf = std::function<std::int64_t(int index)>;

// The first index at or after from (from below 0 counts as 0) whose sentence
// is selected; -1 when there is none, also when from lies past the end.
int NextSelected(int count, int from, const TIsSelected& selected);
// The last index at or before from (from past the end counts as the last
// index) whose sentence is selected; -1 when there is none or from is below 0.
int PrevSelected(int count, int from, const TIsSelected& selected);

// The first index whose sentence holds ms: start <= ms < end, or
// start <= ms <= end with endIncluded; -1 when none does.
int IndexOfTime(int count, std::int64_t ms, const TTimeOf& start, const TTimeOf& end, bool endIncluded);
// The index of the sentence that starts first after ms; when none starts
// after it, the one that starts last (at or before ms). -1 only for an empty
// list. Gives a valid current sentence for a time that no sentence holds
// (before the first, in a gap).
int IndexNearTime(int count, std::int64_t ms, const TTimeOf& start);

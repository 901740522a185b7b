#pragma once

// Item texts with inline formatting commands, as the completion popup shows
// them: "\color{clRed}", "\style{+B}" (+ adds, - removes, ~ toggles one of
// B, I, S, U), "\column{}", "\hspace{8}", "\image{2}", and "\\" for one
// backslash. An item is parsed into a chunk list, then drawn or measured by
// walking the chunks.

#include "TextEditDrawer.h"

#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

class QObject;
class TCanvas;
class TImageList;

enum class TFormatChunkType : std::uint8_t { Text, Color, Style, Column, HSpace, Image };

// A set of chunk kinds.
class TFormatChunkTypes {
public:
    constexpr TFormatChunkTypes() = default;
    constexpr TFormatChunkTypes(std::initializer_list<TFormatChunkType> kinds)
    {
        for (TFormatChunkType kind : kinds)
            FBits = static_cast<std::uint8_t>(FBits | Bit(kind));
    }
    constexpr bool Contains(TFormatChunkType kind) const { return (FBits & Bit(kind)) != 0; }

private:
    static constexpr std::uint8_t Bit(TFormatChunkType kind) { return static_cast<std::uint8_t>(1u << static_cast<unsigned>(kind)); }
    std::uint8_t FBits = 0;
};

// Every command kind: what stripping skips.
constexpr TFormatChunkTypes AllFormatCommands{TFormatChunkType::Color, TFormatChunkType::Style,
                                              TFormatChunkType::Column, TFormatChunkType::HSpace,
                                              TFormatChunkType::Image};

struct TFormatStyleData {
    QChar Style;     // B, I, S or U
    int Action = 0;  // +1 add, -1 remove, 0 toggle
};

struct TFormatChunk {
    QString Str;  // text chunks
    TFormatChunkType ChunkType = TFormatChunkType::Text;
    // Colour: the TColor; horizontal space: pixels; image: the image index.
    std::int32_t Data = 0;
    // Style chunks only.
    std::unique_ptr<TFormatStyleData> StyleData;
};

class TFormatChunkList {
public:
    TFormatChunkList() = default;
    TFormatChunkList(const TFormatChunkList&) = delete;
    TFormatChunkList& operator=(const TFormatChunkList&) = delete;
    ~TFormatChunkList() { Clear(); }

    int Count() const { return static_cast<int>(FChunks.size()); }
    TFormatChunk* Chunks(int index) const { return FChunks.at(static_cast<size_t>(index)).get(); }
    void Add(std::unique_ptr<TFormatChunk> chunk) { FChunks.push_back(std::move(chunk)); }
    // Frees the chunks from the last to the first.
    void Clear();

private:
    std::vector<std::unique_ptr<TFormatChunk>> FChunks;
};

// One column of a formatted item: "\column{}" moves to the start of the next
// column, BiggestWord plus a space wide in the font of the moment.
class TProposalColumn {
public:
    QString BiggestWord = QStringLiteral("CONSTRUCTOR");
    std::int32_t InternalWidth = -1;  // copied, not otherwise used
    TTextFontStyles DefaultFontStyle = 0;

    void Assign(const TProposalColumn& source)
    {
        BiggestWord = source.BiggestWord;
        InternalWidth = source.InternalWidth;
        DefaultFontStyle = source.DefaultFontStyle;
    }
};

class TProposalColumns {
public:
    explicit TProposalColumns(QObject* owner) : FOwner(owner) {}
    TProposalColumns(const TProposalColumns&) = delete;
    TProposalColumns& operator=(const TProposalColumns&) = delete;

    QObject* Owner() const { return FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TProposalColumn* Items(int index) const { return FItems.at(static_cast<size_t>(index)).get(); }
    TProposalColumn* Add()
    {
        FItems.push_back(std::make_unique<TProposalColumn>());
        return FItems.back().get();
    }
    void Clear() { FItems.clear(); }
    void Assign(const TProposalColumns& source);

private:
    QObject* FOwner;
    std::vector<std::unique_ptr<TProposalColumn>> FItems;
};

// Appends the chunks of text to chunks, leaving out the command kinds in
// skipKinds. False when a command had an unknown name or a bad parameter;
// parsing goes on after it all the same.
bool ParseFormattedText(const QString& text, TFormatChunkList& chunks, TFormatChunkTypes skipKinds);

// Draws text from rect's left at its top, stopping once past its right edge.
// When selected, colour commands are ignored so that the selection colour
// stays. Answers the x where drawing ended. images and columns may be null;
// an image command without an image list draws nothing and takes no room.
int DrawFormattedText(TCanvas& canvas, const QRect& rect, const QString& text, const TImageList* images,
                      const TProposalColumns* columns, bool selected);

// The x where drawing text from 0 would end; nothing is drawn.
int FormattedTextWidth(TCanvas& canvas, const QString& text, const TProposalColumns* columns,
                       const TImageList* images);

// The text without its commands.
QString StripFormatting(const QString& text);

// commaText's parts (commas and blanks separate, double quotes group) joined
// by single spaces, part index between two "\style{~B}" commands.
QString HighlightParameter(const QString& commaText, int index);

// text with every backslash doubled: shows as typed when parsed.
QString QuoteFormatCommands(const QString& text);

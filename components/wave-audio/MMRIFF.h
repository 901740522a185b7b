#pragma once

// The RIFF "INFO" list and the "DISP" chunks of a wave file, kept so that a
// copy of the file carries them along.

#include "SndMmio.h"

#include <QtCore/QByteArray>

#include <array>
#include <cstdint>
#include <vector>

// Results of the list routines.
constexpr int RIFFERR_NOERROR = 0;
constexpr int RIFFERR_BADPARAM = 2;
constexpr int RIFFERR_FILEERROR = 3;
constexpr int RIFFERR_NOMEM = 4;

// The 23 INFO identifiers, in the order of the list's elements.
constexpr int RiffInfoCount = 23;
TFourCC RiffInfoIdent(int index);
int RiffInfoIndex(TFourCC ident);  // -1 for an identifier not in the list

constexpr std::uint16_t RIFF_INFO_REPLACED = 1;
constexpr std::uint16_t RIFF_INFO_REMOVED = 2;

struct TSndInfoElement {
    std::uint16_t Index = 0;
    std::uint16_t Flags = 0;
    std::int64_t Offset = 0;  // of its text inside the raw data, 0 when the file has none
    std::int64_t Size = 0;    // bytes of its sub-chunk in the raw data
    QByteArray Replaced;      // the replaced text (when Flags has RIFF_INFO_REPLACED)
};

struct TSndInfoList {
    QByteArray Raw;  // the LIST payload behind the type "INFO"
    std::array<TSndInfoElement, RiffInfoCount> Elements;

    TSndInfoList();
    // The element's text: the replaced one, else the one read (up to its zero,
    // never beyond its sub-chunk); empty when removed or absent.
    QByteArray Text(int index) const;
    void SetText(int index, const QByteArray& text);
    void RemoveText(int index);
    // Bytes the list takes in a file (0 without text).
    std::int64_t FileBytes() const;
};

constexpr std::uint32_t CF_TEXT = 1;
constexpr std::uint32_t CF_DIB = 8;
constexpr std::uint16_t RIFF_DISP_REPLACED = 1;

struct TSndDispElement {
    std::uint32_t ClipboardFormat = 0;
    std::uint16_t Flags = 0;
    QByteArray Raw;
    QByteArray Replaced;

    // The replaced data when replaced, else the data as read.
    const QByteArray& Data() const { return (Flags & RIFF_DISP_REPLACED) ? Replaced : Raw; }
    // The bytes written for it: the text with its terminating zero (text), the
    // bitmap (DIB); empty for other formats or a bitmap whose header does not
    // fit its data.
    QByteArray Payload() const;
};

struct TSndDispList {
    std::vector<TSndDispElement> Elements;
    std::int64_t FileBytes() const;
};

// Reads the payload of a "LIST" "INFO" chunk (the file positioned behind its
// type) and records the offset of each known sub-chunk's text.
int RiffReadInfoList(TSndMmio& io, const TMMCkInfo& list, TSndInfoList& info);
// Reads a "DISP" chunk of at least 5 bytes (the file positioned at its data).
int RiffReadDisp(TSndMmio& io, const TMMCkInfo& chunk, TSndDispList& disp);
// Write the DISP chunks and the INFO list at the current position.
int RiffWriteDispList(TSndMmio& io, const TSndDispList& disp);
int RiffWriteInfoList(TSndMmio& io, const TSndInfoList& info);
// Copy every text of source into target as a replaced text; an equal text
// leaves the element unchanged.
int RiffCopyInfoList(TSndInfoList& target, const TSndInfoList& source);
// Drops the target's entries, then copies every source entry with a format
// and data.
int RiffCopyDispList(TSndDispList& target, const TSndDispList& source);

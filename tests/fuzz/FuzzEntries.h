#pragma once

// The entry points of the fuzz targets: one per parser, each feeding one input
// through the parser the way the program reads such a file, and the seed
// inputs each starts from, made by the project's own writers.
//
// The fuzz targets (built with -DPIBO_FUZZ=ON) and the regression table of the
// normal test suite call the same entries. An entry expects a Qt application
// object and a program folder with its work folders (temp/, update/); the
// failures the parsers report for bad input (their exceptions, false) end the
// entry quietly: only a crash, a sanitizer's report or a hang is a finding.

#include <QtCore/QByteArray>
#include <QtCore/QList>

#include <cstddef>
#include <cstdint>

struct TFuzzEntry {
    const char* Name;
    // Reads one input.
    void (*Run)(const std::uint8_t* data, std::size_t size);
    // The seed inputs of the target.
    QList<QByteArray> (*Seeds)();
};

// Every entry, in a fixed order.
const QList<TFuzzEntry>& FuzzEntries();
// The entry of that name, or nullptr.
const TFuzzEntry* FindFuzzEntry(const char* name);
// Runs one input through the named entry (which must exist).
void RunFuzzEntry(const char* name, const QByteArray& input);

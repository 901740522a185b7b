#pragma once

// The names of compressed formats, as the system's codec manager would give
// them: a table of our own for the common format tags.

#include "MMPCMSup.h"

#include <QtCore/QString>

#include <cstdint>

// True: the name source is always there.
bool AcmPresent();
// The name of a format tag; false for a tag the table does not know.
bool AcmFormatTagDetails(std::uint16_t tag, QString& tagName);
// A one-line text for a format; false when the table has none (the caller then
// describes the format itself).
bool AcmFormatDetails(const TWaveFormatEx* format, QString& text);

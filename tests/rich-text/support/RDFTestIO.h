#pragma once

// Whole documents read from and written to RDF bytes in the tests.

#include <gtest/gtest.h>

#include "RDDocTestSupport.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"

// A whole document from RDF bytes, and back.
inline bool Load(TCustomRDData& doc, const QByteArray& bytes, TRDLayoutInfo* layout = nullptr)
{
    TRDMemoryStream stream;
    stream.LoadFromBytes(bytes);
    stream.SetPosition(0);
    TColor color = clNone;
    return doc.LoadFromRDF(stream, color, nullptr, layout);
}

inline QByteArray Save(TCustomRDData& doc, TRDLayoutInfo* layout = nullptr)
{
    TRDMemoryStream stream;
    EXPECT_TRUE(doc.SaveRDF(stream, 0, layout, nullptr, clNone));
    return stream.ToBytes();
}

#pragma once

// The class library's binary component encoding, as window layouts, rich-text
// style tables and controls store it. Every value starts with one byte of
// value type; integers are little-endian; strings are GBK.

#include <cstdint>
#include <optional>
#include <stdexcept>

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include "Graphics.h"

enum class TValueType : uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaWString = 18,
    vaUTF8String = 20,
};

// Raised for data that is not a valid encoding: unknown value types, values
// of the wrong kind, lengths running past the data, nesting too deep.
class EComponentStreamError : public std::runtime_error {
public:
    explicit EComponentStreamError(const std::string& message) : std::runtime_error(message) {}
};

// The names of the constants that the encoding writes as identifiers.
std::optional<QString> ColorToIdent(TColor color);
std::optional<TColor> IdentToColor(const QString& ident);
std::optional<QString> CursorToIdent(int cursor);
std::optional<int> IdentToCursor(const QString& ident);
std::optional<QString> CharsetToIdent(uint8_t charset);
std::optional<uint8_t> IdentToCharset(const QString& ident);

class TComponentWriter {
public:
    void WriteValueType(TValueType type) { FData.append(static_cast<char>(type)); }
    // The smallest of the three integer forms that holds value.
    void WriteInteger(int32_t value);
    void WriteBoolean(bool value) { WriteValueType(value ? TValueType::vaTrue : TValueType::vaFalse); }
    // GBK bytes, with a one-byte length up to 255 bytes and a four-byte one beyond.
    void WriteString(const QString& value);
    void WriteIdent(const QString& ident);
    // The set's members by name, then an empty name.
    void WriteSet(uint32_t bits, const QStringList& names);
    void WriteBinary(const QByteArray& bytes);
    void WriteColor(TColor color);
    void WriteCursor(int cursor);
    void WriteCharset(uint8_t charset);
    // A property name: one length byte and the name (not a value).
    void WritePropName(const QString& name);
    // A bare short string (class and component names).
    void WriteShortString(const QByteArray& s);
    void WriteListEnd() { WriteValueType(TValueType::vaNull); }
    // A stored component: the signature, its class name and name; then its
    // properties, and ComponentEnd (the end of the properties and of the
    // owned components).
    void WriteComponentStart(const QString& className, const QString& name);
    void WriteComponentEnd()
    {
        WriteListEnd();
        WriteListEnd();
    }
    void WriteRaw(const QByteArray& bytes) { FData.append(bytes); }

    const QByteArray& Data() const { return FData; }

private:
    QByteArray FData;
};

class TComponentReader {
public:
    // Nesting (lists, collections) deeper than maxDepth fails.
    explicit TComponentReader(const QByteArray& data, int maxDepth = 32) : FData(data), FMaxDepth(maxDepth) {}

    qsizetype Position() const { return FPos; }
    bool AtEnd() const { return FPos >= FData.size(); }
    TValueType PeekValueType() const;
    TValueType ReadValueType();
    // True (and consumed) when the next byte ends a list.
    bool EndOfList();
    void ReadListEnd();
    int32_t ReadInteger();
    bool ReadBoolean();
    QString ReadString();
    QString ReadIdent();
    // Bits of the named members; an unknown name fails.
    uint32_t ReadSet(const QStringList& names);
    QByteArray ReadBinary();
    // A colour, cursor or charset given as an identifier or as an integer.
    TColor ReadColor();
    int ReadCursor();
    uint8_t ReadCharset();
    // An identifier among names, as its index.
    int ReadEnum(const QStringList& names);
    QString ReadPropName();
    // The start of a stored component: signature, flags when present, class
    // name and name. After its properties (and the zero that ends them),
    // ReadComponentEnd skips the components it owns and the final zero.
    void ReadComponentStart(QString& className, QString& name);
    void ReadComponentEnd();
    QByteArray ReadShortString();
    // Skips one value of any type.
    void SkipValue();

    // Counts one level of nesting for the caller; leave with LeaveNesting.
    void EnterNesting();
    void LeaveNesting() { --FDepth; }

    [[noreturn]] void Fail(const char* what) const;

private:
    const char* Take(qsizetype count);
    uint8_t TakeByte() { return static_cast<uint8_t>(*Take(1)); }
    uint32_t TakeUInt32();

    QByteArray FData;
    qsizetype FPos = 0;
    int FDepth = 0;
    int FMaxDepth;
};

// The signature of a stored component.
extern const char ComponentSignature[4];  // "TPF0"

#pragma once

// The class library's binary component encoding, as window layouts, rich-text
// style tables and controls store it. Every value starts with one byte of
// value type; integers are little-endian; strings are GBK.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

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

// One property: its name, whether it is stored, and its two directions.
template <typename T>
struct TProp {
    QString Name;
    std::function<bool(const T&)> Stored;
    std::function<void(TComponentWriter&, const T&)> Write;
    std::function<void(TComponentReader&, T&)> Read;
};

// The properties of one class in published order; drives writing and reading.
template <typename T>
class TPropTable {
public:
    std::vector<TProp<T>> Props;

    TPropTable& Add(const QString& name, std::function<bool(const T&)> stored,
                    std::function<void(TComponentWriter&, const T&)> write, std::function<void(TComponentReader&, T&)> read)
    {
        Props.push_back({name, std::move(stored), std::move(write), std::move(read)});
        return *this;
    }

    template <typename C, typename M>
    TPropTable& Int(const char* name, M C::*member, M def)
    {
        return Add(
            name, [=](const T& o) { return o.*member != def; },
            [=](TComponentWriter& w, const T& o) { w.WriteInteger(static_cast<int32_t>(o.*member)); },
            [=](TComponentReader& r, T& o) { o.*member = static_cast<M>(r.ReadInteger()); });
    }
    template <typename C>
    TPropTable& Bool(const char* name, bool C::*member, bool def)
    {
        return Add(
            name, [=](const T& o) { return o.*member != def; },
            [=](TComponentWriter& w, const T& o) { w.WriteBoolean(o.*member); },
            [=](TComponentReader& r, T& o) { o.*member = r.ReadBoolean(); });
    }
    // Stored when different from def (an empty def: when not empty).
    template <typename C>
    TPropTable& Str(const char* name, QString C::*member, const QString& def = {})
    {
        return Add(
            name, [=](const T& o) { return o.*member != def; },
            [=](TComponentWriter& w, const T& o) { w.WriteString(o.*member); },
            [=](TComponentReader& r, T& o) { o.*member = r.ReadString(); });
    }
    template <typename C>
    TPropTable& Color(const char* name, TColor C::*member, TColor def)
    {
        return Add(
            name, [=](const T& o) { return o.*member != def; },
            [=](TComponentWriter& w, const T& o) { w.WriteColor(o.*member); },
            [=](TComponentReader& r, T& o) { o.*member = r.ReadColor(); });
    }
    template <typename C>
    TPropTable& Cursor(const char* name, int16_t C::*member, int16_t def)
    {
        return Add(
            name, [=](const T& o) { return o.*member != def; },
            [=](TComponentWriter& w, const T& o) { w.WriteCursor(o.*member); },
            [=](TComponentReader& r, T& o) { o.*member = static_cast<int16_t>(r.ReadCursor()); });
    }
    template <typename C>
    TPropTable& Charset(const char* name, uint8_t C::*member, uint8_t def)
    {
        return Add(
            name, [=](const T& o) { return o.*member != def; },
            [=](TComponentWriter& w, const T& o) { w.WriteCharset(o.*member); },
            [=](TComponentReader& r, T& o) { o.*member = r.ReadCharset(); });
    }
    template <typename C, typename E>
    TPropTable& Enum(const char* name, E C::*member, E def, const QStringList& names)
    {
        return Add(
            name, [=](const T& o) { return o.*member != def; },
            [=](TComponentWriter& w, const T& o) { w.WriteIdent(names.value(static_cast<int>(o.*member))); },
            [=](TComponentReader& r, T& o) { o.*member = static_cast<E>(r.ReadEnum(names)); });
    }
    template <typename C, typename M>
    TPropTable& Set(const char* name, M C::*member, M def, const QStringList& names)
    {
        return Add(
            name, [=](const T& o) { return o.*member != def; },
            [=](TComponentWriter& w, const T& o) { w.WriteSet(static_cast<uint32_t>(o.*member), names); },
            [=](TComponentReader& r, T& o) { o.*member = static_cast<M>(r.ReadSet(names)); });
    }
    // The properties of an owned object under "prefix.".
    template <typename U, typename Get>
    TPropTable& Nested(const QString& prefix, Get get, const TPropTable<U>& sub)
    {
        for (const TProp<U>& p : sub.Props)
            Add(
                prefix + u'.' + p.Name, [=](const T& o) { return p.Stored(get(o)); },
                [=](TComponentWriter& w, const T& o) { p.Write(w, get(o)); },
                [=](TComponentReader& r, T& o) { p.Read(r, get(o)); });
        return *this;
    }
    void Write(TComponentWriter& w, const T& o) const
    {
        for (const TProp<T>& p : Props)
            if (p.Stored(o)) {
                w.WritePropName(p.Name);
                p.Write(w, o);
            }
    }
    // False, with nothing read, for a name the class does not have.
    bool TryRead(TComponentReader& r, const QString& name, T& o) const
    {
        for (const TProp<T>& p : Props)
            if (p.Name.compare(name, Qt::CaseInsensitive) == 0) {
                p.Read(r, o);
                return true;
            }
        return false;
    }
    void Read(TComponentReader& r, const QString& name, T& o) const
    {
        if (!TryRead(r, name, o))
            throw EComponentStreamError(("Property " + name + " does not exist").toStdString());
    }
};

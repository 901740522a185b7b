#include "TextEditHighlighter.h"

#include "IniFile.h"

#include <QtCore/QFileInfo>
#include <QtCore/QSettings>

#include <typeinfo>

void TTextTokenAttr::SetBackground(TColor value)
{
    if (FBackground == value)
        return;
    FBackground = value;
    NotifyChange();
}

void TTextTokenAttr::SetForeground(TColor value)
{
    if (FForeground == value)
        return;
    FForeground = value;
    NotifyChange();
}

void TTextTokenAttr::SetStyle(std::uint8_t value)
{
    if (FStyle == value)
        return;
    FStyle = value;
    NotifyChange();
}

void TTextTokenAttr::SetStyleBits(int value)
{
    SetStyle((value & fsBold) ? fsBold : 0);
    if (value & fsItalic)
        SetStyle(FStyle | fsItalic);
    if (value & fsUnderline)
        SetStyle(FStyle | fsUnderline);
    if (value & fsStrikeOut)
        SetStyle(FStyle | fsStrikeOut);
}

void TTextTokenAttr::Assign(const TTextTokenAttr& source)
{
    const bool changed =
        FBackground != source.FBackground || FForeground != source.FForeground || FStyle != source.FStyle;
    FBackground = source.FBackground;
    FForeground = source.FForeground;
    FStyle = source.FStyle;
    if (changed)
        NotifyChange();
}

TTextCustomHighlighter::TTextCustomHighlighter() : FChangeChain(this)
{
    for (int c : {32, 33, 34, 39, 40, 41, 42, 43, 44, 45, 46, 47, 58, 59, 61, 63, 91, 92, 93, 94, 123, 124, 125})
        FWordBreakChars.set(static_cast<size_t>(c));
}

TTextCustomHighlighter::~TTextCustomHighlighter()
{
    FreeAttributes();
}

TTextTokenAttr* TTextCustomHighlighter::AttributeAt(int index) const
{
    if (index < 0 || index >= AttributeCount())
        return nullptr;
    auto it = FAttributes.begin();
    std::advance(it, index);
    return it->second.get();
}

TCharSet TTextCustomHighlighter::IdentifierChars() const
{
    TCharSet chars;
    for (size_t c = 33; c <= 255; ++c)
        chars.set(c);
    return chars;
}

bool TTextCustomHighlighter::MatchesFileName(const QString& fileName) const
{
    if (FDefaultFilter.isEmpty())
        return false;
    QString filter = FDefaultFilter.trimmed().toLower();
    const int bar = static_cast<int>(filter.indexOf(QLatin1Char('|')));
    if (bar >= 0)
        filter = filter.mid(bar + 1);
    if (!filter.endsWith(QLatin1Char(';')))
        filter += QLatin1Char(';');
    const QFileInfo info(fileName);
    const QString suffix = info.suffix().isEmpty() && !fileName.endsWith(QLatin1Char('.'))
        ? QString()
        : (QLatin1Char('.') + info.suffix()).trimmed().toLower();
    if (filter.isEmpty() || suffix.isEmpty())
        return false;
    return filter.contains(QLatin1Char('*') + suffix + QLatin1Char(';'));
}

void TTextCustomHighlighter::AddAttribute(std::unique_ptr<TTextTokenAttr> attribute)
{
    const QString name = attribute->Name();
    if (FAttributes.count(name))
        throw ETextEditError(QStringLiteral("String list does not allow duplicates"));
    attribute->OnChange = [this](TTextTokenAttr* sender) { DefHighlightChange(sender); };
    FAttributes.emplace(name, std::move(attribute));
}

void TTextCustomHighlighter::FreeAttributes()
{
    FAttributes.clear();
}

void TTextCustomHighlighter::DefHighlightChange(void* sender)
{
    if (FLoading)
        return;
    if (FUpdateCount > 0) {
        FUpdateChange = true;
        return;
    }
    (void)sender;
    FChangeChain.FireAll();
}

void TTextCustomHighlighter::BeginUpdate()
{
    ++FUpdateCount;
}

void TTextCustomHighlighter::EndUpdate()
{
    if (FUpdateCount <= 0)
        return;
    if (--FUpdateCount == 0 && FUpdateChange) {
        FUpdateChange = false;
        DefHighlightChange(this);
    }
}

void TTextCustomHighlighter::Loaded()
{
    FLoading = false;
    DefHighlightChange(this);
}

void TTextCustomHighlighter::SetEnabled(bool value)
{
    if (FEnabled == value)
        return;
    FEnabled = value;
    DefHighlightChange(this);
}

void TTextCustomHighlighter::SkipToEndOfLine()
{
    while (!AtEndOfLine())
        NextToken();
}

void TTextCustomHighlighter::Assign(const TTextCustomHighlighter& source)
{
    if (&source == this)
        return;
    for (auto& [name, attribute] : FAttributes) {
        auto it = source.FAttributes.find(name);
        if (it != source.FAttributes.end())
            attribute->Assign(*it->second);
    }
    if (typeid(source) == typeid(*this))
        SetSampleText(source.SampleText());
    FWordBreakChars = source.FWordBreakChars;
    FDefaultFilter = source.FDefaultFilter;
    SetEnabled(source.FEnabled);
}

bool TTextCustomHighlighter::ReadFromRegistry(const QString& key)
{
    QSettings settings;
    if (!settings.childGroups().contains(key))
        return false;
    settings.beginGroup(key);
    bool result = true;
    for (auto& [name, attribute] : FAttributes) {
        if (!settings.childGroups().contains(name)) {
            result = false;
            continue;
        }
        settings.beginGroup(name);
        if (settings.contains(QStringLiteral("Background")))
            attribute->SetBackground(settings.value(QStringLiteral("Background")).toUInt());
        if (settings.contains(QStringLiteral("Foreground")))
            attribute->SetForeground(settings.value(QStringLiteral("Foreground")).toUInt());
        if (settings.contains(QStringLiteral("Style")))
            attribute->SetStyleBits(settings.value(QStringLiteral("Style")).toInt());
        settings.endGroup();
    }
    settings.endGroup();
    return result;
}

bool TTextCustomHighlighter::WriteToRegistry(const QString& key)
{
    QSettings settings;
    settings.beginGroup(key);
    for (const auto& [name, attribute] : FAttributes) {
        settings.beginGroup(name);
        settings.setValue(QStringLiteral("Background"), attribute->Background());
        settings.setValue(QStringLiteral("Foreground"), attribute->Foreground());
        settings.setValue(QStringLiteral("Style"), attribute->StyleBits());
        settings.endGroup();
    }
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool TTextCustomHighlighter::ReadFromIni(const QString& fileName)
{
    const TIniFile ini(fileName);
    bool result = true;
    for (auto& [name, attribute] : FAttributes) {
        if (!ini.SectionExists(name)) {
            result = false;
            continue;
        }
        attribute->SetBackground(static_cast<TColor>(
            ini.ReadInteger(name, QStringLiteral("Background"), static_cast<int>(attribute->Background()))));
        attribute->SetForeground(static_cast<TColor>(
            ini.ReadInteger(name, QStringLiteral("Foreground"), static_cast<int>(attribute->Foreground()))));
        attribute->SetStyleBits(ini.ReadInteger(name, QStringLiteral("Style"), attribute->StyleBits()));
    }
    return result;
}

bool TTextCustomHighlighter::WriteToIni(const QString& fileName)
{
    TIniFile ini(fileName);
    bool result = true;
    for (const auto& [name, attribute] : FAttributes) {
        result = ini.WriteInteger(name, QStringLiteral("Background"), static_cast<int>(attribute->Background()))
            && result;
        result = ini.WriteInteger(name, QStringLiteral("Foreground"), static_cast<int>(attribute->Foreground()))
            && result;
        result = ini.WriteInteger(name, QStringLiteral("Style"), attribute->StyleBits()) && result;
    }
    return result;
}

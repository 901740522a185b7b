#pragma once

// TPcreRegEx: a regular-expression component over PCRE2. The pattern and the
// subject are texts; positions are 1-based indexes into the subject text.

#include <QtCore/QByteArray>
#include <QtCore/QFlags>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <functional>
#include <stdexcept>

struct pcre2_real_code_8;

// Raised by Compile (and so by Match) with the component's message.
class EPcreError : public std::runtime_error {
public:
    explicit EPcreError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

enum TPcreRegExOption {
    preCaseLess = 0x01,
    preMultiLine = 0x02,
    preSingleLine = 0x04,  // the point also matches line breaks
    preExtended = 0x08,
    preAnchored = 0x10,
    preUnGreedy = 0x20,
    preNoAutoCapture = 0x40,
};
Q_DECLARE_FLAGS(TPcreRegExOptions, TPcreRegExOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TPcreRegExOptions)

// The run state of a match.
enum TPcreMatchFlag {
    pmsNotBOL = 0x01,    // the subject's start is not the beginning of a line
    pmsNotEOL = 0x02,    // the subject's end is not the end of a line
    pmsNotEmpty = 0x04,  // an empty match does not count
};
Q_DECLARE_FLAGS(TPcreMatchState, TPcreMatchFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TPcreMatchState)

using TPcreRegExReplaceEvent = std::function<void(QString& replaceWith)>;

class TPcreRegEx : public QObject {
    Q_OBJECT
public:
    // The most groups a match reports besides the whole match.
    static constexpr int MaxGroups = 99;

    explicit TPcreRegEx(QObject* owner = nullptr);
    ~TPcreRegEx() override;

    // Published.
    TPcreRegExOptions Options() const { return FOptions; }
    void SetOptions(TPcreRegExOptions value);
    QString RegEx() const { return FRegEx; }
    void SetRegEx(const QString& value);
    QString Replacement() const { return FReplacement; }
    void SetReplacement(const QString& value) { FReplacement = value; }
    std::function<void()> OnMatch;         // after every successful match
    TPcreRegExReplaceEvent OnReplace;      // kept for the owner, not called

    // The text matched against. Setting it puts Start back to 1 and forgets
    // the groups of the last match.
    QString Subject() const { return FSubject; }
    void SetSubject(const QString& value);
    int SubjectLength() const { return static_cast<int>(FSubject.size()); }
    // 1-based: after a match, the position just after it (one further for an
    // empty match).
    int Start() const { return FStart; }

    TPcreMatchState State() const { return FState; }
    void SetState(TPcreMatchState value) { FState = value; }

    bool Compiled() const { return FCode != nullptr; }

    // Compiles RegEx. Raises EPcreError when RegEx is empty or does not compile.
    void Compile();
    // Matches RegEx (compiled first when needed) against the whole subject.
    // True on a match, which fires OnMatch.
    bool Match();

    // Groups of the last match: group 0 is the whole match. GroupCount is 0
    // after a failed match; it counts up to the last group that took part.
    int GroupCount() const { return static_cast<int>(FGroupCount); }
    // 1-based position of the group's first character and the position just
    // after its last; 0 and 0 for a group that took no part in the match.
    int GroupStart(int index) const;
    int GroupEnd(int index) const;
    QString Group(int index) const;

private:
    void DropCompiled();
    int CharIndexOfByte(qsizetype byteOffset) const;

    TPcreRegExOptions FOptions;
    QString FRegEx;
    QString FReplacement;
    QString FSubject;
    QByteArray FSubjectUtf8;
    QList<int> FCharOfByte;  // subject: index of the character each UTF-8 byte belongs to
    int FStart = 1;
    TPcreMatchState FState = pmsNotEmpty;
    quint32 FCompileFlags = 0;
    const unsigned char* FTables = nullptr;
    pcre2_real_code_8* FCode = nullptr;
    QList<int> FOffsets;  // 1-based start, end pairs of the last match
    qsizetype FGroupCount = 0;
};

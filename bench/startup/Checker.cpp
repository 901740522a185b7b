// The answer checker as a process: the reference sentence and the typed answer
// are the first two lines of the standard input (either may be missing or
// empty); the accuracy and the four counts go to the standard output. With
// PIBO_BARE_CHECKER defined the same process reads and writes but checks
// nothing: the reference it is measured against.

#ifndef PIBO_BARE_CHECKER
#include "UCheckAnswer.h"
#endif

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QString>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return 2;
    const QString sentence = QString::fromUtf8(in.readLine()).trimmed();
    const QString answer = QString::fromUtf8(in.readLine()).trimmed();
#ifndef PIBO_BARE_CHECKER
    TSingleCheckItem item;
    item.Sentence = sentence;
    item.Answer = answer;
    CheckSentence(item);
    std::printf("%s %d %d %d %d\n", item.Accuracy.toUtf8().constData(), int(item.RightCount), int(item.WrongCount),
                int(item.MissCount), int(item.OverCount));
#else
    std::printf("%d %d\n", int(sentence.size()), int(answer.size()));
#endif
    return 0;
}

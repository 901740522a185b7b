#pragma once

// Types shared by many modules of both programs.

#include <QtCore/QList>
#include <QtCore/QString>

// One automatic sentence-cutting plan (a row of table AudioCutPlan). The
// member defaults are the built-in plan used when no plan is marked default.
struct TAudioCutSentencePara {
    qint32 NoiseValue = 2500;  // sample level below which sound counts as quiet
    qint32 MuteValue = 5;      // second quiet threshold of the cutter
    qint32 MinLength = 1200;   // minimum sentence length in ms
    qint32 BreakValue = 150;   // minimum silence in ms that ends a sentence
    QString PlanName;
};

// A growable array of 32-bit integers (play queues, shuffles).
using TIntAry = QList<qint32>;

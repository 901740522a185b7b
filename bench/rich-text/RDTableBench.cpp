// Table layout and painting against QTextDocument holding the same QTextTable.

#include <benchmark/benchmark.h>

#include <QtWidgets/QApplication>

#include "BenchSupport.h"
#include "RichTextSuite.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}

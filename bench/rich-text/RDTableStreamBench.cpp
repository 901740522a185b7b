// Table RDF saving and loading against QTextDocument toHtml/setHtml.

#include <benchmark/benchmark.h>

// The main of a test program that uses the rich-text suite (pibo_test with
// RICH_TEXT): the suite's hooks installed as the programs install them.

#include "RichTextSuite.h"
#include "TestSupport.h"

int main(int argc, char** argv)
{
    return RunTestMain(argc, argv, &InstallRichTextSuite);
}

// The main of a test program (pibo_test).

#include "TestSupport.h"

int main(int argc, char** argv)
{
    return RunTestMain(argc, argv);
}

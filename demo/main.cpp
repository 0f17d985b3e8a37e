#include "demo/SpriteDemo.h"

// The command line is accepted and not used. Failures to open the window end the program through
// the uncaught exception, whose text is printed on standard error.
int main(int /*argc*/, char* /*argv*/[])
{
    SpriteDemo demo;
    demo.init();
    demo.run();
    demo.cleanUp();
    return 0;
}

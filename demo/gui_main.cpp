#include "demo/GuiDemo.h"

// The GUI showcase; run it from the repository root, where Data/ and shaders/ are.
int main(int /*argc*/, char* /*argv*/[])
{
    GuiDemo demo;
    demo.init();
    demo.run();
    demo.cleanUp();
    return 0;
}

#include "app/AppCommandLine.h"
#include "app/Quendrel.h"

#include <cstdio>

// The process entry: --help and the like answered first, then one
// application object, run until it ends. The exit code is 0 whatever the
// event loop returned.
int main(int argc, char** argv) {
    if (const auto code = AppCommandLine::Handle(argc, argv, stdout, stderr)) return *code;
    {
        Quendrel app;
        app.Run(argc, argv);
    }
    return 0;
}

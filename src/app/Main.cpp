#include "app/Quendrel.h"

// The process entry: one application object, run until it ends. The exit
// code is 0 whatever the event loop returned.
int main(int argc, char** argv) {
    {
        Quendrel app;
        app.Run(argc, argv);
    }
    return 0;
}

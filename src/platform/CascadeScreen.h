#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeDims.h"
#include "platform/CascadeRect.h"

// A handle on the application's composed screen. Code that draws straight
// into the screen image from a thread other than the UI thread locks it,
// draws into GetMemory(), unlocks it and asks for the changed region to be
// shown with SwapBuffers. Without a running application GetDims gives the
// default screen size and GetMemory null.
class CascadeScreen {
public:
    CascadeDims GetDims() const;
    // The screen image; valid between LockScreen and UnlockScreen.
    CascadeBitmap* GetMemory() const;
    void LockScreen();
    void UnlockScreen();
    // Presents `region` of the screen image as it is. Any thread.
    void SwapBuffers(const CascadeRect& region);
};

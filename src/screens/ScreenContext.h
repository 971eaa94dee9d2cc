#pragma once

#include "app/base/AppServices.h"
#include "platform/CascadeString.h"
#include "player/PlayerView.h"
#include "server/SlimCLIListener.h"
#include "server/SlimConnection.h"

// What the application hands a screen when it attaches it: the server (its
// CLI as the SlimConnection interface and the change listener), the narrow
// view of the player, and the application's own services. Any of them may
// be null in a test that does not need it; none is owned by the screen, and
// each outlives the screens.
struct ScreenContext {
    AppServices* app = nullptr;
    SlimConnection* server = nullptr;
    SlimCLIListener* listener = nullptr;
    PlayerView* player = nullptr;
    CascadeString serverAddress;  // as the server line shows it
};

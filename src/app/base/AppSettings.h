#pragma once

#include "platform/CascadeColor.h"
#include "platform/CascadeString.h"

#include <cstdint>

// Process-wide settings. Start-up writes them on the main thread before any
// other thread exists; afterwards every thread only reads them.

extern CascadeString g_appPath;        // application directory, ends with "/"
extern CascadeString g_dataPath;       // where Favorites.xml is written, ends with "/" ("": g_appPath)
extern CascadeString g_logFile;        // the "-debug" log file ("": g_appPath + "debug.txt")
extern CascadeString g_serverIP;       // server address: a bare argument or discovery
extern CascadeString g_portWeb;        // "-SlimWebPort=", default "9000"
extern CascadeString g_portCLI;        // "-SlimCLIPort=", default "9090"
extern CascadeString g_portProto;      // "-SlimProtoPort=", default "3483"
extern CascadeString g_wormholeBase;   // the application's wormhole base address
extern CascadeColor g_fgColor;         // text colour; "-LowContrast" dims it

extern uint32_t g_useLargeFont;   // "-UseLargeFont"
extern uint32_t g_wrapAround;     // "-EnableWrapAround": list navigation wraps
extern uint32_t g_largeCoverArt;  // "-LargeCoverArt"
extern uint32_t g_ssTransport;    // "-SSTransport": transport keys work in the screen saver
extern uint32_t g_addWaveHeader;  // cleared by "-DisableWAVHeaders"
extern uint32_t g_smoothScroll;   // "-SmoothScroll": every display frame drawn

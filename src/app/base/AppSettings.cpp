#include "app/base/AppSettings.h"

CascadeString g_appPath;
CascadeString g_dataPath;
CascadeString g_logFile;
CascadeString g_serverIP;
CascadeString g_portWeb("9000");
CascadeString g_portCLI("9090");
CascadeString g_portProto("3483");
CascadeString g_wormholeBase("wormhole://127.0.0.1/net.quendrel.Quendrel");
CascadeColor g_fgColor(0xFFFFFFFFu);

uint32_t g_useLargeFont = 0;
uint32_t g_wrapAround = 0;
uint32_t g_largeCoverArt = 0;
uint32_t g_ssTransport = 0;
uint32_t g_addWaveHeader = 1;
uint32_t g_smoothScroll = 0;

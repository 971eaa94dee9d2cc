#include "server/SongInfo.h"

#include "server/CliText.h"

bool SongInfo::IsStreamAddress(std::string_view text) {
    return CliText::StartsWithNoCase(text, "http://") || CliText::StartsWithNoCase(text, "mms://") ||
           CliText::StartsWithNoCase(text, "radioio://");
}

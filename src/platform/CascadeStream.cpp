#include "platform/CascadeStream.h"

#include <cstdio>

bool CascadeStream::GetLine(CascadeString& line) {
    line = "";
    std::string& text = line.Std();
    bool readAny = false;
    char c = 0;
    while (ReadBytes(&c, 1) == 1) {
        readAny = true;
        if (c == '\n') break;
        text += c;
        if (text.size() >= kMaxLineLength) {
            std::fprintf(stderr, "stream: line longer than %zu bytes, returned in pieces\n", kMaxLineLength);
            return true;
        }
    }
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return readAny;
}

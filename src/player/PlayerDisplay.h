#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeColor.h"

#include <cstddef>
#include <cstdint>
#include <optional>

class MemoryBitmap;

// The server-drawn player display: a monochrome 320 x 32 picture sent in
// "grfe" frames, column by column from the left, 4 bytes a column, byte k
// holding rows 8k..8k+7 with the most significant bit on top; plus the
// remote keys the display turns into the server's IR codes and the "audg"
// volume. Pure functions: no state, no lock, any thread.
namespace PlayerDisplay {

constexpr int kColumns = 320;
constexpr int kRows = 32;
constexpr int kBytesPerColumn = 4;
constexpr std::size_t kFrameBytes = 1280;
// The display bitmap is one row taller than the picture: the fifth guide
// line sits below it.
constexpr int kBitmapHeight = 33;
// Frames that need no animation are drawn at most this often unless every
// frame is to be drawn.
constexpr uint64_t kThinningMs = 200;
// An error message replaces the display for this long.
constexpr uint64_t kMessageMs = 5000;

// True while a message set at `setAt` (uptime ms) still shows at `now`.
constexpr bool IsMessageFresh(uint64_t setAt, uint64_t now) { return now >= setAt && now - setAt <= kMessageMs; }

struct Colors {
    CascadeColor foreground;  // lit pixels
    CascadeColor background;
    CascadeColor lines;  // the guide lines at rows 0, 8, 16, 24 and 32
};

// Paints `length` bytes of a frame into `bitmap` (its own size): background,
// the five guide lines whatever their colour, then every run of lit pixels of
// a column as one vertical line. Bytes past a whole frame are ignored; a
// partial last column is ignored.
void CreateBitmapFromBuffer(CascadeBitmap& bitmap, const uint8_t* buffer, std::size_t length, const Colors& colors);

// Draws a whole frame onto an open screen surface: background, the guide
// lines unless their colour is opaque black, and every lit pixel.
void DrawFrame(MemoryBitmap& surface, const uint8_t* frame, const Colors& colors);

// Whether a frame is drawn on arrival: always with smooth scrolling, always
// for a transition other than "c", else only when the last direct draw is at
// least kThinningMs old.
bool DrawsNow(char transition, uint64_t now, uint64_t lastDraw, bool smoothScroll);

// The audio player volume of an "audg" payload: the average of bytes 3 and 7
// (128 is full), scaled to 0..65535. nullopt when the payload is shorter than
// 8 bytes.
std::optional<unsigned short> VolumeFromAudg(const uint8_t* data, std::size_t length);

// A remote key the display forwards: its IR code and the log line ("" for
// none).
struct KeyCommand {
    unsigned long ir;
    const char* logLine;
};
// The IR code of a key other than the arrows and Play/Pause and Stop, which
// the player decides itself; nullopt for keys that go on to the application.
std::optional<KeyCommand> CommandForKey(unsigned long key);
// The IR code of an arrow key; nullopt for other keys.
std::optional<KeyCommand> CommandForArrow(unsigned long key);

}  // namespace PlayerDisplay

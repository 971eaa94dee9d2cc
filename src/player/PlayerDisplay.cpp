#include "player/PlayerDisplay.h"

#include "platform/CascadeKeys.h"
#include "player/IRCode.h"
#include "ui/MemoryBitmap.h"

#include <algorithm>
#include <array>

namespace PlayerDisplay {

namespace {

constexpr int kLineRows[] = {0, 8, 16, 24, 32};

struct KeyEntry {
    unsigned long key;
    KeyCommand command;
};

constexpr std::array<KeyEntry, 17> kKeys = {{
    {0x10016, {IRCode::kPlay, "Player - Play\n"}},
    {0x1001B, {IRCode::kNext, "Player - Next\n"}},
    {0x1001C, {IRCode::kPrevious, "Player - Previous\n"}},
    {0x1001D, {IRCode::kZoomIn, "Player - Zoom In\n"}},
    {0x1001E, {IRCode::kZoomOut, "Player - Zoom Out\n"}},
    {0x1001F, {IRCode::kRotate, "Player - Rotate\n"}},
    {0x10027, {IRCode::kDigits2To9[0], ""}},
    {0x10028, {IRCode::kDigits2To9[1], ""}},
    {0x10029, {IRCode::kDigits2To9[2], ""}},
    {0x1002A, {IRCode::kDigits2To9[3], ""}},
    {0x1002B, {IRCode::kDigits2To9[4], ""}},
    {0x1002C, {IRCode::kDigits2To9[5], ""}},
    {0x1002D, {IRCode::kDigits2To9[6], ""}},
    {0x1002E, {IRCode::kDigits2To9[7], ""}},
    {CascadeKeys::kVolumeUp, {IRCode::kVolumeUp, "Player - Volume Up\n"}},
    {CascadeKeys::kVolumeDown, {IRCode::kVolumeDown, "Player - Volume Down\n"}},
    {CascadeKeys::kMute, {IRCode::kMuting, "Player - Mute\n"}},
}};

constexpr std::array<KeyEntry, 4> kArrows = {{
    {CascadeKeys::kUp, {IRCode::kNorth, "Player - North\n"}},
    {CascadeKeys::kDown, {IRCode::kSouth, "Player - South\n"}},
    {CascadeKeys::kLeft, {IRCode::kWest, "Player - West\n"}},
    {CascadeKeys::kRight, {IRCode::kEast, "Player - East\n"}},
}};

template <std::size_t N>
std::optional<KeyCommand> Find(const std::array<KeyEntry, N>& table, unsigned long key) {
    for (const KeyEntry& entry : table)
        if (entry.key == key) return entry.command;
    return std::nullopt;
}

bool Lit(const uint8_t* column, int row) { return (column[row / 8] >> (7 - row % 8)) & 1; }

}  // namespace

void CreateBitmapFromBuffer(CascadeBitmap& bitmap, const uint8_t* buffer, std::size_t length, const Colors& colors) {
    const CascadeDims dims = bitmap.GetDims();
    bitmap.FillRect({0, 0, dims.w, dims.h}, colors.background);
    for (int y : kLineRows) bitmap.DrawLine({0, y}, {kColumns, y}, colors.lines);
    if (!buffer) return;
    const std::size_t usable = std::min(length, kFrameBytes);
    for (std::size_t offset = 0; offset + kBytesPerColumn <= usable; offset += kBytesPerColumn) {
        const int x = int(offset / kBytesPerColumn);
        const uint8_t* column = buffer + offset;
        for (int row = 0; row < kRows;) {
            if (!Lit(column, row)) {
                ++row;
                continue;
            }
            const int first = row;
            while (row < kRows && Lit(column, row)) ++row;
            bitmap.DrawLine({x, first}, {x, row - 1}, colors.foreground);
        }
    }
}

void DrawFrame(MemoryBitmap& surface, const uint8_t* frame, const Colors& colors) {
    surface.Clear(colors.background);
    if (!(colors.lines == CascadeColor(0x000000FFu)))
        for (int y : kLineRows) surface.DrawLine({0, y}, {kColumns, y}, colors.lines);
    const uint32_t lit = MemoryBitmap::GetColorValue(colors.foreground);
    for (int x = 0; x < kColumns; ++x) {
        const uint8_t* column = frame + std::size_t(x) * kBytesPerColumn;
        if ((column[0] | column[1] | column[2] | column[3]) == 0) continue;
        for (int row = 0; row < kRows; ++row)
            if (Lit(column, row)) surface.SetPixel({x, row}, lit);
    }
}

bool DrawsNow(char transition, uint64_t now, uint64_t lastDraw, bool smoothScroll) {
    if (smoothScroll || transition != 'c') return true;
    return now < lastDraw || now - lastDraw >= kThinningMs;
}

std::optional<unsigned short> VolumeFromAudg(const uint8_t* data, std::size_t length) {
    if (!data || length < 8) return std::nullopt;
    const int average = (int(data[3]) + int(data[7])) / 2;
    const double volume = double(average) / 128.0 * 65535.0;
    return static_cast<unsigned short>(std::clamp(volume, 0.0, 65535.0));
}

std::optional<KeyCommand> CommandForKey(unsigned long key) { return Find(kKeys, key); }

std::optional<KeyCommand> CommandForArrow(unsigned long key) { return Find(kArrows, key); }

}  // namespace PlayerDisplay

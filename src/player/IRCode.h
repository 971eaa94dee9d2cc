#pragma once

// The IR codes this player sends the server: the codes of the server's
// default remote for the keys it forwards, and the two power codes it sends
// on connecting and on saying goodbye. The one table of them.
namespace IRCode {

constexpr unsigned long kPlay = 0x768910EF;
constexpr unsigned long kPause = 0x768920DF;
constexpr unsigned long kNext = 0x7689A05F;
constexpr unsigned long kPrevious = 0x7689C03F;
constexpr unsigned long kZoomIn = 0x7689F807;   // the server's text size toggle
constexpr unsigned long kZoomOut = 0x76897887;  // the server's now-playing display toggle
constexpr unsigned long kRotate = 0x7689609F;   // the server's "add"
constexpr unsigned long kNorth = 0x7689E01F;
constexpr unsigned long kSouth = 0x7689B04F;
constexpr unsigned long kWest = 0x7689906F;
constexpr unsigned long kEast = 0x7689D02F;
constexpr unsigned long kVolumeUp = 0x7689807F;
constexpr unsigned long kVolumeDown = 0x768900FF;
constexpr unsigned long kMuting = 0x7689C43B;
// Digits 2 to 9, for keys 0x10027 to 0x1002E.
constexpr unsigned long kDigits2To9[8] = {0x768908F7, 0x76898877, 0x768948B7, 0x7689C837,
                                          0x768928D7, 0x7689A857, 0x76896897, 0x7689E817};
constexpr unsigned long kPowerOn = 0xF701;
constexpr unsigned long kPowerOff = 0xF700;

}  // namespace IRCode

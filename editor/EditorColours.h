// The editor's palette.
#pragma once

#include "toolkit/Geometry.h"

constexpr toolkit::Colour kPanelGrey{128, 128, 128};  // panel outer fill, the same grey as the background
constexpr toolkit::Colour kBorderGrey{192, 192, 192}; // panel border and title tab border
constexpr toolkit::Colour kSkyBlue{75, 183, 228};     // panel interior; unselected switch text
constexpr toolkit::Colour kTeal{22, 112, 150};        // titles; behind captions, read-outs, switches, slider
constexpr toolkit::Colour kGold{228, 189, 31};        // caption and read-out text, selected entry, slider bar

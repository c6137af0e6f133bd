// The screen's share of the terminal record: the buffer, and where and how
// the view shows it. Nothing here knows the serial line.
#pragma once

#include <cstdint>
#include <string>

#include "terminal/screen_buffer.h"

namespace tavirel {

// The description of the terminal font that the settings dialog edits.
struct LogFont {
    std::int32_t height = 12;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0;  // 0 default, 400 normal, 700 bold
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 255;  // OEM
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0x31;  // fixed pitch, modern
    std::string faceName = "FixedSys";
};

// The view in pixels: the cell, the client area, the scroll ranges and
// positions, the caret, and the font and colour it draws with.
struct ViewMetrics {
    std::int32_t charWidth = 0;
    std::int32_t lineHeight = 0;
    std::int32_t clientWidth = 0;
    std::int32_t clientHeight = 0;
    std::int32_t hScrollMax = 0;
    std::int32_t vScrollMax = 0;
    std::int32_t hScrollPos = 0;
    std::int32_t vScrollPos = 0;
    std::uint16_t caretShown = 0;
    // The font made from logFont is a toolkit object; the view that draws the
    // screen owns it.
    LogFont logFont;
    std::uint32_t textColour = 0;  // 0x00BBGGRR
};

// What the screen logic works on.
struct ScreenState : ScreenBuffer, ViewMetrics {};

}  // namespace tavirel

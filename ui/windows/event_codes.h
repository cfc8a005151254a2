#pragma once
// Event codes returned by the wait. Besides these codes the wait returns the number of any system
// message that produced no event, so callers compare with the codes they want.
#include <cstdint>

constexpr int32_t EVENT_NONE = 0;
constexpr int32_t EVENT_MOVE_WINDOW = 3;
constexpr int32_t EVENT_SIZE_WINDOW = 5;
constexpr int32_t EVENT_REPAINT = 15;
constexpr int32_t EVENT_CLOSE_WINDOW = 16;
constexpr int32_t EVENT_GADGET = 13100;
constexpr int32_t EVENT_ACTIVATE = 13104;
constexpr int32_t EVENT_MINIMIZE = 13107;
constexpr int32_t EVENT_MAXIMIZE = 13108;
constexpr int32_t EVENT_RESTORE = 13109;
constexpr int32_t EVENT_RIGHT_CLICK = 13111;
constexpr int32_t EVENT_LEFT_CLICK = 13112;
constexpr int32_t EVENT_LEFT_DOUBLE_CLICK = 13113;
constexpr int32_t EVENT_DEACTIVATE = 13114;

// Codes from this one up are never collapsed with an identical neighbour.
constexpr int32_t EVENT_FIRST_UNCOLLAPSED = 65537;

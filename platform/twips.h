// SPDX-License-Identifier: GPL-3.0-or-later
// Window measures are given in twips (1/1440 inch); the screen is taken as 96 dpi,
// so one pixel is 15 twips. Every conversion goes through these two functions.
#pragma once

constexpr int TwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}
constexpr int PixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}

#pragma once

// Where "SimSun" and the "SimSum" spelling the window and the summary sheet ask for are not
// installed, a sans face stands in for them (DejaVu Sans on Debian, Segoe UI or Arial on
// Windows), so Latin text reads cleanly and "√" and "×" stay distinct at print size; glyphs the
// face lacks fall back to a CJK face. Call once, before anything is drawn; calling again changes
// nothing.
void installFontSubstitutes();

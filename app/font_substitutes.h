#pragma once

// Where "SimSun" and the "SimSum" spelling the window and the summary sheet ask for are not
// installed, a face with the same metrics and CJK coverage stands in for them, so the sheet's
// fixed coordinates leave room for every text. Call once, before anything is drawn.
void installFontSubstitutes();

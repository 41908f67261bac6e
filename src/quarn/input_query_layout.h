#pragma once

// Where the one-line input dialog puts its controls, in pixels, from the
// average character size of its font: cx is the width of "A".."Z" "a".."z"
// divided by 52, cy that text's height. Dialog units are converted with
// MulDiv (a * b / c, rounded to the nearest integer).

namespace quarn {

struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Bounds&) const = default;
};

struct InputQueryLayout {
    int clientWidth = 0;
    int clientHeight = 0;
    int promptMaxWidth = 0;
    Bounds prompt;
    Bounds edit;
    Bounds ok;
    Bounds cancel;
};

// MulDiv as Windows rounds it (halves away from zero).
int MulDivRounded(int number, int numerator, int denominator);

// promptWidth and promptHeight are the wrapped prompt's measured size;
// editHeight the edit control's height for the font.
InputQueryLayout LayoutInputQuery(int cx, int cy, int promptWidth, int promptHeight,
                                  int editHeight);

}  // namespace quarn

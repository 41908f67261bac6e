#include "quarn/input_query_layout.h"

#include <cstdint>

namespace quarn {

int MulDivRounded(int number, int numerator, int denominator) {
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t half = denominator / 2;
    const std::int64_t rounded = (product >= 0) == (denominator >= 0)
                                     ? (product + half) / denominator
                                     : (product - half) / denominator;
    return static_cast<int>(rounded);
}

InputQueryLayout LayoutInputQuery(int cx, int cy, int promptWidth, int promptHeight,
                                  int editHeight) {
    InputQueryLayout layout;
    layout.clientWidth = MulDivRounded(180, cx, 4);
    layout.promptMaxWidth = MulDivRounded(164, cx, 4);
    layout.prompt = {MulDivRounded(8, cx, 4), MulDivRounded(8, cy, 8), promptWidth, promptHeight};
    layout.edit = {layout.prompt.left, layout.prompt.top + promptHeight + 5,
                   MulDivRounded(164, cx, 4), editHeight};
    const int buttonTop = layout.edit.top + editHeight + 15;
    const int buttonWidth = MulDivRounded(50, cx, 4);
    const int buttonHeight = MulDivRounded(14, cy, 8);
    layout.ok = {MulDivRounded(38, cx, 4), buttonTop, buttonWidth, buttonHeight};
    layout.cancel = {MulDivRounded(92, cx, 4), buttonTop, buttonWidth, buttonHeight};
    layout.clientHeight = layout.cancel.top + layout.cancel.height + 13;
    return layout;
}

}  // namespace quarn

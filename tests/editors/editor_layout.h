#pragma once

#include "platform/gui/geometry.h"

namespace editors {

// Where both editors put the controls they share, on the screen: the editor's own layout moved
// down by the navigation bar.
inline constexpr gui::Point kSubjectField{100, 26 + 9};
inline constexpr gui::Point kDeleteButton{40, 310};  // 削除 on the editor's menu bar

}  // namespace editors

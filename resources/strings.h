#pragma once

#include <string_view>

namespace resources {

// The string resource of the given id: the window title, the main class name and the texts of
// the menu-bar buttons. An unknown id gives an empty view.
std::u16string_view String(int id);

}  // namespace resources

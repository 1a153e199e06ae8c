#include "views/view_font.h"

namespace views {

gui::Font CreateViewFont(int pixelHeight, const settings::Settings& settings) {
    return gui::Font(
        gui::FontRequest{u"MS ゴシック", pixelHeight, settings::IsOn(settings.ClearType)});
}

int ListTextHeight(const settings::Settings& settings) {
    return settings::IsOn(settings.Small) ? kSmallListTextHeight : kListTextHeight;
}

}  // namespace views

#include "controls/find_dialog.h"

#include <algorithm>
#include <utility>

#include "platform/gui/dialog.h"
#include "platform/gui/dialog_handler.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/modal_dialog.h"
#include "platform/gui/surface.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"
#include "schedule/item_search.h"

namespace controls {
namespace {

using views::FoundListNote;

// The list's margin from the dialog's edges, and its gap under the text field.
constexpr int kFoundListMargin = 2;
constexpr int kFoundListGap = 5;

class FindHandler final : public gui::DialogHandler {
public:
    explicit FindHandler(const FindContext& context) : context_(context) {}

    bool OnInitDialog(gui::Dialog& dialog) override {
        gui::InitFullScreenDialog(dialog);
        if (auto* field = dialog.ItemAs<gui::EditBox>(resources::kFindText)) {
            field->LimitText(static_cast<int>(schedule::kMaxSearchTextUnits));
        }
        list_ = dialog.Screen().CreateChild<FoundListWindow>(
            dialog, ListRect(dialog), context_,
            [this, &dialog](size_t index) { Choose(dialog, index); });
        LayOut(dialog);
        return true;
    }

    bool OnCommand(gui::Dialog& dialog, uint16_t command) override {
        switch (command) {
            case resources::kFindRun:
                Find(dialog);
                return true;
            case resources::kCommandOk:
            case resources::kCommandCancel:
                dialog.End(resources::kCommandCancel);
                return true;
            default:
                return false;
        }
    }

    void OnSettingChange(gui::Dialog& dialog) override { LayOut(dialog); }

    const std::optional<platform::Date>& ChosenDay() const { return chosenDay_; }

private:
    // A control's place within the dialog.
    static gui::Rect PlaceOf(const gui::Dialog& dialog, const gui::Control& control) {
        const gui::Rect outer = dialog.ScreenRect();
        return control.ScreenRect().Offset(-outer.left, -outer.top);
    }

    // The text field as wide as the dialog leaves it beside 検索, which keeps to the right edge
    // as far from it as the field is from the left; the list under them.
    void LayOut(gui::Dialog& dialog) {
        gui::Control* field = dialog.Item(resources::kFindText);
        gui::Control* button = dialog.Item(resources::kFindRun);
        if (field != nullptr && button != nullptr) {
            const gui::Rect fieldPlace = PlaceOf(dialog, *field);
            const gui::Rect buttonPlace = PlaceOf(dialog, *button);
            const int gap = buttonPlace.left - fieldPlace.right;
            const int right = dialog.ClientRect().right - fieldPlace.left;
            const int buttonLeft = right - buttonPlace.Width();
            button->Move(buttonLeft, buttonPlace.top, buttonPlace.Width(), buttonPlace.Height(),
                         true);
            field->Move(fieldPlace.left, fieldPlace.top,
                        std::max(0, buttonLeft - gap - fieldPlace.left), fieldPlace.Height(), true);
        }
        if (list_ != nullptr) {
            list_->Fit(ListRect(dialog));
        }
    }

    // Under the text field, to the dialog's edges.
    static gui::Rect ListRect(const gui::Dialog& dialog) {
        const gui::Rect client = dialog.ClientRect();
        int top = kFoundListMargin;
        if (const gui::Control* field = dialog.Item(resources::kFindText)) {
            top = field->ScreenRect().bottom - dialog.ScreenRect().top + kFoundListGap;
        }
        return {kFoundListMargin, top, client.right - kFoundListMargin,
                std::max(top, client.bottom - kFoundListMargin)};
    }

    void Find(gui::Dialog& dialog) {
        const schedule::SearchText read =
            schedule::ReadSearchText(dialog.ItemText(resources::kFindText));
        if (read.problem != schedule::SearchText::Problem::None) {
            list_->ShowFound({}, read.problem == schedule::SearchText::Problem::TooLong
                                     ? FoundListNote::TooLong
                                     : FoundListNote::Hint);
            return;
        }
        auto found =
            schedule::FindItems(context_.store, read.text, context_.todayDate, kMostItemsListed);
        if (!found) {
            list_->ShowFound({}, FoundListNote::Failed);
            return;
        }
        list_->ShowFound(std::move(found).value(), FoundListNote::NothingFound);
    }

    void Choose(gui::Dialog& dialog, size_t index) {
        const store::FoundItems& found = list_->Found();
        if (index >= found.items.size() || dialog.IsEnded()) {
            return;
        }
        chosenDay_ = schedule::DayOfFoundItem(found.items[index]);
        dialog.End(resources::kCommandOk);
    }

    const FindContext& context_;
    FoundListWindow* list_ = nullptr;
    std::optional<platform::Date> chosenDay_;
};

}  // namespace

FoundListWindow::FoundListWindow(gui::DeviceScreen& screen, const FindContext& context,
                                 std::function<void(size_t)> chosen)
    : gui::Window(screen, u"FoundList", u"", gui::kWhite),
      context_(context),
      chosen_(std::move(chosen)) {}

void FoundListWindow::OnCreate() {
    bar_ = Screen().CreateChild<gui::ScrollBar>(*this, gui::Rect{}, uint16_t{0});
    bar_->SetScrolledHandler([this](int value) {
        firstRow_ = static_cast<size_t>(std::max(0, value));
        InvalidateAll(true);
    });
    Show();
    Fit(ScreenRect().Offset(-Parent()->ScreenRect().left, -Parent()->ScreenRect().top));
}

int FoundListWindow::TextRight() const {
    return ClientRect().right - 1 - kScrollBarWidth - views::kFoundTextGap;
}

size_t FoundListWindow::VisibleRows() const {
    return views::FoundListVisibleRows(ClientRect().Height());
}

void FoundListWindow::Fit(const gui::Rect& rect) {
    Move(rect.left, rect.top, rect.Width(), rect.Height(), true);
    const gui::Rect client = ClientRect();
    // Inside the frame, at the right edge.
    bar_->Move(client.right - 1 - kScrollBarWidth, 1, kScrollBarWidth,
               std::max(0, client.Height() - 2), false);
    UpdateBar();
    InvalidateAll(true);
}

void FoundListWindow::UpdateBar() {
    const size_t visible = VisibleRows();
    const size_t last = rows_.size() > visible ? rows_.size() - visible : 0;
    firstRow_ = std::min(firstRow_, last);
    bar_->SetRange(static_cast<int>(last), static_cast<int>(std::max<size_t>(1, visible)), 1);
    bar_->SetValue(static_cast<int>(firstRow_));
}

void FoundListWindow::ShowFound(store::FoundItems found, views::FoundListNote note) {
    found_ = std::move(found);
    rows_ = views::FoundListRows(found_);
    note_ = note;
    firstRow_ = 0;
    pressedRow_.reset();
    UpdateBar();
    InvalidateAll(true);
}

void FoundListWindow::ScrollTo(size_t row) {
    firstRow_ = row;
    UpdateBar();
    InvalidateAll(true);
}

void FoundListWindow::OnPaint(gui::Surface& surface) {
    const gui::Rect client = ClientRect();
    const views::FoundListView view{found_,
                                    rows_,
                                    firstRow_,
                                    note_,
                                    context_.todayDate,
                                    context_.settings,
                                    context_.recurringIcon};
    views::DrawFoundList(surface, client.Width(), client.Height(), TextRight(), view);
}

void FoundListWindow::OnPenDown(gui::Point point) {
    pressedRow_.reset();
    if (point.x < TextRight()) {
        pressedRow_ =
            views::FoundListRowAt(point, ClientRect().Width(), ClientRect().Height(), firstRow_);
    }
}

void FoundListWindow::OnPenUp(gui::Point point) {
    const std::optional<size_t> pressed = std::exchange(pressedRow_, std::nullopt);
    if (!pressed || point.x >= TextRight() ||
        views::FoundListRowAt(point, ClientRect().Width(), ClientRect().Height(), firstRow_) !=
            pressed ||
        *pressed >= rows_.size() || rows_[*pressed].kind != views::FoundListRow::Kind::Item) {
        return;
    }
    if (chosen_) {
        chosen_(rows_[*pressed].item);
    }
}

std::optional<platform::Date> RunFindDialog(gui::DeviceScreen& screen, gui::Window& owner,
                                            const FindContext& context) {
    FindHandler handler(context);
    const int result = gui::RunModalDialog(
        screen, owner, resources::DialogTemplateOf(resources::kFindDialog), handler);
    if (result != resources::kCommandOk) {
        return std::nullopt;
    }
    return handler.ChosenDay();
}

}  // namespace controls

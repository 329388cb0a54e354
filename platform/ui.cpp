// Modal dialogs through the presenter the host registered.
#include "platform/ui.h"

#include <exception>
#include <utility>

namespace {

DialogPresenter& Presenter() {
    static DialogPresenter presenter;
    return presenter;
}

}  // namespace

DialogPresenter SetDialogPresenter(DialogPresenter presenter) {
    return std::exchange(Presenter(), std::move(presenter));
}

int ShowModalDialog(const DialogTemplate& dialog) {
    if (!Presenter()) return IDOK;
    try {
        // A copy, so that a presenter replacing itself while shown stays alive.
        const DialogPresenter presenter = Presenter();
        return presenter(dialog);
    } catch (...) {
        // Nothing may escape into the control; a dialog that could not be shown
        // counts as cancelled.
        return IDCANCEL;
    }
}

// Modal dialogs: a dialog is a template handed to a presenter that the host
// registers. A process without one (no screen, as in tests and consoles)
// answers every dialog at once with IDOK.
#pragma once

#include <functional>
#include <string>
#include <vector>

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

struct DialogItem {
    enum class Kind { kText, kIcon, kButton };
    Kind kind = Kind::kText;
    std::string text;                         // UTF-8; for an icon, empty
    int id = 0;                               // control identifier; IDOK for the OK button
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

struct DialogTemplate {
    std::string title;
    int width = 0, height = 0;  // dialog units
    std::string fontName;
    int fontSize = 0;  // points
    std::vector<DialogItem> items;
};

// Returns the identifier of the button that closed the dialog.
using DialogPresenter = std::function<int(const DialogTemplate&)>;

// Replaces the presenter (an empty one removes it); returns the previous one.
DialogPresenter SetDialogPresenter(DialogPresenter presenter);
// Shows the dialog modally through the presenter; IDOK at once without one.
int ShowModalDialog(const DialogTemplate& dialog);

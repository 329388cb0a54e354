#include "platform/ui.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace {

DialogTemplate About() {
    DialogTemplate dialog;
    dialog.title = "About";
    dialog.width = 200;
    dialog.height = 80;
    dialog.fontName = "Sans";
    dialog.fontSize = 8;
    dialog.items.push_back({DialogItem::Kind::kText, "Version 1.0", 100, 10, 10, 120, 8});
    dialog.items.push_back({DialogItem::Kind::kButton, "OK", IDOK, 140, 60, 50, 14});
    return dialog;
}

// Each test starts without a presenter and leaves the process as it found it.
class ModalDialog : public ::testing::Test {
  protected:
    void SetUp() override { saved = SetDialogPresenter({}); }
    void TearDown() override { SetDialogPresenter(std::move(saved)); }

    DialogPresenter saved;
};

TEST_F(ModalDialog, WithoutPresenterAnswersOk) {
    EXPECT_EQ(ShowModalDialog(About()), IDOK);
}

TEST_F(ModalDialog, PresenterSeesTheTemplateAndGivesTheAnswer) {
    int calls = 0;
    DialogTemplate seen;
    SetDialogPresenter([&](const DialogTemplate& dialog) {
        ++calls;
        seen = dialog;
        return IDCANCEL;
    });
    EXPECT_EQ(ShowModalDialog(About()), IDCANCEL);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen.title, "About");
    EXPECT_EQ(seen.width, 200);
    EXPECT_EQ(seen.fontName, "Sans");
    ASSERT_EQ(seen.items.size(), 2u);
    EXPECT_EQ(seen.items[0].text, "Version 1.0");
    EXPECT_EQ(seen.items[1].kind, DialogItem::Kind::kButton);
    EXPECT_EQ(seen.items[1].id, IDOK);
}

TEST_F(ModalDialog, SettingReturnsThePreviousPresenterAndEmptyRemovesIt) {
    EXPECT_FALSE(SetDialogPresenter([](const DialogTemplate&) { return 7; }));
    DialogPresenter previous = SetDialogPresenter([](const DialogTemplate&) { return 9; });
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous(About()), 7);
    EXPECT_EQ(ShowModalDialog(About()), 9);

    DialogPresenter removed = SetDialogPresenter({});
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed(About()), 9);
    EXPECT_EQ(ShowModalDialog(About()), IDOK);
}

TEST_F(ModalDialog, PresenterMayReplaceItselfWhileShowing) {
    // State of the presenter read after it replaced itself (ASan: use after
    // free unless the running presenter is kept alive).
    const std::string answer(64, 'c');
    SetDialogPresenter([answer](const DialogTemplate&) {
        SetDialogPresenter({});
        return answer == std::string(64, 'c') ? IDCANCEL : IDOK;
    });
    EXPECT_EQ(ShowModalDialog(About()), IDCANCEL);
    EXPECT_EQ(ShowModalDialog(About()), IDOK);
}

TEST_F(ModalDialog, FailingPresenterCountsAsCancelled) {
    SetDialogPresenter([](const DialogTemplate&) -> int { throw std::runtime_error("no screen"); });
    EXPECT_EQ(ShowModalDialog(About()), IDCANCEL);
}

}  // namespace

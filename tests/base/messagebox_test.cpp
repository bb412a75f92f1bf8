#include "base/messagebox.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(MessageBox, HandsKindCaptionTextAndOwnerToThePresenter) {
    std::vector<TMessage> shown;
    TMessagePresenter previous =
        SetMessagePresenter([&](const TMessage& message) { shown.push_back(message); });
    int owner = 0;
    ShowErrorBox("WAVファイルが見つかりません。", &owner);
    ShowInfoBox("", nullptr);
    SetMessagePresenter(previous);

    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, TMessageKind::Error);
    EXPECT_EQ(shown[0].caption, "エラー");
    EXPECT_EQ(shown[0].text, "WAVファイルが見つかりません。");
    EXPECT_EQ(shown[0].owner, &owner);
    EXPECT_EQ(shown[1].kind, TMessageKind::Information);
    EXPECT_EQ(shown[1].caption, "情報");
    EXPECT_EQ(shown[1].text, "");
    EXPECT_EQ(shown[1].owner, nullptr);
}

TEST(MessageBox, ThreadPresenterTakesPrecedenceOnItsThreadOnly) {
    std::vector<std::string> process;
    std::vector<std::string> thread;
    TMessagePresenter previous =
        SetMessagePresenter([&](const TMessage& message) { process.push_back(message.text); });
    std::thread worker([&] {
        TScopedThreadPresenter scoped(
            [&](const TMessage& message) { thread.push_back(message.text); });
        ShowErrorBox("on the worker");
    });
    worker.join();
    ShowErrorBox("on the main thread");
    SetMessagePresenter(previous);
    EXPECT_EQ(thread, std::vector<std::string>{"on the worker"});
    EXPECT_EQ(process, std::vector<std::string>{"on the main thread"});
}

#pragma once

#include "platform/Dialogs.h"

#include <QStringList>

#include <deque>
#include <functional>

// Scripted answers for the dialog seam; records what would have been shown.
class TFakeDialogs : public platform::TDialogs {
public:
    int MessageBox(const QString& text, const QString& caption, unsigned flags) override {
        Messages.append(text);
        Captions.append(caption);
        Flags.push_back(flags);
        WhileShown();
        if (Answers.empty())
            return platform::IDOK;
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    void ShowException(const QString& message) override { Exceptions.append(message); }

    std::deque<int> Answers;
    std::deque<unsigned> Flags;
    QStringList Messages;
    QStringList Captions;
    QStringList Exceptions;
    // Runs while a box is up, to look at the program behind it.
    std::function<void()> WhileShown = [] {};
};

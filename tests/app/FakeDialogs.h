#pragma once

#include "platform/Dialogs.h"
#include "serial_dialog/SerialDialogSeam.h"

#include <QPoint>
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

// The port settings dialog shown without blocking: shown (which refreshes
// its boxes), the scripted user's choices, closed again.
class TScriptedSerialDialog : public TSerialDialogSeam {
public:
    void ShowModal(QDialog& Dialog) override {
        Dialog.show();
        Positions.push_back(Dialog.pos());
        if (Script)
            Script(Dialog);
        Dialog.close();
    }

    std::function<void(QDialog&)> Script;
    std::deque<QPoint> Positions; // where each showing placed the dialog
};

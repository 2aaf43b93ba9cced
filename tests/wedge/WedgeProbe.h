#pragma once

#include "tests/support/TestEnvironment.h"
#include "wedge/KeyboardWedge.h"

#include <QList>
#include <QObject>
#include <QStringList>

// Keeps what a typing queue says: its states, its reports, what it typed.
class TWedgeProbe {
public:
    explicit TWedgeProbe(wedge::TKeyboardWedge& wedge) {
        QObject::connect(&wedge, &wedge::TKeyboardWedge::StateChanged, &FContext,
                         [this](wedge::TWedgeState state) { States << state; });
        QObject::connect(&wedge, &wedge::TKeyboardWedge::Reported, &FContext,
                         [this](const wedge::TWedgeReport& report) { Reports << report; });
        QObject::connect(&wedge, &wedge::TKeyboardWedge::Typed, &FContext,
                         [this](const QString& text) { Typed << text; });
        QObject::connect(&wedge, &wedge::TKeyboardWedge::HeldBack, &FContext,
                         [this](const QString& text) { HeldBack << text; });
    }

    bool WaitForState(wedge::TWedgeState state, int timeoutMs = 60000) {
        return testing_support::WaitFor([&] { return !States.isEmpty() && States.back() == state; },
                                        timeoutMs);
    }
    bool WaitForTyped(const QString& text, int timeoutMs = 60000) {
        return testing_support::WaitFor([&] { return Typed.contains(text); }, timeoutMs);
    }

    QList<wedge::TWedgeState> States;
    QList<wedge::TWedgeReport> Reports;
    QStringList Typed;
    QStringList HeldBack;

private:
    QObject FContext;
};

// Readable test failures.
namespace wedge {
inline void PrintTo(const TWedgeReport& report, std::ostream* out) {
    *out << ReasonName(report.Reason) << " \"" << report.Detail.toStdString() << '"';
}
inline void PrintTo(const TKeystrokes& keystrokes, std::ostream* out) {
    *out << '"' << keystrokes.Text.toStdString() << "\" key " << static_cast<int>(keystrokes.Key);
}
} // namespace wedge

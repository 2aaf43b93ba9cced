// The reconnect policy on its own, with a clock of our own.
#include "app/capture/Reconnect.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr TReconnect::TTarget kCom3{.Profile = 8, .Port = 3};

bool DueNow(TReconnect& r, bool present, int64_t now) {
    const auto due = r.DueAt(present);
    return due && *due <= now;
}

// A loose connector, the port present and gone every 10 ms for 5 s; each
// attempt at a present port succeeds, and the link vanishes with the port.
TEST(Reconnect, AFlappingPortIsTriedAtGrowingIntervals) {
    TReconnect r;
    r.Lost(kCom3, 0);
    std::vector<int64_t> tries;
    bool connected = false;
    for (int64_t t = 0; t < 5000; t += 10) {
        const bool present = (t / 10) % 2 == 0;
        if (connected && !present) {
            r.Lost(kCom3, t);
            connected = false;
        }
        if (!connected && DueNow(r, present, t)) {
            r.Attempted(true, t);
            tries.push_back(t);
            connected = true;
        }
    }
    // Due at 250, 750, ... ms after the last try; 250 falls on an absent tick.
    EXPECT_EQ(tries, (std::vector<int64_t>{0, 260, 760, 1760, 3760}));
    EXPECT_EQ(r.Attempts(), 5);

    // The intervals stop growing at their ceiling.
    int64_t t = 5000;
    for (int i = 0; i < 3; ++i) {
        r.Lost(kCom3, t);
        t = *r.DueAt(true);
        r.Attempted(true, t);
        t += 10;
    }
    r.Lost(kCom3, t);
    EXPECT_EQ(*r.DueAt(true) - (t - 10), TReconnect::MaxDelayMs);

    // A re-established link that carries data, or lasts, was no flap: the
    // next loss is taken up at once.
    r.Attempted(true, t + 4000);
    r.Proved();
    r.Lost(kCom3, t + 4010);
    EXPECT_TRUE(DueNow(r, true, t + 4010));
    r.Attempted(true, t + 4010);
    r.Lost(kCom3, t + 4010 + TReconnect::SettledMs);
    EXPECT_TRUE(DueNow(r, true, t + 4010 + TReconnect::SettledMs));
}

// What keeps or ends the wait, each from a fresh loss of COM3.
TEST(Reconnect, WhatEndsOrPreventsTheWait) {
    {
        SCOPED_TRACE("switched off by the settings key");
        TReconnect r;
        r.SetEnabled(false);
        r.Lost(kCom3, 0);
        EXPECT_FALSE(r.Pending());
        EXPECT_FALSE(r.DueAt(true));
    }
    {
        SCOPED_TRACE("a choice of the user");
        TReconnect r;
        r.Lost(kCom3, 0);
        ASSERT_TRUE(r.Pending());
        EXPECT_EQ(r.Target().Port, 3);
        EXPECT_EQ(r.Target().Profile, 8);
        r.Cancel();
        EXPECT_FALSE(r.Pending());
        EXPECT_FALSE(r.DueAt(true));
    }
    {
        SCOPED_TRACE("the port is not back yet");
        TReconnect r;
        r.Lost(kCom3, 0);
        EXPECT_FALSE(r.DueAt(false));
        EXPECT_TRUE(DueNow(r, true, 0));
    }
    {
        SCOPED_TRACE("a port that is there but cannot be opened");
        TReconnect r;
        r.Lost(kCom3, 0);
        int64_t t = 0;
        int64_t last = -1;
        for (int i = 0; i < TReconnect::MaxFailures; ++i) {
            const auto due = r.DueAt(true);
            ASSERT_TRUE(due) << i;
            t = std::max<int64_t>(*due, t);
            EXPECT_GE(t - last, i == 0 ? 0 : TReconnect::FirstDelayMs);
            last = t;
            r.Attempted(false, t);
            EXPECT_TRUE(r.Pending());
        }
        EXPECT_FALSE(r.DueAt(true)) << "given up";
        EXPECT_FALSE(r.DueAt(false));
        EXPECT_TRUE(r.DueAt(true)) << "it went away and came back: tried again";
        r.Attempted(true, t + TReconnect::MaxDelayMs);
        EXPECT_FALSE(r.Pending());
    }
}

} // namespace

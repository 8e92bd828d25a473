#pragma once

#include <functional>

#include <QString>

// What the pop-up asks, and what each of its answers does. The window keeps one: the one on
// screen. It is set when the pop-up shows it and dropped when the pop-up closes or when the
// error screen or the shutdown takes the screen over, so that an answer can only ever act on
// the question the operator is looking at. An empty answer only closes the pop-up.
struct PopUpQuestion
{
    QString asked; // its first line, for the log
    std::function<void()> yes;
    std::function<void()> no;
    std::function<void()> ok;
};

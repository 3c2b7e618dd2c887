#pragma once
// Caps Lock and Num Lock states for the status bar. Qt does not report lock keys, so on Linux
// they are read from the keyboard LEDs the kernel exposes under /sys/class/leds; a system
// without them reports both off.

#include <QString>

struct KeyLockState {
    bool capsLock = false;
    bool numLock = false;
};

// `ledRoot` is the LED class folder; tests pass a folder of their own.
KeyLockState readKeyLocks(const QString& ledRoot = QStringLiteral("/sys/class/leds"));

#pragma once
// Scripted answers for pick lists, as the tool and tests write them: "2" (double click on
// item 2), "line:1,3", "perline:1,3", "everyother:1,3", "skip", "cancel", "close".
// Item numbers count from 1.

#include "macro/pick_action.h"

#include <optional>

std::optional<PickAction> parsePickScript(const QString& script);

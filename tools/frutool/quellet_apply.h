// Many settings in one write (quellet --apply): a document's records set on
// the loaded board_info.
#pragma once

#include <cstdio>

#include "tools/frutool/quellet_document.h"

// After the texts and the date doc gives were found equal to the loaded
// ones, calls the setter of each record doc gives. False, with one "E[QUELLET]: ..." line to log
// (null: quiet), when something of doc cannot be stored; board_info may
// then hold part of it, and must not be saved.
bool quellet_apply(const QuelletDoc &doc, std::FILE *log);

// The game's pointer shapes: the arrow and five cursors of our own drawing
// for the zoom (in and out), arrange, solve and find tools.
#pragma once

#include <QCursor>

#include "platform/platform.h"

namespace pavalo {

QCursor gameCursor(CursorShape shape);

}  // namespace pavalo

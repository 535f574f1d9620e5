// The pictures of the tool palette's 18 buttons, drawn by the program at
// 32 x 32 with a transparent ground.
#pragma once

#include <QPixmap>
#include <cstdint>

namespace pavalo {

// The picture of the palette button with this id (an empty picture for an
// id that is not a palette button).
QPixmap palettePicture(uint32_t id);

}  // namespace pavalo

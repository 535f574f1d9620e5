// The process-wide registered sound player.
#include "common/sound_events.h"

#include <atomic>

namespace pavalo {
namespace {
std::atomic<SoundPlayer*> gPlayer{nullptr};
}

void setSoundPlayer(SoundPlayer* player) { gPlayer.store(player); }
SoundPlayer* soundPlayer() { return gPlayer.load(); }

}  // namespace pavalo

// The player-name dialog's model.
#include "net/net_dialogs.h"

#include <algorithm>

#include "net/chat.h"

namespace pavalo::net {

void PlayerNameDialog::setName(const std::string& typed) { name_ = cutToBytes(typed, kMaxNameLength); }

std::string PlayerNameDialog::accepted() const {
    const bool blank = std::all_of(name_.begin(), name_.end(), [](char c) { return c == ' '; });
    return blank ? std::string(setup_text::kDefaultPlayerName) : name_;
}

}  // namespace pavalo::net

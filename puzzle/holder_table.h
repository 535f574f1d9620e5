// HolderTable: which network player holds each piece while it is dragged.
#pragma once

#include <cstdint>

namespace pavalo {

// Player slots are 0..15; kNoHolder means nobody holds the piece.
inline constexpr int kNoHolder = 16;

class HolderTable {
public:
    virtual ~HolderTable() = default;
    virtual int holderOf(int32_t piece) const = 0;
    virtual void setHolder(int32_t piece, int slot) = 0;
};

// A single player holds nothing: every piece reports kNoHolder.
class NoHolders final : public HolderTable {
public:
    int holderOf(int32_t) const override { return kNoHolder; }
    void setHolder(int32_t, int) override {}
};

}  // namespace pavalo

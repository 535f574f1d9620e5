// The puzzle store: pieces, groups, lists and their operations.
#include "puzzle/puzzle_model.h"

#include <string>

#include "common/named_mutex.h"
#include "puzzle/piece_mask.h"

namespace pavalo {
namespace {

NoHolders gNoHolders;

struct PieceLock {
    NamedLock lock{NamedMutex::PIECE};
};

bool validList(ListId l) { return l >= ListId::Main && l <= ListId::Extra; }

}  // namespace

const char* listName(ListId list) {
    switch (list) {
        case ListId::Main: return "Main";
        case ListId::Finished: return "Finished";
        case ListId::Box1: return "Box 1";
        case ListId::Box2: return "Box 2";
        case ListId::Box3: return "Box 3";
        case ListId::Box4: return "Box 4";
        case ListId::Extra: return "Extra";
        default: return "none";
    }
}

PuzzleModel::PuzzleModel() : holders_(&gNoHolders) {}
PuzzleModel::PuzzleModel(PuzzleModel&&) noexcept = default;
PuzzleModel& PuzzleModel::operator=(PuzzleModel&&) noexcept = default;
PuzzleModel::~PuzzleModel() = default;

PuzzleModel& puzzleModel() {
    static PuzzleModel model;
    return model;
}

void PuzzleModel::setHolderTable(HolderTable* holders) {
    PieceLock lock;
    holders_ = holders ? holders : &gNoHolders;
}

// ---------------------------------------------------------------- creation

void PuzzleModel::createEmpty(std::vector<Piece> pieces, int32_t rows, int32_t columns) {
    PieceLock lock;
    pieces_ = std::move(pieces);
    size_t n = pieces_.size();
    members_.assign(n, GroupMember{});
    for (size_t i = 0; i < n; ++i) members_[i].piece = int32_t(i);
    groups_.assign(n, PieceGroup{});
    lists_.fill(PieceList{});
    usedNodes_ = 0;
    rows_ = rows;
    columns_ = columns;
}

void PuzzleModel::clearGroups() {
    PieceLock lock;
    for (size_t i = 0; i < members_.size(); ++i) members_[i] = GroupMember{int32_t(i), 0, kNone, kNone, kNone};
    std::fill(groups_.begin(), groups_.end(), PieceGroup{});
    lists_.fill(PieceList{});
    usedNodes_ = 0;
}

void PuzzleModel::createFromPieces(std::vector<Piece> pieces, int32_t rows, int32_t columns) {
    PieceLock lock;
    createEmpty(std::move(pieces), rows, columns);
    for (int32_t i = 0; i < pieceCount(); ++i) {
        int32_t g = appendGroup(ListId::Main, i);
        appendMember(g, i, false);
    }
}

void PuzzleModel::shuffleInitialGroups(Random& rng) {
    PieceLock lock;
    int32_t n = pieceCount();
    if (n <= 0) return;
    for (int i = 0; i < 5000; ++i) {
        int32_t a = rng.below(n);
        int32_t b = rng.below(n);
        int32_t pa = groups_[size_t(a)].firstMember;
        int32_t pb = groups_[size_t(b)].firstMember;
        // Each initial group holds one member; exchange them.
        groups_[size_t(a)].firstMember = groups_[size_t(a)].lastMember = pb;
        groups_[size_t(b)].firstMember = groups_[size_t(b)].lastMember = pa;
        members_[size_t(pa)].group = b;
        members_[size_t(pb)].group = a;
    }
}

int32_t PuzzleModel::appendGroup(ListId list, int32_t groupNumber) {
    PieceLock lock;
    if (!validList(list) || usedNodes_ >= int32_t(groups_.size())) return kNone;
    int32_t g = usedNodes_++;
    groups_[size_t(g)] = PieceGroup{};
    groups_[size_t(g)].groupNumber = groupNumber;
    linkGroupAtTail(list, g);
    return g;
}

bool PuzzleModel::appendMember(int32_t groupNode, int32_t piece, bool selected) {
    PieceLock lock;
    if (!validPiece(piece) || groupNode < 0 || groupNode >= usedNodes_) return false;
    GroupMember& m = members_[size_t(piece)];
    if (m.group != kNone) return false;
    PieceGroup& g = groups_[size_t(groupNode)];
    m.group = groupNode;
    m.selected = selected ? 1 : 0;
    m.prev = g.lastMember;
    m.next = kNone;
    if (g.lastMember != kNone)
        members_[size_t(g.lastMember)].next = piece;
    else
        g.firstMember = piece;
    g.lastMember = piece;
    ++g.pieceCount;
    return true;
}

void PuzzleModel::freePuzzle() {
    PieceLock lock;
    pieces_.clear();
    pieces_.shrink_to_fit();
    members_.clear();
    members_.shrink_to_fit();
    groups_.clear();
    groups_.shrink_to_fit();
    lists_.fill(PieceList{});
    usedNodes_ = 0;
    rows_ = columns_ = 0;
}

// ---------------------------------------------------------------- coordinates

int32_t PuzzleModel::toPlayX(int32_t x) const {
    return geo_.playWidth / 2 - geo_.pictureWidth / 2 + geo_.offsetX + x;
}
int32_t PuzzleModel::toPlayY(int32_t y) const {
    return geo_.playHeight / 2 - geo_.pictureHeight / 2 + geo_.offsetY + y;
}
int32_t PuzzleModel::toPictureX(int32_t x) const {
    return x - (geo_.playWidth / 2 - geo_.pictureWidth / 2 + geo_.offsetX);
}
int32_t PuzzleModel::toPictureY(int32_t y) const {
    return y - (geo_.playHeight / 2 - geo_.pictureHeight / 2 + geo_.offsetY);
}
int32_t PuzzleModel::solvedX(int32_t p) const { return toPlayX(pieces_[size_t(p)].homeX); }
int32_t PuzzleModel::solvedY(int32_t p) const { return toPlayY(pieces_[size_t(p)].homeY); }

Rect PuzzleModel::allowedMainRegion() const {
    return {toPlayX(-geo_.pictureWidth), toPlayY(-geo_.pictureHeight),
            toPlayX(2 * geo_.pictureWidth), toPlayY(2 * geo_.pictureHeight)};
}

// ---------------------------------------------------------------- list links

void PuzzleModel::unlinkGroup(int32_t g) {
    PieceGroup& node = groups_[size_t(g)];
    if (node.list == ListId::None) return;
    PieceList& l = lists_[size_t(node.list)];
    if (l.head == g) l.head = node.next;
    if (l.tail == g) l.tail = node.prev;
    if (node.prev != kNone) groups_[size_t(node.prev)].next = node.next;
    if (node.next != kNone) groups_[size_t(node.next)].prev = node.prev;
    node.prev = node.next = kNone;
    node.list = ListId::None;
}

void PuzzleModel::linkGroupAtHead(ListId list, int32_t g) {
    PieceList& l = lists_[size_t(list)];
    PieceGroup& node = groups_[size_t(g)];
    node.list = list;
    node.prev = kNone;
    node.next = l.head;
    if (l.head != kNone) groups_[size_t(l.head)].prev = g;
    l.head = g;
    if (l.tail == kNone) l.tail = g;
}

void PuzzleModel::linkGroupAtTail(ListId list, int32_t g) {
    PieceList& l = lists_[size_t(list)];
    PieceGroup& node = groups_[size_t(g)];
    node.list = list;
    node.next = kNone;
    node.prev = l.tail;
    if (l.tail != kNone) groups_[size_t(l.tail)].next = g;
    l.tail = g;
    if (l.head == kNone) l.head = g;
}

void PuzzleModel::linkGroupBefore(int32_t g, int32_t before) {
    PieceGroup& at = groups_[size_t(before)];
    PieceGroup& node = groups_[size_t(g)];
    node.list = at.list;
    node.next = before;
    node.prev = at.prev;
    if (at.prev != kNone)
        groups_[size_t(at.prev)].next = g;
    else
        lists_[size_t(at.list)].head = g;
    at.prev = g;
}

// ---------------------------------------------------------------- queries

int32_t PuzzleModel::findGroupOfPiece(ListId list, int32_t piece) const {
    PieceLock lock;
    if (!validList(list) || !validPiece(piece)) return kNone;
    int32_t g = members_[size_t(piece)].group;
    if (g == kNone || groups_[size_t(g)].list != list) return kNone;
    return g;
}

ListId PuzzleModel::listOfPiece(int32_t piece) const {
    PieceLock lock;
    if (!validPiece(piece)) return ListId::None;
    int32_t g = members_[size_t(piece)].group;
    return g == kNone ? ListId::None : groups_[size_t(g)].list;
}

int32_t PuzzleModel::findPieceAtPoint(ListId list, int32_t x, int32_t y) const {
    PieceLock lock;
    if (!validList(list)) return kNone;
    for (int32_t g = lists_[size_t(list)].head; g != kNone; g = groups_[size_t(g)].next) {
        for (int32_t m = groups_[size_t(g)].firstMember; m != kNone; m = members_[size_t(m)].next) {
            const Piece& p = pieces_[size_t(m)];
            if (p.box().contains(x, y) &&
                maskCoversPoint(p.mask, p.width, p.height, p.rotation, x - p.x, y - p.y))
                return m;
        }
    }
    return kNone;
}

Rect PuzzleModel::groupRect(int32_t groupNode) const {
    PieceLock lock;
    Rect r;
    forEachMember(groupNode, [&](int32_t m) { r.unite(pieces_[size_t(m)].box()); });
    return r;
}

bool PuzzleModel::getPieceRect(ListId list, int32_t piece, Rect& rect, bool wholeGroup) const {
    PieceLock lock;
    rect = Rect{};
    if (!validPiece(piece)) return false;
    if (!wholeGroup || list == ListId::None) {
        rect = pieces_[size_t(piece)].box();
        return true;
    }
    int32_t g = findGroupOfPiece(list, piece);
    if (g == kNone) return false;
    rect = groupRect(g);
    return true;
}

int32_t PuzzleModel::countListPieces(ListId list) const {
    PieceLock lock;
    int32_t n = 0;
    forEachGroup(list, [&](int32_t g) { n += groups_[size_t(g)].pieceCount; });
    return n;
}

int32_t PuzzleModel::countListGroups(ListId list) const {
    PieceLock lock;
    int32_t n = 0;
    forEachGroup(list, [&](int32_t) { ++n; });
    return n;
}

int32_t PuzzleModel::countSelectedPieces(ListId list) const {
    PieceLock lock;
    int32_t n = 0;
    forEachGroup(list, [&](int32_t g) {
        forEachMember(g, [&](int32_t m) { n += members_[size_t(m)].selected ? 1 : 0; });
    });
    return n;
}

int32_t PuzzleModel::countSelectedGroups(ListId list) const {
    PieceLock lock;
    int32_t n = 0;
    forEachGroup(list, [&](int32_t g) {
        bool any = false;
        forEachMember(g, [&](int32_t m) { any = any || members_[size_t(m)].selected; });
        n += any ? 1 : 0;
    });
    return n;
}

Rect PuzzleModel::listBoundingBox(ListId list) const {
    PieceLock lock;
    Rect r;
    forEachGroup(list, [&](int32_t g) { r.unite(groupRect(g)); });
    return r;
}

// ---------------------------------------------------------------- moves

void PuzzleModel::moveGroup(ListId list, int32_t piece, int32_t x, int32_t y) {
    PieceLock lock;
    if (!validPiece(piece)) return;
    if (list == ListId::None) {
        Piece& p = pieces_[size_t(piece)];
        if (listOfPiece(piece) == ListId::Finished) {
            p.x = solvedX(piece);
            p.y = solvedY(piece);
        } else {
            p.x = x;
            p.y = y;
        }
        return;
    }
    int32_t g = findGroupOfPiece(list, piece);
    if (g == kNone) return;
    if (list == ListId::Finished) {
        forEachMember(g, [&](int32_t m) {
            pieces_[size_t(m)].x = solvedX(m);
            pieces_[size_t(m)].y = solvedY(m);
        });
        return;
    }
    int32_t offX = x - pieces_[size_t(piece)].x;
    int32_t offY = y - pieces_[size_t(piece)].y;
    if (list == ListId::Main) {
        // Keep the group within one picture size of the assembled picture.
        Rect moved = groupRect(g).offset(offX, offY);
        Rect region = allowedMainRegion();
        if (moved.left < region.left) offX += region.left - moved.left;
        if (moved.right > region.right) offX -= moved.right - region.right;
        if (moved.top < region.top) offY += region.top - moved.top;
        if (moved.bottom > region.bottom) offY -= moved.bottom - region.bottom;
    }
    forEachMember(g, [&](int32_t m) {
        pieces_[size_t(m)].x += offX;
        pieces_[size_t(m)].y += offY;
    });
}

int PuzzleModel::moveSelectedBy(ListId list, int32_t dx, int32_t dy, Rect* dirty, bool checkBounds) {
    PieceLock lock;
    if (!validList(list)) return 0;
    if (checkBounds) {
        bool leaves = false;
        forEachGroup(list, [&](int32_t g) {
            forEachMember(g, [&](int32_t m) {
                if (!members_[size_t(m)].selected) return;
                const Piece& p = pieces_[size_t(m)];
                int32_t nx = p.x + dx, ny = p.y + dy;
                if (nx < 0 || ny < 0 || nx + p.width > geo_.playWidth ||
                    ny + p.height > geo_.playHeight)
                    leaves = true;
            });
        });
        if (leaves) return 0;
    }
    forEachGroup(list, [&](int32_t g) {
        int32_t first = groups_[size_t(g)].firstMember;
        if (first == kNone || !members_[size_t(first)].selected) return;
        Rect before = groupRect(g);
        const Piece& p = pieces_[size_t(first)];
        moveGroup(list, first, p.x + dx, p.y + dy);
        if (dirty) dirty->unite(before.united(groupRect(g)));
    });
    return 1;
}

void PuzzleModel::offsetListPieces(ListId list, int32_t dx, int32_t dy, Rect* dirty) {
    PieceLock lock;
    forEachGroup(list, [&](int32_t g) {
        forEachMember(g, [&](int32_t m) {
            Piece& p = pieces_[size_t(m)];
            Rect before = p.box();
            p.x += dx;
            p.y += dy;
            if (dirty) dirty->unite(before.united(p.box()));
        });
    });
}

// ---------------------------------------------------------------- selection

int PuzzleModel::toggleGroupSelection(ListId list, int32_t piece) {
    PieceLock lock;
    int32_t g = findGroupOfPiece(list, piece);
    if (g == kNone) return 0;
    int n = 0;
    forEachMember(g, [&](int32_t m) {
        members_[size_t(m)].selected ^= 1;
        ++n;
    });
    return n;
}

int PuzzleModel::setGroupSelected(ListId list, int32_t piece, bool selected) {
    PieceLock lock;
    int32_t g = findGroupOfPiece(list, piece);
    if (g == kNone) return 0;
    int n = 0;
    forEachMember(g, [&](int32_t m) {
        if (bool(members_[size_t(m)].selected) != selected) {
            members_[size_t(m)].selected = selected ? 1 : 0;
            ++n;
        }
    });
    return n;
}

int PuzzleModel::setAllSelected(ListId list, bool selected, Rect* dirty) {
    PieceLock lock;
    int n = 0;
    forEachGroup(list, [&](int32_t g) {
        forEachMember(g, [&](int32_t m) {
            if (bool(members_[size_t(m)].selected) == selected) return;
            members_[size_t(m)].selected = selected ? 1 : 0;
            ++n;
            if (dirty) dirty->unite(pieces_[size_t(m)].box());
        });
    });
    return n;
}

bool PuzzleModel::isSelected(ListId list, int32_t piece) const {
    PieceLock lock;
    if (findGroupOfPiece(list, piece) == kNone) return false;
    return members_[size_t(piece)].selected != 0;
}

// ---------------------------------------------------------------- ordering

void PuzzleModel::bringGroupToFront(ListId list, int32_t piece) {
    PieceLock lock;
    int32_t g = findGroupOfPiece(list, piece);
    if (g == kNone) return;
    unlinkGroup(g);
    linkGroupAtHead(list, g);
}

void PuzzleModel::bringSelectedToFront(ListId list) {
    PieceLock lock;
    std::vector<int32_t> selected;
    forEachGroup(list, [&](int32_t g) {
        int32_t first = groups_[size_t(g)].firstMember;
        if (first != kNone && members_[size_t(first)].selected) selected.push_back(first);
    });
    for (int32_t first : selected) bringGroupToFront(list, first);
}

bool PuzzleModel::settleGroupOrder(ListId list, int32_t piece) {
    PieceLock lock;
    int32_t g = findGroupOfPiece(list, piece);
    if (g == kNone) return false;
    int32_t oldPrev = groups_[size_t(g)].prev, oldNext = groups_[size_t(g)].next;
    int32_t count = groups_[size_t(g)].pieceCount;
    if (count == 1) {
        unlinkGroup(g);
        linkGroupAtHead(list, g);
    } else {
        int32_t target = kNone;
        for (int32_t h = lists_[size_t(list)].head; h != kNone; h = groups_[size_t(h)].next) {
            if (h != g && groups_[size_t(h)].pieceCount >= count) {
                target = h;
                break;
            }
        }
        unlinkGroup(g);
        if (target == kNone)
            linkGroupAtTail(list, g);
        else
            linkGroupBefore(g, target);
    }
    return groups_[size_t(g)].prev != oldPrev || groups_[size_t(g)].next != oldNext;
}

// ---------------------------------------------------------------- transfers

void PuzzleModel::movePieceToList(ListId destination, ListId source, int32_t piece) {
    PieceLock lock;
    if (destination == source || !validList(destination)) return;
    int32_t g = findGroupOfPiece(source, piece);
    if (g == kNone) return;
    unlinkGroup(g);
    linkGroupAtHead(destination, g);
}

int PuzzleModel::moveSelectedPiecesToList(ListId destination, ListId source) {
    PieceLock lock;
    if (destination == source || !validList(destination)) return 0;
    int moved = 0;
    forEachGroup(source, [&](int32_t g) {
        int32_t first = groups_[size_t(g)].firstMember;
        if (first == kNone || !members_[size_t(first)].selected) return;
        movePieceToList(destination, source, first);
        ++moved;
    });
    return moved;
}

int PuzzleModel::solvePiece(ListId list, int32_t piece, int32_t dx, int32_t dy) {
    PieceLock lock;
    int32_t g = findGroupOfPiece(list, piece);
    if (g == kNone) return 0;
    int32_t baseX = geo_.playWidth / 2 - geo_.pictureWidth / 2 + dx;
    int32_t baseY = geo_.playHeight / 2 - geo_.pictureHeight / 2 + dy;
    int n = 0;
    forEachMember(g, [&](int32_t m) {
        holders_->setHolder(m, kNoHolder);
        members_[size_t(m)].selected = 0;
        Piece& p = pieces_[size_t(m)];
        p.x = p.homeX + baseX;
        p.y = p.homeY + baseY;
        p.rotation = 0;
        ++n;
    });
    movePieceToList(ListId::Finished, list, piece);
    return n;
}

int PuzzleModel::solveSelectedPieces(ListId list) {
    PieceLock lock;
    std::vector<int32_t> firsts;
    forEachGroup(list, [&](int32_t g) {
        int32_t first = groups_[size_t(g)].firstMember;
        if (first != kNone && members_[size_t(first)].selected) firsts.push_back(first);
    });
    int n = 0;
    for (int32_t first : firsts) n += solvePiece(list, first, geo_.offsetX, geo_.offsetY);
    return n;
}

// ---------------------------------------------------------------- rotation

void PuzzleModel::expectedPosition(int32_t a, int32_t b, int32_t& x, int32_t& y) const {
    const Piece& pa = pieces_[size_t(a)];
    const Piece& pb = pieces_[size_t(b)];
    int32_t dX = pa.homeX - pb.homeX, dY = pa.homeY - pb.homeY;
    int32_t dW = pa.width - pb.width, dH = pa.height - pb.height;
    switch (pb.rotation & 3) {
        case 0: x = pb.x + dX; y = pb.y + dY; break;
        case 1: x = pb.x - dY - dH; y = pb.y + dX; break;
        case 2: x = pb.x - dX - dW; y = pb.y - dY - dH; break;
        default: x = pb.x + dY; y = pb.y - dX - dW; break;
    }
}

void PuzzleModel::placeGroupRelativeTo(int32_t groupNode, int32_t pivot) {
    forEachMember(groupNode, [&](int32_t m) {
        if (m == pivot) return;
        Piece& p = pieces_[size_t(m)];
        p.rotation = pieces_[size_t(pivot)].rotation;
        expectedPosition(m, pivot, p.x, p.y);
    });
}

void PuzzleModel::rotateGroup(ListId list, int32_t piece, int direction) {
    PieceLock lock;
    if (findGroupOfPiece(list, piece) == kNone) return;
    int32_t r = pieces_[size_t(piece)].rotation;
    r = direction >= 1 ? r + 1 : direction < 0 ? r - 1 : 0;
    setGroupRotation(list, piece, r & 3);
}

void PuzzleModel::setGroupRotation(ListId list, int32_t piece, int32_t rotation) {
    PieceLock lock;
    int32_t g = findGroupOfPiece(list, piece);
    if (g == kNone) return;
    pieces_[size_t(piece)].rotation = rotation & 3;
    placeGroupRelativeTo(g, piece);
}

void PuzzleModel::setPieceRotation(int32_t piece, int32_t rotation) {
    PieceLock lock;
    if (validPiece(piece)) pieces_[size_t(piece)].rotation = rotation & 3;
}

int32_t PuzzleModel::findGroupByNumber(ListId list, int32_t groupNumber) const {
    PieceLock lock;
    int32_t found = kNone;
    forEachGroup(list, [&](int32_t g) {
        if (found == kNone && groups_[size_t(g)].groupNumber == groupNumber) found = g;
    });
    return found;
}

void PuzzleModel::mergeGroups(ListId list, int32_t keepNumber, int32_t goneNumber) {
    PieceLock lock;
    mergeGroupNodes(list, findGroupByNumber(list, keepNumber), findGroupByNumber(list, goneNumber));
}

bool PuzzleModel::mergeGroupNodes(ListId list, int32_t keep, int32_t gone) {
    PieceLock lock;
    const int32_t nodes = int32_t(groups_.size());
    if (keep < 0 || gone < 0 || keep >= nodes || gone >= nodes || keep == gone) return false;
    PieceGroup& k = groups_[size_t(keep)];
    PieceGroup& g = groups_[size_t(gone)];
    if (k.list != list || g.list != list || g.firstMember == kNone) return false;
    const int32_t f = k.firstMember;
    if (f != kNone) {
        const int holder = holders_->holderOf(f);
        const int32_t selected = members_[size_t(f)].selected;
        forEachMember(gone, [&](int32_t m) {
            Piece& p = pieces_[size_t(m)];
            expectedPosition(m, f, p.x, p.y);
            holders_->setHolder(m, holder);
            members_[size_t(m)].selected = selected;
        });
    }
    forEachMember(gone, [&](int32_t m) { members_[size_t(m)].group = keep; });
    if (k.lastMember != kNone) {
        members_[size_t(k.lastMember)].next = g.firstMember;
        members_[size_t(g.firstMember)].prev = k.lastMember;
    } else {
        k.firstMember = g.firstMember;
    }
    k.lastMember = g.lastMember;
    k.pieceCount += g.pieceCount;
    g.firstMember = g.lastMember = kNone;
    g.pieceCount = 0;
    return true;
}

// ---------------------------------------------------------------- invariants

bool PuzzleModel::checkInvariants(std::string* why) const {
    PieceLock lock;
    auto fail = [&](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    size_t n = pieces_.size();
    if (members_.size() != n || groups_.size() != n) return fail("table sizes differ");
    std::vector<uint8_t> pieceSeen(n, 0), nodeSeen(n, 0);
    size_t total = 0;
    for (int li = 0; li < kListCount; ++li) {
        ListId list = static_cast<ListId>(li);
        int32_t prev = kNone;
        size_t steps = 0;
        for (int32_t g = lists_[size_t(li)].head; g != kNone; g = groups_[size_t(g)].next) {
            if (g < 0 || size_t(g) >= n || ++steps > n) return fail("list chain broken");
            const PieceGroup& node = groups_[size_t(g)];
            if (nodeSeen[size_t(g)]++) return fail("group node in two places");
            if (node.list != list) return fail("group node names the wrong list");
            if (node.prev != prev) return fail("group back link broken");
            int32_t count = 0, mprev = kNone;
            int selected = -1;
            for (int32_t m = node.firstMember; m != kNone; m = members_[size_t(m)].next) {
                if (m < 0 || size_t(m) >= n || count > int32_t(n)) return fail("member chain broken");
                const GroupMember& mem = members_[size_t(m)];
                if (pieceSeen[size_t(m)]++) return fail("piece " + std::to_string(m) + " in two groups");
                if (mem.group != g || mem.prev != mprev) return fail("member links broken");
                if (selected >= 0 && mem.selected != selected) return fail("group partly selected");
                selected = mem.selected;
                mprev = m;
                ++count;
            }
            if (node.lastMember != mprev) return fail("last member wrong");
            if (count != node.pieceCount) return fail("piece count wrong");
            total += size_t(count);
            prev = g;
        }
        if (lists_[size_t(li)].tail != prev) return fail("list tail wrong");
    }
    if (total != n) return fail("lists hold " + std::to_string(total) + " of " + std::to_string(n) + " pieces");
    for (size_t g = 0; g < n; ++g) {
        bool used = int32_t(g) < usedNodes_;
        if (used != bool(nodeSeen[g])) return fail("group node neither used nor free");
    }
    return true;
}

}  // namespace pavalo

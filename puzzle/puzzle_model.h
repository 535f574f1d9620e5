// PuzzleModel: the pieces of the current puzzle, the groups they are joined
// into, and the seven lists that say where each group lies.
//
// Storage: one Piece and one GroupMember per piece (member i belongs to
// piece i), and one block of N group nodes made when the puzzle is created;
// nodes are never created later, only moved between lists and emptied by
// merges. Lists are doubly linked chains of node indices (head = topmost).
//
// Invariants (checked by checkInvariants): every piece is the member of
// exactly one group, every group node lies in exactly one list, members of a
// group share one selected flag, and the member counts of the lists add up
// to N.
//
// Every public operation takes PIECEMutex for its whole run; operations may
// call each other while holding it. A piece that is not in the given list
// makes an operation do nothing and return 0, -1 or "none" as documented.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/random.h"
#include "common/geometry.h"
#include "puzzle/holder_table.h"

namespace pavalo {

enum class ListId : int8_t {
    None = -1,
    Main = 0,
    Finished = 1,
    Box1 = 2,
    Box2 = 3,
    Box3 = 4,
    Box4 = 5,
    Extra = 6,
};
inline constexpr int kListCount = 7;
inline constexpr int kNone = -1;

// The list of sorting box 1..4.
inline ListId sortingBoxList(int box) { return static_cast<ListId>(1 + box); }
inline bool isSortingBox(ListId l) { return l >= ListId::Box1 && l <= ListId::Box4; }
// "Main", "Finished", "Box 1".., "Extra".
const char* listName(ListId list);

struct Piece {
    int32_t x = 0, y = 0;  // top-left of the drawn box on the play area
    int32_t rotation = 0;  // quarter turns clockwise, 0..3
    int32_t homeX = 0, homeY = 0;  // top-left of the box in the picture
    int32_t width = 0, height = 0;  // box size at rotation 0
    std::vector<uint8_t> mask;      // PieceMask of the shape
    std::vector<uint8_t> outline;   // PieceMask of the border pixels
    std::vector<uint8_t> renderCache;  // kept by the piece renderer

    int32_t drawnWidth() const { return rotation & 1 ? height : width; }
    int32_t drawnHeight() const { return rotation & 1 ? width : height; }
    Rect box() const { return {x, y, x + drawnWidth(), y + drawnHeight()}; }
};

struct PieceGroup {
    int32_t groupNumber = 0;
    int32_t pieceCount = 0;
    int32_t firstMember = kNone, lastMember = kNone;  // piece numbers
    int32_t prev = kNone, next = kNone;  // neighbouring group nodes in the list
    ListId list = ListId::None;
};

struct GroupMember {
    int32_t piece = 0;
    int32_t selected = 0;
    int32_t prev = kNone, next = kNone;  // neighbouring members (piece numbers)
    int32_t group = kNone;               // the group node holding this member
};

struct PieceList {
    int32_t head = kNone, tail = kNone;
};

// Puzzle-wide values the model needs from the document.
struct PuzzleGeometry {
    int32_t playWidth = 0, playHeight = 0;        // W, H
    int32_t pictureWidth = 0, pictureHeight = 0;  // imgW, imgH
    int32_t offsetX = 0, offsetY = 0;             // AssemblyOffset
    int32_t snapTolerance = 7;
};

class PuzzleModel {
public:
    PuzzleModel();
    PuzzleModel(PuzzleModel&&) noexcept;
    PuzzleModel& operator=(PuzzleModel&&) noexcept;
    ~PuzzleModel();

    // ---- creation and release ----
    // Takes the pieces of a new cut; makes N group nodes, node i holding piece
    // i, linked 0..N-1 from head to tail in the Main list; the other lists
    // start empty. The caller then shuffles with shuffleInitialGroups.
    void createFromPieces(std::vector<Piece> pieces, int32_t rows, int32_t columns);
    // 5000 swaps of the first members of two random nodes.
    void shuffleInitialGroups(Random& rng);
    // Builds an empty store of n pieces and n group nodes for a reader that
    // then links groups itself (see appendGroup/appendMember).
    void createEmpty(std::vector<Piece> pieces, int32_t rows, int32_t columns);
    // Takes the next unused group node, appends it at the list's tail and
    // returns its index; -1 when all N nodes are used.
    int32_t appendGroup(ListId list, int32_t groupNumber);
    // Appends a piece's member at the end of a group; false when the piece
    // already belongs to a group.
    bool appendMember(int32_t groupNode, int32_t piece, bool selected);
    int32_t usedGroupNodes() const { return usedNodes_; }
    // Empties every list and frees every group node and member link, keeping
    // the pieces; the caller rebuilds the lists with appendGroup/appendMember.
    void clearGroups();
    void freePuzzle();
    bool hasPuzzle() const { return !pieces_.empty(); }

    // ---- puzzle-wide values ----
    int32_t pieceCount() const { return static_cast<int32_t>(pieces_.size()); }
    int32_t rows() const { return rows_; }
    int32_t columns() const { return columns_; }
    const PuzzleGeometry& geometry() const { return geo_; }
    PuzzleGeometry& geometry() { return geo_; }
    // Play-area position of a picture-relative point: W/2 - imgW/2 + dx + x.
    int32_t toPlayX(int32_t pictureX) const;
    int32_t toPlayY(int32_t pictureY) const;
    int32_t toPictureX(int32_t playX) const;
    int32_t toPictureY(int32_t playY) const;

    void setHolderTable(HolderTable* holders);  // null: nobody holds anything
    HolderTable& holders() const { return *holders_; }

    // ---- raw access (hold PIECEMutex while using) ----
    const Piece& piece(int32_t i) const { return pieces_[size_t(i)]; }
    Piece& piece(int32_t i) { return pieces_[size_t(i)]; }
    const std::vector<Piece>& pieces() const { return pieces_; }
    const PieceGroup& groupNode(int32_t g) const { return groups_[size_t(g)]; }
    const GroupMember& member(int32_t piece) const { return members_[size_t(piece)]; }
    const PieceList& list(ListId l) const { return lists_[size_t(l)]; }
    bool validPiece(int32_t p) const { return p >= 0 && p < pieceCount(); }

    // Calls fn(groupNode) for every group node of a list from head to tail.
    template <class Fn>
    void forEachGroup(ListId list, Fn&& fn) const;
    // Calls fn(piece) for every member of a group node in member order.
    template <class Fn>
    void forEachMember(int32_t groupNode, Fn&& fn) const;

    // ---- queries ----
    // Group node holding the piece when that group is in the list, else -1.
    int32_t findGroupOfPiece(ListId list, int32_t piece) const;
    // The list the piece lies in (None when the store is empty).
    ListId listOfPiece(int32_t piece) const;
    // First piece, head to tail and members in order, whose shape covers the
    // point; -1 when none.
    int32_t findPieceAtPoint(ListId list, int32_t x, int32_t y) const;
    // The piece's own drawn box, or the union over its group when wholeGroup.
    // Returns false (and an empty rect) when the piece is not in the list.
    bool getPieceRect(ListId list, int32_t piece, Rect& rect, bool wholeGroup) const;
    Rect groupRect(int32_t groupNode) const;
    int32_t countListPieces(ListId list) const;
    int32_t countListGroups(ListId list) const;  // nodes, emptied ones included
    int32_t countSelectedPieces(ListId list) const;
    int32_t countSelectedGroups(ListId list) const;
    Rect listBoundingBox(ListId list) const;

    // ---- moves ----
    // Moves the piece's group so that the piece's top-left lands at (x, y).
    // In the Main list the group is kept within one picture size of the
    // assembled picture; in the Finished list members go to their solved
    // places. With ListId::None only the piece itself moves.
    void moveGroup(ListId list, int32_t piece, int32_t x, int32_t y);
    // Moves every selected group by (dx, dy). With checkBounds nothing moves
    // (result 0) when a selected piece would leave the play area.
    int moveSelectedBy(ListId list, int32_t dx, int32_t dy, Rect* dirty, bool checkBounds);
    void offsetListPieces(ListId list, int32_t dx, int32_t dy, Rect* dirty);
    int32_t solvedX(int32_t piece) const;
    int32_t solvedY(int32_t piece) const;

    // ---- selection ----
    int toggleGroupSelection(ListId list, int32_t piece);
    int setGroupSelected(ListId list, int32_t piece, bool selected);
    int setAllSelected(ListId list, bool selected, Rect* dirty);
    bool isSelected(ListId list, int32_t piece) const;

    // ---- ordering ----
    void bringGroupToFront(ListId list, int32_t piece);
    void bringSelectedToFront(ListId list);
    bool settleGroupOrder(ListId list, int32_t piece);

    // ---- transfers ----
    void movePieceToList(ListId destination, ListId source, int32_t piece);
    int moveSelectedPiecesToList(ListId destination, ListId source);
    int solvePiece(ListId list, int32_t piece, int32_t dx, int32_t dy);
    int solveSelectedPieces(ListId list);

    // ---- rotation and relative placement ----
    // Where piece a's box must lie to sit correctly beside piece b.
    void expectedPosition(int32_t a, int32_t b, int32_t& x, int32_t& y) const;
    void rotateGroup(ListId list, int32_t piece, int direction);
    void setGroupRotation(ListId list, int32_t piece, int32_t rotation);
    void setPieceRotation(int32_t piece, int32_t rotation);

    // ---- joining support (groups only grow) ----
    // Group node of the list with that group number, or -1.
    int32_t findGroupByNumber(ListId list, int32_t groupNumber) const;
    // Moves the members of group `gone` into group `keep` (both looked up by
    // number in the list), each placed at its expected position beside the
    // kept group's first member and given that member's holder and selected
    // flag. The gone group stays in the list, empty. Nothing happens when
    // either group is missing or they are the same.
    void mergeGroups(ListId list, int32_t keepNumber, int32_t goneNumber);
    // The same with the two group nodes given directly, so a merge stays
    // exact even where two groups of the list carry one number. Returns
    // whether anything merged: false when either node is not in the list,
    // they are the same node, or `gone` is empty.
    bool mergeGroupNodes(ListId list, int32_t keep, int32_t gone);

    // Verifies the invariants above; on failure returns false and describes
    // the first problem in `why`.
    bool checkInvariants(std::string* why = nullptr) const;

private:
    void unlinkGroup(int32_t g);
    void linkGroupAtHead(ListId list, int32_t g);
    void linkGroupAtTail(ListId list, int32_t g);
    void linkGroupBefore(int32_t g, int32_t before);
    void placeGroupRelativeTo(int32_t groupNode, int32_t pivot);
    Rect allowedMainRegion() const;

    std::vector<Piece> pieces_;
    std::vector<GroupMember> members_;
    std::vector<PieceGroup> groups_;  // the node block
    std::array<PieceList, kListCount> lists_{};
    int32_t usedNodes_ = 0;
    int32_t rows_ = 0, columns_ = 0;
    PuzzleGeometry geo_;
    HolderTable* holders_;
};

// The one model of the running program.
PuzzleModel& puzzleModel();

// ---- template implementations ----

template <class Fn>
void PuzzleModel::forEachGroup(ListId list, Fn&& fn) const {
    if (list == ListId::None) return;
    for (int32_t g = lists_[size_t(list)].head; g != kNone;) {
        int32_t next = groups_[size_t(g)].next;
        fn(g);
        g = next;
    }
}

template <class Fn>
void PuzzleModel::forEachMember(int32_t groupNode, Fn&& fn) const {
    for (int32_t m = groups_[size_t(groupNode)].firstMember; m != kNone;) {
        int32_t next = members_[size_t(m)].next;
        fn(m);
        m = next;
    }
}

}  // namespace pavalo

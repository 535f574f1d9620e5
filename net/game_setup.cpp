// Setting up a network game.
#include "net/game_setup.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "common/file_io.h"
#include "common/random.h"
#include "net/picture_transfer.h"

namespace pavalo::net {

const std::array<const char*, kSetupTools> kToolNames = {"Arrange",    "Solve",         "Find Nearby Pieces",
                                                          "Find Edges", "Find by Color", "Puzzle Outline"};

namespace {

// Tool indices in the order the lists show them.
constexpr std::array<int, kSetupTools> kListedOrder = {0, 1, 4, 3, 2, 5};

// How long each of a joining player's requests may go unanswered.
constexpr uint32_t kRequestLimitMs = 10000;

bool toolAllowed(const NetOptions& o, int tool) { return o.allowed[size_t(tool + 1)] != 0; }

std::string onOff(bool on) { return on ? "On" : "Off"; }

}  // namespace

std::string displayableText(std::string_view text, size_t maxChars) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < text.size() && chars < maxChars; ++chars) {
        const auto b = uint8_t(text[i]);
        size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        uint32_t cp = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
        bool valid = length != 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto c = uint8_t(text[i + k]);
            valid = (c >> 6) == 2;
            cp = cp << 6 | (c & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point are not text.
        static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && cp >= least[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!valid) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0))
            out += kReplacement;
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string allowedToolsText(const NetOptions& options, bool allWord) {
    int count = 0;
    for (int t = 0; t < kSetupTools; ++t) count += toolAllowed(options, t) ? 1 : 0;
    if (count == 0) return "None";
    if (count == kSetupTools && allWord) return "All";
    std::string text;
    for (int t : kListedOrder) {
        if (!toolAllowed(options, t)) continue;
        if (!text.empty()) text += ", ";
        text += kToolNames[size_t(t)];
    }
    return text;
}

NetOptions optionsOfDescription(const SessionDesc& desc) {
    NetOptions o;
    o.sessionName = desc.name;
    o.maxPlayers = desc.maxPlayers > 0 ? desc.maxPlayers - 1 : 0;
    o.gameType = desc.user1;
    o.seed = desc.user2;
    for (int i = 0; i < 6; ++i) o.allowed[size_t(i)] = (desc.user3 >> i) & 1;
    o.allowed[6] = (desc.user3 >> 7) & 1;
    return o;
}

// ------------------------------------------------------------ create form

CreateGameForm CreateGameForm::fromPreferences(const PreferencesRecord& prefs) {
    CreateGameForm f;
    const std::string player = PreferencesRecord::text(prefs.playerName);
    f.sessionName = player == setup_text::kDefaultPlayerName ? setup_text::kUnnamedSession : player;
    f.maxPlayers = std::clamp(int(prefs.maxPlayers), kMinPlayers, kMaxPlayers);
    f.gameType = prefs.gameType == int32_t(kGameCompetitive) ? kGameCompetitive : kGameCooperative;
    f.sortingBoxes = prefs.sortingBoxesAllowed != 0;
    int allowed = 0;
    for (int t = 0; t < kSetupTools; ++t) {
        f.tools[size_t(t)] = prefs.toolsAllowed[size_t(t)] != 0;
        allowed += f.tools[size_t(t)] ? 1 : 0;
    }
    f.cheats = allowed == kSetupTools ? Cheats::Yes : allowed == 0 ? Cheats::No : Cheats::Advanced;
    return f;
}

void CreateGameForm::scroll(Scroll action) {
    const bool up = action == Scroll::LineUp || action == Scroll::PageUp || action == Scroll::Top;
    maxPlayers = std::clamp(maxPlayers + (up ? 1 : -1), kMinPlayers, kMaxPlayers);
}

bool CreateGameForm::setMaxPlayersText(const std::string& text) {
    if (text.empty() || text.size() > 2) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < kMinPlayers || v > kMaxPlayers) return false;
    maxPlayers = v;
    return true;
}

std::optional<std::string> CreateGameForm::refusal() const {
    if (sessionName.empty()) return std::string(setup_text::kNeedSessionName);
    return std::nullopt;
}

NetOptions CreateGameForm::options(uint32_t seed) const {
    NetOptions o;
    // The name field holds at most 127 characters and its NUL.
    o.sessionName = sessionName.substr(0, kPathField - 1);
    o.maxPlayers = uint32_t(std::clamp(maxPlayers, kMinPlayers, kMaxPlayers));
    o.gameType = gameType;
    o.allowed[0] = sortingBoxes ? 1 : 0;
    for (int t = 0; t < kSetupTools; ++t)
        o.allowed[size_t(t + 1)] = cheats == Cheats::Yes ? 1 : cheats == Cheats::No ? 0 : tools[size_t(t)] ? 1 : 0;
    o.seed = seed;
    return o;
}

void CreateGameForm::remember(PreferencesRecord& prefs) const {
    const NetOptions o = options(0);
    PreferencesRecord::setText(prefs.sessionName, o.sessionName);
    prefs.maxPlayers = int32_t(o.maxPlayers);
    prefs.gameType = int32_t(o.gameType);
    prefs.sortingBoxesAllowed = int32_t(o.allowed[0]);
    for (int t = 0; t < kSetupTools; ++t) prefs.toolsAllowed[size_t(t)] = int32_t(o.allowed[size_t(t + 1)]);
}

// ------------------------------------------------------------ join list

std::array<std::string, 6> sessionInfoLines(const SessionDesc* desc) {
    std::array<std::string, 6> lines = {"Max Players: ",   "Current Players: ", "Game Type: ",
                                        "Sorting Boxes: ", "Rotated Pieces: ",  "Cheats Allowed: "};
    if (!desc) return lines;
    const NetOptions o = optionsOfDescription(*desc);
    lines[0] += std::to_string(o.maxPlayers);
    lines[1] += std::to_string(desc->currentPlayers > 0 ? desc->currentPlayers - 1 : 0);
    static const char* const types[] = {setup_text::kCooperative, setup_text::kCompetitive,
                                        setup_text::kTeamCompetitive};
    if (o.gameType <= kGameTeamCompetitive) lines[2] += types[o.gameType];
    lines[3] += onOff(o.allowed[0] != 0);
    lines[4] += onOff((desc->user3 >> 6) & 1);
    lines[5] += allowedToolsText(o, false);
    return lines;
}

void JoinList::update(const std::vector<FoundSession>& found) {
    for (const FoundSession& f : found) {
        auto known = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
            return e.target.address == f.address && e.target.port == f.port;
        });
        if (known != entries_.end())
            known->desc = f.desc;
        else
            entries_.push_back({{f.address, f.port}, f.desc});
    }
}

void JoinList::refresh(const NetSettings& settings, int waitMs) { update(Session::findSessions(settings, waitMs)); }

bool JoinList::addByAddress(const NetSettings& settings, const std::string& address, int waitMs) {
    NetSettings direct = settings;
    direct.broadcastAddress = address;
    const std::vector<FoundSession> found = Session::findSessions(direct, waitMs);
    update(found);
    return !found.empty();
}

std::vector<std::string> JoinList::names() const {
    std::vector<std::string> out;
    for (const Entry& e : entries_) out.push_back(displayableText(e.desc.name, kPathField - 1));
    return out;
}

std::optional<JoinTarget> JoinList::choose(int row, std::string& message) const {
    if (row < 0 || size_t(row) >= entries_.size()) {
        message = setup_text::kSelectGameFirst;
        return std::nullopt;
    }
    return entries_[size_t(row)].target;
}

// ------------------------------------------------------------ game data

std::optional<Point> NetPuzzle::playArea() const {
    const Point area{int32_t(field0 & 0xFFFF), int32_t(field0 >> 16)};
    if (area.x < kMinPlayArea.x || area.y < kMinPlayArea.y || area.x > kMaxPlayArea.x || area.y > kMaxPlayArea.y)
        return std::nullopt;
    return area;
}

std::array<uint32_t, kGameDataFields> NetPuzzle::toGameData() const {
    return {field0,         pickerValue,    pictureKind,         uint32_t(snapTolerance), puzzleState, rotation,
            uint32_t(columns), uint32_t(rows), uint32_t(pictureWidth), uint32_t(pictureHeight)};
}

std::optional<NetPuzzle> NetPuzzle::fromGameData(const std::array<uint32_t, kGameDataFields>& f, std::string& why) {
    // The largest picture side any loader accepts.
    constexpr uint32_t kMaxSide = 32768;
    NetPuzzle p;
    p.field0 = f[0];
    p.pickerValue = f[1];
    p.pictureKind = f[2];
    p.snapTolerance = int32_t(f[3]);
    p.puzzleState = f[4];
    p.rotation = f[5];
    if (p.pictureKind > kPictureMovieWithData) {
        why = "unknown picture kind " + std::to_string(f[2]);
        return std::nullopt;
    }
    if (p.rotation > 1) {
        why = "rotation option " + std::to_string(f[5]);
        return std::nullopt;
    }
    if (f[6] < 1 || f[7] < 1 || uint64_t(f[6]) * f[7] > uint64_t(kMaxPuzzlePieces)) {
        why = "a grid of " + std::to_string(f[6]) + " x " + std::to_string(f[7]) + " pieces";
        return std::nullopt;
    }
    if (f[8] < 1 || f[9] < 1 || f[8] > kMaxSide || f[9] > kMaxSide || f[8] / f[6] < 1 || f[9] / f[7] < 1) {
        why = "a picture of " + std::to_string(f[8]) + " x " + std::to_string(f[9]) + " pixels for that grid";
        return std::nullopt;
    }
    p.columns = int32_t(f[6]);
    p.rows = int32_t(f[7]);
    p.pictureWidth = int32_t(f[8]);
    p.pictureHeight = int32_t(f[9]);
    return p;
}

void copyOptionsToRecord(const NetOptions& options, SettingsRecord& record) {
    constexpr size_t kStretch = 1072;
    auto bytes = record.encode();
    const auto opts = encodeNetOptions(options);
    std::memcpy(bytes.data() + kStretch, opts.data(), opts.size());
    record = SettingsRecord::decode(bytes);
}

// ------------------------------------------------------------ the flow

NetGameSetup::NetGameSetup(SetupGame& game, SetupFrontEnd& frontEnd, Preferences& prefs)
    : game_(game), fe_(frontEnd), prefs_(prefs) {}

NetGameSetup::~NetGameSetup() = default;

bool NetGameSetup::isHost() const {
    Session* s = game_.layer().session();
    return s && s->isHost();
}

bool NetGameSetup::sessionOpen() {
    Session* s = game_.layer().session();
    return game_.layer().sessionOpen() && s && s->isOpen();
}

void NetGameSetup::event(SetupEvent e) {
    {
        std::lock_guard lock(m_);
        // A window that never reads them keeps only the newest.
        if (events_.size() >= 256) events_.erase(events_.begin());
        events_.push_back(e);
    }
    ++revision_;
}

std::vector<SetupEvent> NetGameSetup::takeEvents() {
    std::lock_guard lock(m_);
    return std::exchange(events_, {});
}

std::vector<NetGameSetup::Player> NetGameSetup::players() const {
    std::vector<Player> out;
    NetLayer& layer = game_.layer();
    Session* s = layer.session();
    if (!s || !layer.sessionOpen()) return out;
    const PlayerTable table = layer.playerTable();
    const std::vector<PlayerRecord> records = s->players();
    for (int slot = 0; slot < kPlayerSlots; ++slot) {
        if (!(table.inUse[size_t(slot)] & 1)) continue;
        Player p;
        p.slot = slot;
        p.id = table.dpid[size_t(slot)];
        p.local = p.id == layer.localPlayerId();
        for (const PlayerRecord& r : records)
            if (r.id == p.id) {
                p.name = displayableText(r.name, kMaxNameLength);
                p.data = PlayerData::decode(r.data);
            }
        if (p.local) p.data = layer.localPlayerData();
        out.push_back(std::move(p));
    }
    return out;
}

bool NetGameSetup::publish(const PlayerData& data) { return game_.layer().setLocalPlayerData(data); }

void NetGameSetup::setJoinable(bool joinable) {
    Session* s = game_.layer().session();
    if (!s || !s->isHost()) return;
    SessionDesc d = s->desc();
    const uint32_t flags = joinable ? d.flags & ~kSessionJoinDisabled : d.flags | kSessionJoinDisabled;
    if (flags == d.flags) return;
    d.flags = flags;
    s->setDesc(d);
}

void NetGameSetup::fail(const std::string& message, const std::string& caption) {
    if (!message.empty()) fe_.showMessage(message, caption);
    leave();
}

void NetGameSetup::leave() {
    // The transfer threads send: they end before the session does.
    game_.stopTransfers();
    game_.layer().closeSession();
    step_ = Step::Ended;
}

bool NetGameSetup::askNameAndConnection() {
    step_ = Step::PlayerName;
    const std::optional<std::string> name = fe_.askPlayerName(PreferencesRecord::text(prefs_.record.playerName));
    if (!name) return false;
    // The name field keeps 63 characters; an empty name plays as "Player".
    std::string kept = name->empty() ? std::string(setup_text::kDefaultPlayerName) : name->substr(0, kMaxNameLength);
    PreferencesRecord::setText(prefs_.record.playerName, kept);
    playerName_ = kept;

    step_ = Step::Connection;
    const std::vector<std::string> entries = game_.layer().fillConnections();
    if (entries.empty()) return false;
    const std::optional<std::string> chosen = fe_.chooseConnection(entries);
    return chosen && game_.layer().chooseConnection(*chosen);
}

bool NetGameSetup::host(std::optional<uint32_t> seed) {
    begun_ = false;
    kicked_ = false;
    tookOver_ = false;
    latecomer_ = false;
    if (!hostSetUp(seed)) {
        if (step_ != Step::Ended) step_ = Step::Idle;
        return false;
    }
    return afterRoom(fe_.runWaitingRoom(*this));
}

bool NetGameSetup::hostSetUp(std::optional<uint32_t> seed) {
    if (!askNameAndConnection()) return false;

    step_ = Step::Create;
    CreateGameForm form = CreateGameForm::fromPreferences(prefs_.record);
    if (!fe_.editCreateGame(form) || form.refusal()) return false;
    form.remember(prefs_.record);

    step_ = Step::Picture;
    const std::optional<std::string> chosen = fe_.choosePicture();
    if (!chosen) return false;
    int32_t width = 0, height = 0;
    std::string message;
    if (!game_.loadPicture(*chosen, width, height, message)) {
        fe_.showMessage(message, {});
        return false;
    }
    const PieceCountRules rules(width, height);
    const std::optional<PieceCountChoice> count = fe_.askPieceCount(rules, prefs_.record.rotatedPieces != 0);
    if (!count) return false;
    prefs_.record.rotatedPieces = count->rotate ? 1 : 0;

    NetPuzzle p;
    p.setPlayArea(game_.playArea());
    p.pictureKind = pictureKindForName(*chosen).value_or(kPictureJpeg);
    p.puzzleState = kPuzzleStateNew;
    p.rotation = count->rotate ? 1 : 0;
    p.columns = count->grid.columns;
    p.rows = count->grid.rows;
    p.pictureWidth = width;
    p.pictureHeight = height;
    std::string why;
    if (!NetPuzzle::fromGameData(p.toGameData(), why)) {
        fe_.showMessage("The picture cannot be cut into that many pieces: " + why, {});
        return false;
    }
    {
        std::lock_guard lock(m_);
        options_ = form.options(seed ? *seed : millisecondTicks());
        puzzle_ = p;
        picture_ = *chosen;
        hostPicture_ = imageNamePath(*chosen);
        pictureSize_ = announcedPictureSize(*chosen);
    }
    game_.applyOptions(options_);
    game_.servePicture(*chosen);

    NetLayer& layer = game_.layer();
    if (!layer.openSession(options_.sessionName, playerName_, options_.maxPlayers, options_.gameType, options_.seed,
                           optionMaskOf(options_, p.rotation != 0)))
        return false;  // the layer said why
    PlayerData d = layer.localPlayerData();
    d.state = uint32_t(PlayerState::PictureLoaded);
    publish(d);
    openRoom();
    return true;
}

bool NetGameSetup::join() {
    begun_ = false;
    kicked_ = false;
    tookOver_ = false;
    latecomer_ = false;
    if (!joinSetUp()) {
        if (step_ != Step::Ended) step_ = Step::Idle;
        return false;
    }
    if (latecomer_) return startOnThisMachine();
    return afterRoom(fe_.runWaitingRoom(*this));
}

bool NetGameSetup::joinSetUp() {
    if (!askNameAndConnection()) return false;
    step_ = Step::Join;
    JoinList list;
    NetLayer& layer = game_.layer();
    for (;;) {
        const std::optional<JoinTarget> target = fe_.chooseSession(list);
        if (!target) return false;
        if (layer.joinSession(target->address, target->port, playerName_) == JoinResult::Ok) break;
        fe_.showMessage(setup_text::kUnableToJoin, {});
    }
    step_ = Step::Requests;
    if (!requestGame()) {
        fail(setup_text::kUnableToJoin);
        return false;
    }
    step_ = Step::Picture;
    if (!findPicture()) return false;

    PlayerData d = layer.localPlayerData();
    d.state = uint32_t(PlayerState::PictureLoaded);
    publish(d);
    PlayerDataBytes server{};
    Session* s = layer.session();
    if (s && s->playerData(kServerPlayer, server) &&
        PlayerData::decode(server).state == uint32_t(PlayerState::Playing)) {
        latecomer_ = true;
        d.state = uint32_t(PlayerState::Synchronising);
        takeSmallerTeam(d);
        publish(d);
        return true;
    }
    openRoom();
    return true;
}

// The three requests of a joining player, each answered before the next.
bool NetGameSetup::requestGame() {
    NetLayer& layer = game_.layer();
    auto ask = [&](uint16_t request, uint16_t answer, GameMessage& out) {
        uint8_t header[4];
        storeU32(header, request);
        if (!layer.sendAndWait(kServerPlayer, 0, header, answer, true, kRequestLimitMs)) return false;
        const std::vector<uint8_t> bytes = layer.reply();
        std::string why;
        std::optional<GameMessage> m = decodeMessage(bytes, MessageLimits{}, why);
        if (!m || m->id != answer) return false;
        out = std::move(*m);
        return true;
    };
    GameMessage data, options, name;
    if (!ask(kMsgRequestGameData, kMsgGameData, data) || !ask(kMsgRequestNetOptions, kMsgNetOptions, options) ||
        !ask(kMsgRequestImageName, kMsgImageName, name))
        return false;
    std::string why;
    const std::optional<NetPuzzle> p = NetPuzzle::fromGameData(data.gameData, why);
    if (!p || name.text.empty()) return false;
    {
        std::lock_guard lock(m_);
        puzzle_ = *p;
        options_ = options.options;
        hostPicture_ = name.text;
        pictureSize_ = name.fileSize;
    }
    game_.applyOptions(options_);
    return true;
}

// The host's picture, here: by its path, and of the size the host cuts.
bool NetGameSetup::findPicture() {
    std::string local = hostPicture_;
    int32_t width = 0, height = 0;
    std::string message;
    std::error_code ec;
    bool found = std::filesystem::is_regular_file(local, ec);
    if (found) {
        found = game_.loadPicture(local, width, height, message) && width == puzzle_.pictureWidth &&
                height == puzzle_.pictureHeight;
    }
    if (!found) {
        std::string arrived;
        if (!fe_.offerDownload(hostPicture_, pictureSize_, arrived)) {
            fail(document_text::kImageNotFound);
            return false;
        }
        local = arrived;
        if (!game_.loadPicture(local, width, height, message) || width != puzzle_.pictureWidth ||
            height != puzzle_.pictureHeight) {
            fail(message.empty() ? std::string(document_text::kImageNotFound) : message);
            return false;
        }
    }
    std::lock_guard lock(m_);
    picture_ = local;
    return true;
}

void NetGameSetup::openRoom() {
    step_ = Step::WaitingRoom;
    PlayerData d = game_.layer().localPlayerData();
    bool changed = false;
    if (options_.gameType == kGameCooperative || isHost()) {
        d.setReadyFlag(true);
        changed = true;
    }
    changed = takeSmallerTeam(d) || changed;
    if (changed) publish(d);
    setJoinable(true);
}

// Team Competitive: a player without a team (none from a lobby) takes the
// one with fewer players, so the teams stay even as players arrive.
bool NetGameSetup::takeSmallerTeam(PlayerData& d) const {
    if (options_.gameType != kGameTeamCompetitive || d.team() != 0) return false;
    std::array<int, kTeams + 1> members{};
    const uint32_t me = game_.layer().localPlayerId();
    for (const Player& p : players())
        if (p.id != me && p.data.team() >= 1 && p.data.team() <= uint32_t(kTeams)) ++members[p.data.team()];
    d.setTeam(members[2] < members[1] ? 2 : 1);
    return true;
}

bool NetGameSetup::setTeam(int team) {
    if (options_.gameType != kGameTeamCompetitive || team < 1 || team > kTeams || step_ != Step::WaitingRoom)
        return false;
    PlayerData d = game_.layer().localPlayerData();
    d.setTeam(uint32_t(team));
    publish(d);
    ++revision_;
    return true;
}

void NetGameSetup::setReady(bool ready) {
    PlayerData d = game_.layer().localPlayerData();
    d.setReadyFlag(ready);
    publish(d);
    ++revision_;
}

bool NetGameSetup::allReady() const {
    const std::vector<Player> list = players();
    return !list.empty() && std::all_of(list.begin(), list.end(), [](const Player& p) { return p.data.readyFlag(); });
}

std::optional<std::string> NetGameSetup::begin() {
    if (!isHost()) return std::string();
    const std::vector<Player> list = players();
    if (options_.gameType != kGameCooperative)
        for (const Player& p : list)
            if (!p.data.readyFlag()) return std::string(setup_text::kWaitForReady);
    if (!allReady()) return std::string(setup_text::kWaitForDownloads);

    NetLayer& layer = game_.layer();
    setJoinable(false);
    layer.sendHeaderOnly(kServerPlayer, kAllPlayers, kMsgBeginGame);
    if (Session* s = layer.session()) {
        PlayerData server;
        PlayerDataBytes bytes{};
        if (s->playerData(kServerPlayer, bytes)) server = PlayerData::decode(bytes);
        server.state = uint32_t(PlayerState::Playing);
        s->setPlayerData(kServerPlayer, server.encode());
    }
    PlayerData d = layer.localPlayerData();
    d.setReadyFlag(false);
    publish(d);
    begun_ = true;
    event(SetupEvent::BeginGame);
    return std::nullopt;
}

bool NetGameSetup::kick(int slot) {
    if (!isHost() || slot <= 0 || slot >= kPlayerSlots) return false;
    const PlayerTable table = game_.layer().playerTable();
    if (!(table.inUse[size_t(slot)] & 1)) return false;
    return game_.layer().sendHeaderOnly(kServerPlayer, table.dpid[size_t(slot)], kMsgKickPlayer) != 0;
}

bool NetGameSetup::afterRoom(RoomResult result) {
    for (;;) {
        if (result != RoomResult::Start || kicked_) {
            const bool wasKicked = kicked_.load();
            leave();
            if (wasKicked) fe_.showMessage(setup_text::kKicked, setup_text::kKickCaption);
            return false;
        }
        if (begun_) break;
        // A room that closed with Start before the game began: the host's
        // Start is tried here and a refusal reopens the room; a player has
        // nothing to start.
        if (!isHost()) {
            fail({});
            return false;
        }
        const std::optional<std::string> refused = begin();
        if (!refused) break;
        fe_.showMessage(*refused, {});
        result = fe_.runWaitingRoom(*this);
    }
    return startOnThisMachine();
}

bool NetGameSetup::startOnThisMachine() {
    step_ = Step::Cutting;
    std::string message;
    if (!game_.cut(puzzle_, picture_, options_, message)) {
        fail(message);
        return false;
    }
    NetLayer& layer = game_.layer();
    PlayerData d = layer.localPlayerData();
    d.setReadyFlag(true);
    publish(d);

    if (latecomer_) {
        // The holder table is rebuilt on starting; the synchronisation
        // then brings in the pieces' places and holders.
        step_ = Step::Synchronising;
        game_.startPlay();
        if (!fe_.synchronise(*this)) {
            fail({});
            return false;
        }
    } else {
        step_ = Step::WaitingForOthers;
        d.state = uint32_t(PlayerState::WaitingForOthers);
        publish(d);
        // A player counts once its ready field is set after its own cut:
        // the ready field alone may still be the waiting room's.
        for (;;) {
            if (!sessionOpen()) {
                fe_.waitingClosed();
                fail({});
                return false;
            }
            const std::vector<Player> list = players();
            int done = 0;
            for (const Player& p : list)
                if (p.data.readyFlag() && (p.data.state == uint32_t(PlayerState::WaitingForOthers) ||
                                          p.data.state == uint32_t(PlayerState::Playing)))
                    ++done;
            const int total = std::max(int(list.size()), 1);
            fe_.waitingProgress(done * 100 / total);
            if (done == int(list.size())) break;
            game_.pump(100);
        }
        fe_.waitingClosed();
    }
    d = layer.localPlayerData();
    d.state = uint32_t(PlayerState::Playing);
    publish(d);
    if (isHost() && options_.gameType != kGameCompetitive) setJoinable(true);
    if (!latecomer_) game_.startPlay();
    step_ = Step::Playing;
    return true;
}

std::optional<NetGameSetup::Ending> NetGameSetup::endedFromOutside() {
    if (step_ != Step::Playing) return std::nullopt;
    if (kicked_) return Ending{setup_text::kKicked, setup_text::kKickCaption};
    if (!sessionOpen() || (tookOver_ && players().size() < 2)) return Ending{setup_text::kHostLost, {}};
    return std::nullopt;
}

bool NetGameSetup::exitGame() {
    const bool catchingUp = playersSynchronising ? playersSynchronising() : game_.anyPlayerSynchronising();
    if (isHost() && catchingUp) {
        fe_.showMessage(setup_text::kPlayersSynchronising, {});
        return false;
    }
    leave();
    return true;
}

// ---- from the dispatcher (the server thread on the host) ----

bool NetGameSetup::setUpReply(const GameMessage& request, GameMessage& reply) {
    std::lock_guard lock(m_);
    if (request.id == kMsgRequestGameData) {
        reply.id = kMsgGameData;
        reply.gameData = puzzle_.toGameData();
        return true;
    }
    if (request.id == kMsgRequestImageName) {
        reply.id = kMsgImageName;
        reply.text = hostPicture_;
        reply.fileSize = pictureSize_;
        return true;
    }
    return false;
}

void NetGameSetup::setUpMessage(const GameMessage& message, uint32_t from) {
    if (message.id != kMsgBeginGame || from != kServerPlayer) return;
    if (step_ != Step::WaitingRoom || isHost() || begun_) return;
    PlayerData d = game_.layer().localPlayerData();
    d.setReadyFlag(false);
    publish(d);
    begun_ = true;
    event(SetupEvent::BeginGame);
}

void NetGameSetup::noteKicked() {
    // In the waiting room or the running game; the game's own end follows
    // from endedFromOutside().
    const Step step = step_.load();
    if (step < Step::WaitingRoom || step == Step::Ended || isHost()) return;
    kicked_ = true;
    event(SetupEvent::Kicked);
}

void NetGameSetup::noteSystem(const Received& message) {
    switch (message.kind) {
        case SystemKind::PlayerCreated:
            if (!(message.playerFlags & kPlayerServer)) event(SetupEvent::PlayerArrived);
            break;
        case SystemKind::PlayerDestroyed:
            if (message.playerId != kServerPlayer) event(SetupEvent::PlayerLeft);
            break;
        case SystemKind::PlayerDataChanged: event(SetupEvent::PlayerData); break;
        case SystemKind::BecameHost: break;  // noteNewHost follows once the server player is made
        case SystemKind::None: break;
    }
}

// This machine became host. In the waiting room it opens the session to
// newcomers and, as a host does, counts as ready.
void NetGameSetup::noteNewHost(bool thisMachine) {
    if (thisMachine) tookOver_ = true;
    if (thisMachine && step_ == Step::WaitingRoom) {
        PlayerData d = game_.layer().localPlayerData();
        d.setReadyFlag(true);
        publish(d);
        setJoinable(true);
    }
    event(SetupEvent::NewHost);
}

}  // namespace pavalo::net

// Reliability tests: the seeded scenario generator.
#include "tests/reliability/scenario.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sstream>
#include <utility>

#include "engine/path.h"

namespace tandemere::testing {
namespace {

// Names both trees draw from, so that clashes happen at every depth: letter case, blanks, dots,
// a leading dot, format characters, free-name look-alikes and non-ASCII.
const std::vector<std::string> kNames = {"a.txt",
                                         "b.txt",
                                         "A.txt",
                                         "a (2).txt",
                                         "x y.dat",
                                         ".hidden",
                                         "100%.txt",
                                         "%s%n.log",
                                         "\xC3\xA9t\xC3\xA9.txt",
                                         "\xE6\x97\xA5\xE6\x9C\xAC.bin",
                                         "a.b.c",
                                         "noext",
                                         "trail.",
                                         "notes.old copy",
                                         "sub",
                                         "Sub",
                                         "data",
                                         " lead",
                                         "photo.jpg",
                                         "photo (2).jpg",
                                         "..dots",
                                         "Thumbs.db",
                                         ".DS_Store",
                                         "desktop.ini",
                                         "z"};

#ifdef EDQUOT
constexpr int kQuotaErrno = EDQUOT;
#else
constexpr int kQuotaErrno = ENOSPC;  // mingw has no quotas; faults are injected on POSIX only
#endif

// The backend's system calls in SyscallFaults::Call order, each with the errno values it can
// really give: no space, no permission, a failing device, a name too long, a target that appeared.
struct CallErrors {
    std::vector<int> m_lstErrnos;
};
const std::vector<CallErrors> kCallErrors = {
    {{EACCES, ENOSPC, EIO, ENAMETOOLONG, EEXIST, EMFILE}},  // openat
    {{EIO}},                                                // read
    {{ENOSPC, EIO, kQuotaErrno}},                           // write
    {{ENOSPC, EIO}},                                        // copy_file_range
    {{EIO, ENOSPC}},                                        // fsync
    {{EPERM, EACCES}},                                      // fchmod
    {{EPERM, EACCES}},                                      // futimens
    {{ENOSPC, EACCES, EEXIST, EIO}},                        // mkdirat
    {{ENOSPC, EEXIST, EACCES}},                             // symlinkat
    {{EACCES, EEXIST, EIO, ENOSPC, EXDEV, ENAMETOOLONG}},   // renameat2
    {{EEXIST, EACCES}},                                     // linkat
    {{EACCES, EIO, EBUSY, EPERM}},                          // unlinkat
};

std::string RandomBytes(ScenarioRandom& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>('a' + random.Below(26));
    return bytes;
}

// Generates one scenario; holds the state that the steps share.
class Generator {
public:
    Generator(std::uint64_t seed, const ScenarioOptions& options) : m_oRandom(seed), m_rOptions(options) {
        m_oScenario.m_nSeed = seed;
    }
    Scenario Make();

private:
    void MakeContents();
    // A name for an entry of `folder` (relative, written with '/').
    std::string PickName(const std::string& folder);
    // Adds an entry unless its path or a parent's is taken by something else; parents are
    // added as folders. False when it could not be added.
    bool Add(const std::string& path, const PlannedEntry& entry);
    PlannedEntry RandomFile();
    void GrowFolder(const std::string& folder, int depth);
    // Another name, at `path`, of a source file made before it; false when there is none.
    bool AddHardLink(const std::string& path);
    bool HasOtherNames(const std::string& path) const {
        for (const auto& [other, entry] : m_oScenario.m_mapEntries)
            if (entry.m_nKind == PlannedKind::HardLink && entry.m_strLinkTarget == path) return true;
        return false;
    }
    void MirrorFolder(const std::string& mirror, std::uint32_t roll);
    void Mirror();
    void PickDestination();
    void PickDropped();
    void PickSettings();
    void PickAnswers();
    void PickFaults();
    void PickEdits();
    void PlantCopyLeft();
    std::string AnswerSetting(const char* name);

    ScenarioRandom m_oRandom;
    const ScenarioOptions& m_rOptions;
    Scenario m_oScenario;
    std::vector<std::string> m_lstContents;
    std::vector<std::uint64_t> m_lstTicks;
};

Scenario Generator::Make() {
    MakeContents();
    m_oScenario.m_mapEntries["src"].m_nKind = PlannedKind::Folder;
    m_oScenario.m_mapEntries["dst"].m_nKind = PlannedKind::Folder;
    GrowFolder("src", 0);
    GrowFolder("dst", 1);
    Mirror();
    // A temporary copy of ours left by a killed move: never anyone's file, never a candidate.
    if (m_oRandom.Chance(4)) Add("dst/.tandemere-" + RandomBytes(m_oRandom, 12) + ".part", RandomFile());
    PickDestination();
    PickDropped();
    PickSettings();
    PickAnswers();
    PickFaults();
    PickEdits();
    // Drawn last, so every other draw of a seed stays as it was: a family that goes on past errors.
    m_oScenario.m_bSkipErrors = !m_oScenario.m_lstFaults.empty() && m_oRandom.Chance(2);
    PlantCopyLeft();
    return std::move(m_oScenario);
}

void Generator::MakeContents() {
    // Empty files, equal sizes with other bytes, and now and then one past the comparison's block.
    const std::size_t size = 1 + m_oRandom.Below(300);
    std::string first = RandomBytes(m_oRandom, size);
    std::string twin = first;
    twin[m_oRandom.Below(static_cast<std::uint32_t>(size))] ^= 1;
    m_lstContents = {"", first, twin, RandomBytes(m_oRandom, 1 + m_oRandom.Below(100)),
                     RandomBytes(m_oRandom, size)};
    if (m_oRandom.Chance(2))
        m_lstContents.push_back(RandomBytes(m_oRandom, (1u << 20) + 1 + m_oRandom.Below(4096)));
    const std::uint64_t base = 133000000000000000ULL + m_oRandom.Below(1000000) * 10000000ULL;
    m_lstTicks = {base, base + 10000000ULL, base + 1};
}

std::string Generator::PickName(const std::string& folder) {
    // Names at the length limit: a free name "(2)" made from them no longer fits. Windows limits
    // the whole path (MAX_PATH): there a long name brings a path near it from a top folder.
    const bool longFits = !m_rOptions.m_bWindowsNames || folder.size() < 8;
    if (m_oRandom.Chance(3)) {
        const std::size_t length = 246 + m_oRandom.Below(6);
        if (longFits) return std::string(m_rOptions.m_bWindowsNames ? length - 140 : length, 'L') + ".txt";
    }
    if (m_oRandom.Chance(1) && longFits) {
        std::string name;
        for (int i = 0; i < (m_rOptions.m_bWindowsNames ? 100 : 125); ++i) name += "\xC3\xA9";
        return name + ".txt";
    }
    for (;;) {
        const std::string& name = kNames[m_oRandom.Below(static_cast<std::uint32_t>(kNames.size()))];
        if (!m_rOptions.m_bWindowsNames ||
            (name.back() != '.' && name.back() != ' ' && name != "A.txt" && name != "Sub"))
            return name;
    }
}

bool Generator::Add(const std::string& path, const PlannedEntry& entry) {
    auto& entries = m_oScenario.m_mapEntries;
    if (entries.count(path) != 0) return false;
    for (std::size_t cut = path.find('/'); cut != std::string::npos; cut = path.find('/', cut + 1)) {
        auto parent = entries.find(path.substr(0, cut));
        if (parent != entries.end() && parent->second.m_nKind != PlannedKind::Folder) return false;
    }
    for (std::size_t cut = path.find('/'); cut != std::string::npos; cut = path.find('/', cut + 1))
        entries[path.substr(0, cut)].m_nKind = PlannedKind::Folder;
    entries[path] = entry;
    return true;
}

PlannedEntry Generator::RandomFile() {
    PlannedEntry file;
    file.m_strBytes = m_lstContents[m_oRandom.Below(static_cast<std::uint32_t>(m_lstContents.size()))];
    file.m_nTicks = m_lstTicks[m_oRandom.Below(static_cast<std::uint32_t>(m_lstTicks.size()))];
    if (m_rOptions.m_bPermissions && m_oRandom.Chance(8)) file.m_nMode = m_oRandom.Chance(50) ? 0444 : 0200;
    return file;
}

void Generator::GrowFolder(const std::string& folder, int depth) {
    const std::uint32_t count = m_oRandom.Below(depth == 0 ? 7 : 4) + (depth == 0 ? 1 : 0);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string path = folder + "/" + PickName(folder);
        const std::uint32_t kind = m_oRandom.Below(100);
        if (kind < 58 || depth >= 3) {
            Add(path, RandomFile());
        } else if (kind < 84) {
            PlannedEntry sub;
            sub.m_nKind = PlannedKind::Folder;
            if (m_rOptions.m_bPermissions && m_oRandom.Chance(25))
                sub.m_nMode = m_oRandom.Chance(70) ? 0555 : 0311;
            if (Add(path, sub)) GrowFolder(path, depth + 1);
        } else if (kind < 94 && m_rOptions.m_bLinks) {
            PlannedEntry link;
            link.m_nKind = PlannedKind::Link;
            const std::uint32_t target = m_oRandom.Below(3);
            link.m_strLinkTarget = target == 0   ? "missing-target"
                                   : target == 1 ? PickName(folder)
                                                 : "../" + PickName(folder);
            Add(path, link);
        } else if (m_rOptions.m_bHardLinks && folder.rfind("src", 0) == 0 && m_oRandom.Chance(50) &&
                   AddHardLink(path)) {
        } else if (m_rOptions.m_bPipesAmongEntries) {
            PlannedEntry pipe;
            pipe.m_nKind = PlannedKind::Pipe;
            Add(path, pipe);
        } else {
            Add(path, RandomFile());
        }
    }
}

bool Generator::AddHardLink(const std::string& path) {
    std::vector<std::string> files;
    for (const auto& [other, entry] : m_oScenario.m_mapEntries)
        if (entry.m_nKind == PlannedKind::File && other.rfind("src/", 0) == 0 && other < path)
            files.push_back(other);
    if (files.empty()) return false;
    PlannedEntry link;
    link.m_nKind = PlannedKind::HardLink;
    link.m_strLinkTarget = files[m_oRandom.Below(static_cast<std::uint32_t>(files.size()))];
    return Add(path, link);
}

// Puts what the sources hold into the destination too: the same file under its own name or
// another, a folder where a file is and a file where a folder is, folders to merge.
void Generator::Mirror() {
    std::vector<std::pair<std::string, PlannedEntry>> sources;
    for (const auto& [path, entry] : m_oScenario.m_mapEntries)
        if (path.rfind("src/", 0) == 0) sources.emplace_back(path, entry);
    for (const auto& [path, entry] : sources) {
        const std::string mirror = "dst" + path.substr(3);
        const std::string folder = mirror.substr(0, mirror.rfind('/'));
        const std::uint32_t roll = m_oRandom.Below(100);
        if (entry.m_nKind == PlannedKind::File) {
            PlannedEntry copy = entry;
            copy.m_nMode = 0;
            if (roll < 25) {
                Add(mirror, copy);
            } else if (roll < 38) {
                Add(folder + "/" + PickName(folder), copy);
            } else if (roll < 46) {
                Add(mirror + "/" + PickName(mirror), RandomFile());
            } else if (roll < 56) {
                Add(mirror, RandomFile());  // a different file of its name (a cache's own, too)
            }
        } else if (entry.m_nKind == PlannedKind::Folder) {
            MirrorFolder(mirror, roll);
        } else if (entry.m_nKind == PlannedKind::Link && roll < 40) {
            // A link of the same target text is the same link; another text is another link.
            PlannedEntry link = entry;
            if (roll >= 28) link.m_strLinkTarget += "-other";
            Add(mirror, link);
        }
    }
}

// A folder to merge with, a file of its name, or a link of its name: to the source folder itself or
// to a folder beside it, never merged into.
void Generator::MirrorFolder(const std::string& mirror, std::uint32_t roll) {
    PlannedEntry other;
    other.m_nKind = PlannedKind::Folder;
    if (roll < 35) {
        Add(mirror, other);
    } else if (roll < 47) {
        Add(mirror, RandomFile());
    } else if (roll < 55 && m_rOptions.m_bLinks) {
        std::string up;
        for (std::size_t depth = std::count(mirror.begin(), mirror.end(), '/'); depth > 0; --depth)
            up += "../";
        other.m_nKind = PlannedKind::Link;
        other.m_strLinkTarget = roll < 51 ? up + "src" + mirror.substr(3) : ".";
        Add(mirror, other);
    }
}

// Now and then what a killed move left of a dragged item in a drop folder on another volume, under a name
// tagged for it: a file's first bytes, or a folder with some of its files' first bytes; one time in three a
// byte differs. Drawn apart, so the rest of a seed's scenario stays as it was.
void Generator::PlantCopyLeft() {
    ScenarioRandom random(~m_oScenario.m_nSeed ^ 0x1EF7);
    const std::vector<std::string>& dropped = m_oScenario.m_lstDropped;
    // Copies are made, and so left, only across volumes.
    if (dropped.empty() || !m_oScenario.m_bDestOnOtherVolume || !random.Chance(60)) return;
    const std::string item = dropped[random.Below(static_cast<std::uint32_t>(dropped.size()))];
    const auto& entries = m_oScenario.m_mapEntries;
    std::vector<std::pair<std::string, PlannedEntry>> files;
    for (auto it = entries.lower_bound(item); it != entries.end() && it->first.rfind(item, 0) == 0; ++it)
        if (it->second.m_nKind == PlannedKind::File && (it->first == item || it->first[item.size()] == '/') &&
            random.Chance(60))
            files.emplace_back(it->first.substr(item.size()), it->second);
    const auto found = entries.find(item);
    if (found == entries.end() || (found->second.m_nKind == PlannedKind::File && files.empty())) return;
    const bool differs = random.Chance(33);
    const std::string copy =
        m_oScenario.m_strDestFolder + "/" + engine::TemporaryPrefixFor(item.substr(item.rfind('/') + 1)) +
        RandomBytes(random, engine::kTemporaryRandomLength - engine::kTemporaryTagLength) +
        std::string(engine::kTemporarySuffix);
    if (found->second.m_nKind == PlannedKind::Folder) Add(copy, found->second);
    for (auto& [below, file] : files) {
        file.m_strBytes.resize(random.Below(static_cast<std::uint32_t>(file.m_strBytes.size()) + 1));
        if (differs && !file.m_strBytes.empty()) file.m_strBytes.back() ^= 1;
        Add(copy + below, file);
    }
}

void Generator::PickDestination() {
    m_oScenario.m_bDestOnOtherVolume = m_rOptions.m_bOtherVolume && m_oRandom.Chance(15);
    if (!m_oRandom.Chance(4)) return;
    // Now and then the drop target lies inside a dragged folder: into itself, into its subfolder.
    std::vector<std::string> folders;
    for (const auto& [path, entry] : m_oScenario.m_mapEntries)
        if (entry.m_nKind == PlannedKind::Folder && path.rfind("src/", 0) == 0 && entry.m_nMode == 0)
            folders.push_back(path);
    if (folders.empty()) return;
    m_oScenario.m_strDestFolder = folders[m_oRandom.Below(static_cast<std::uint32_t>(folders.size()))];
    m_oScenario.m_bDestOnOtherVolume = false;
}

void Generator::PickDropped() {
    std::vector<std::string> top;
    std::vector<std::string> nested;
    std::vector<std::string> inDest;
    for (const auto& [path, entry] : m_oScenario.m_mapEntries) {
        const std::size_t depth = static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
        if (path.rfind("src/", 0) == 0) (depth == 1 ? top : nested).push_back(path);
        if (path.rfind("dst/", 0) == 0 && depth == 1) inDest.push_back(path);
    }
    std::vector<std::string>& dropped = m_oScenario.m_lstDropped;
    for (const std::string& path : top)
        if (m_oRandom.Chance(85)) dropped.push_back(path);
    if (!nested.empty() && m_oRandom.Chance(12))
        dropped.push_back(nested[m_oRandom.Below(static_cast<std::uint32_t>(nested.size()))]);
    if (!inDest.empty() && m_oRandom.Chance(10))
        dropped.push_back(inDest[m_oRandom.Below(static_cast<std::uint32_t>(inDest.size()))]);
    if (m_oRandom.Chance(3)) dropped.push_back("src/no such item");
    // Now and then a second dragged file of a dragged file's name, from another folder: the one
    // placed later meets the other in the destination. Drawn apart, so the rest stays as it was.
    ScenarioRandom again(~m_oScenario.m_nSeed ^ 0xA6A1);
    const bool twin = again.Chance(25);
    for (std::size_t i = 0; twin && i < dropped.size(); ++i) {
        const auto it = m_oScenario.m_mapEntries.find(dropped[i]);
        if (it == m_oScenario.m_mapEntries.end() || it->second.m_nKind != PlannedKind::File) continue;
        const std::string path = "src/again/" + dropped[i].substr(4);
        if (Add(path, RandomFile())) dropped.push_back(path);
        break;
    }
    if (dropped.empty() && !top.empty()) dropped.push_back(top.front());
    for (std::size_t i = dropped.size(); i > 1; --i)
        std::swap(dropped[i - 1], dropped[m_oRandom.Below(static_cast<std::uint32_t>(i))]);
}

std::string Generator::AnswerSetting(const char* name) {
    if (!m_oRandom.Chance(22)) return {};
    // Every answer, Cancel, "ask", and values no prompt ever stores.
    static const std::uint32_t s_lstValues[] = {230, 231, 232, 2, 0xFFFFFFFFu, 0, 7, 999, 230, 231, 232};
    const std::uint32_t value = s_lstValues[m_oRandom.Below(sizeof s_lstValues / sizeof s_lstValues[0])];
    char line[80];
    std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\n", name, value);
    return line;
}

void Generator::PickSettings() {
    std::string& text = m_oScenario.m_strSettings;
    if (m_oRandom.Chance(4))
        text += m_oRandom.Chance(50) ? "\"Logging\"=dword:00000000\n" : "\"Logging\"=dword:00000005\n";
    if (m_oRandom.Chance(25))
        text += m_oRandom.Chance(50) ? "\"FullPaths\"=dword:00000001\n" : "\"FullPaths\"=\"yes\"\n";
    if (m_oRandom.Chance(25)) text += "\"OnlyCompareSameExt\"=dword:00000001\n";
    for (const char* name : {"DiffFileSameNameDlgDefault", "FldrnameFnameClashDlgDefault",
                             "FnameFldrnameClashDlgDefault", "SameFileDiffNameDlgDefault"})
        text += AnswerSetting(name);
}

void Generator::PickAnswers() {
    const std::uint32_t count = m_oRandom.Below(14);
    for (std::uint32_t i = 0; i < count; ++i) {
        engine::PromptResult answer;
        answer.m_nAnswer = m_oRandom.Chance(3)
                               ? engine::AnswerCancel
                               : static_cast<std::int32_t>(engine::AnswerFirst + m_oRandom.Below(3));
        answer.m_bThisMove = m_oRandom.Chance(20);
        answer.m_bEveryMove = m_oRandom.Chance(8);
        m_oScenario.m_lstAnswers.push_back(answer);
    }
    for (int i = 0; i < 2; ++i) m_oScenario.m_lstYesNo.push_back(m_oRandom.Chance(50));
    if (m_oRandom.Chance(6)) m_oScenario.m_nCancelAtPump = 1 + static_cast<int>(m_oRandom.Below(20));
}

void Generator::PickFaults() {
    if (!m_rOptions.m_bSyscallFaults) return;
    const std::uint32_t roll = m_oRandom.Below(100);
    const std::uint32_t count = roll < 30 ? 0 : roll < 80 ? 1 : 2 + m_oRandom.Below(2);
    for (std::uint32_t i = 0; i < count; ++i) {
        PlannedFault fault;
        fault.m_nCall = static_cast<int>(m_oRandom.Below(static_cast<std::uint32_t>(kCallErrors.size())));
        fault.m_nNth = 1 + static_cast<int>(m_oRandom.Below(6));
        const std::vector<int>& errnos = kCallErrors[static_cast<std::size_t>(fault.m_nCall)].m_lstErrnos;
        fault.m_nErrno = errnos[m_oRandom.Below(static_cast<std::uint32_t>(errnos.size()))];
        m_oScenario.m_lstFaults.push_back(fault);
    }
}

void Generator::PickEdits() {
    std::vector<std::string> files;
    for (const auto& [path, entry] : m_oScenario.m_mapEntries)
        // A write to a file of several names would change the others too.
        if (entry.m_nKind == PlannedKind::File && entry.m_nMode == 0 && !HasOtherNames(path))
            files.push_back(path);
    if (!files.empty() && m_oRandom.Chance(8)) {
        m_oScenario.m_nEditAtPump = 1 + static_cast<int>(m_oRandom.Below(12));
        m_oScenario.m_strEditPath = files[m_oRandom.Below(static_cast<std::uint32_t>(files.size()))];
    }
    if (m_oRandom.Chance(10)) {
        m_oScenario.m_nEditAtPrompt = 1 + static_cast<int>(m_oRandom.Below(3));
        m_oScenario.m_bEditDestination = m_oRandom.Chance(50);
    }
}

const char* KindName(PlannedKind kind) {
    switch (kind) {
        case PlannedKind::File:
            return "file";
        case PlannedKind::Folder:
            return "folder";
        case PlannedKind::Link:
            return "link";
        case PlannedKind::Pipe:
            return "pipe";
        case PlannedKind::HardLink:
            return "hard link";
    }
    return "?";
}

}  // namespace

std::uint64_t ScenarioRandom::Next() {
    std::uint64_t z = (m_nState += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

Scenario GenerateScenario(std::uint64_t seed, const ScenarioOptions& options) {
    Scenario scenario = Generator(seed, options).Make();
    if (options.m_nTrashPercent > 0 && ScenarioRandom(~seed).Chance(options.m_nTrashPercent)) {
        scenario.m_bTrash = true;
        scenario.m_strSettings += "\"DeleteToRecycleBin\"=dword:00000001\n";
    }
    // A quarter search the whole destination tree, some with the answer remembered (or a value no
    // prompt stores, 231 among them).
    ScenarioRandom tree(seed * 31 + 7);
    if (tree.Chance(25)) {
        scenario.m_bSearchTree = true;
        scenario.m_strSettings += "\"SearchWholeDestination\"=dword:00000001\n";
        static const char* const s_lstAnswers[] = {"000000e6", "000000e7", "000000e8", "ffffffff"};
        if (tree.Chance(30))
            scenario.m_strSettings +=
                std::string("\"SameFileElsewhereDlgDefault\"=dword:") + s_lstAnswers[tree.Below(4)] + "\n";
    }
    return scenario;
}

std::string Scenario::Describe() const {
    std::ostringstream text;
    text << "seed " << m_nSeed << ", destination " << m_strDestFolder
         << (m_bDestOnOtherVolume ? " (other volume)" : "") << "\n";
    for (const auto& [path, entry] : m_mapEntries) {
        text << "  " << path << ": " << KindName(entry.m_nKind);
        if (entry.m_nKind == PlannedKind::File)
            text << " " << entry.m_strBytes.size() << " bytes \"" << entry.m_strBytes.substr(0, 12) << "\" t"
                 << entry.m_nTicks % 100000000ULL;
        if (entry.m_nKind == PlannedKind::Link || entry.m_nKind == PlannedKind::HardLink)
            text << " -> " << entry.m_strLinkTarget;
        if (entry.m_nMode != 0) text << " mode " << std::oct << entry.m_nMode << std::dec;
        text << "\n";
    }
    text << "dropped:";
    for (const std::string& path : m_lstDropped) text << " [" << path << "]";
    text << "\nsettings: " << (m_strSettings.empty() ? "none\n" : "\n" + m_strSettings);
    text << "answers:";
    for (const engine::PromptResult& answer : m_lstAnswers)
        text << " " << answer.m_nAnswer << (answer.m_bThisMove ? "+" : "")
             << (answer.m_bEveryMove ? "!" : "");
    text << "; yes/no:";
    for (bool yes : m_lstYesNo) text << (yes ? " y" : " n");
    text << "; cancel at pump " << m_nCancelAtPump << "\nfaults" << (m_bSkipErrors ? " (skipped):" : ":");
    for (const PlannedFault& fault : m_lstFaults)
        text << " call " << fault.m_nCall << " #" << fault.m_nNth << " errno " << fault.m_nErrno;
    text << "\nedits: at pump " << m_nEditAtPump << " " << m_strEditPath << ", at prompt " << m_nEditAtPrompt
         << (m_bEditDestination ? " (destination)" : " (source)") << "\n";
    return text.str();
}

}  // namespace tandemere::testing

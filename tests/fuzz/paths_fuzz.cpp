// Fuzz target: the path rules of both styles on paths built from a root and components: a path
// split into folder and name joins back to itself, extensions cut and rejoin, roots stay roots.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/path.h"
#include "tests/fuzz/fuzz_check.h"

using namespace tandemere::engine;
using tandemere::fuzz::Check;

namespace {

// The root a path starts with, by the style and a choice: relative, the separator alone, a drive,
// a share.
std::string Root(const PathStyle& style, std::uint8_t choice) {
    const std::string sep(1, style.m_chSeparator);
    if (choice == 0) return "";
    if (!style.m_bWindowsRoots || choice == 1) return sep;
    if (choice == 2) return "C:" + sep;
    return sep + sep + "server" + sep + "share" + sep;
}

// Components from the input, split at NUL bytes; separators (and on Windows drive colons and
// slashes) inside a component become '_', empty components are left out.
std::vector<std::string> Components(const PathStyle& style, const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == '\0') {
            parts.emplace_back();
            continue;
        }
        if (c == style.m_chSeparator || (style.m_bWindowsRoots && (c == ':' || c == '/'))) c = '_';
        parts.back() += c;
    }
    std::vector<std::string> kept;
    for (std::string& part : parts)
        if (!part.empty()) kept.push_back(std::move(part));
    return kept;
}

std::string Joined(const PathStyle& style, const std::string& root, const std::vector<std::string>& parts,
                   std::size_t count) {
    std::string path = root;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) path += style.m_chSeparator;
        path += parts[i];
    }
    return path;
}

void CheckExtension(const PathStyle& style, const std::string& path, const std::string& name) {
    const std::string ext(FindExtension(style, path));
    Check(ext == FindExtension(style, name), "the extension of a path is its name's");
    Check(ext.size() <= name.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0,
          "the extension ends the name");
    std::string cut = path;
    RemoveExtension(style, cut);
    Check(cut + ext == path, "the path without its extension, and the extension, rejoin");
    const std::size_t dot = name.rfind('.');
    const bool expected = dot != std::string::npos && name.find(' ', dot) == std::string::npos;
    Check(ext.empty() != expected, "an extension exactly when a dot has no blank after it");
    Check(ext.empty() || (ext[0] == '.' && ext.size() == name.size() - dot),
          "the extension starts at the last dot");
    Check(MatchesExtension(style, name, ext), "a name matches its own extension");
}

void CheckPath(const PathStyle& style, const std::string& root, const std::vector<std::string>& parts) {
    const std::string path = Joined(style, root, parts, parts.size());
    if (parts.empty()) {
        if (!root.empty()) Check(IsRoot(style, path), "a root is a root: " + path);
        return;
    }
    const std::string& name = parts.back();
    const std::string sep(1, style.m_chSeparator);
    Check(!IsRoot(style, path), "a path below a root is no root: " + path);
    Check(FindFileName(style, path) == name, "the name of " + path);
    Check(FindFileName(style, path + sep) == name + sep, "the name of a path that ends in a separator");
    std::string folder = Joined(style, root, parts, parts.size() - 1);
    if (parts.size() > 1) folder += sep;
    Check(ParentFolder(style, path) == folder, "the parent of " + path + " is " + folder);
    std::string split = path;
    RemoveFileSpec(style, split);
    AddSeparator(style, split);
    Check(split + name == path, "folder and name join back: " + path);
    std::string withSep = path;
    AddSeparator(style, withSep);
    Check(withSep == path + sep, "one separator added");
    RemoveSeparator(style, withSep);
    Check(withSep == path, "the separator removed again");
    std::string stripped = path;
    StripPath(style, stripped);
    Check(stripped == name, "only the name stays");
    CheckExtension(style, path, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const PathStyle& style = (data[0] & 1) ? kWindowsPaths : kPosixPaths;
    const std::string root = Root(style, static_cast<std::uint8_t>((data[0] >> 1) & 3));
    CheckPath(style, root, Components(style, data + 1, size - 1));
    return 0;
}

#include "cli/chain.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <set>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/limits.h"

namespace tonalith::cli {
namespace {

using Json = nlohmann::ordered_json;

bool KnownModel(int32_t type) { return IsKnownStageType(type); }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string TrackName(int32_t type, int track) {
    std::string name = "track " + std::to_string(track);
    const std::string label = KnownModel(type) ? TrackLabel(type, track) : "";
    if (!label.empty()) name += " " + label;
    return name;
}

std::string StageName(size_t index, int32_t type) {
    return "stage " + std::to_string(index + 1) + " (" + ModelName(type) + ")";
}

std::string RangeText(TrackRange r) { return std::to_string(r.low) + ".." + std::to_string(r.high); }

bool SameLabel(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Resolves a track key (labels in any case): an index 0..15 always, a label where it is unique within the model.
int ResolveTrack(int32_t type, const std::string& key, const std::string& where) {
    if (!key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        const int index = key.size() <= 2 ? std::stoi(key) : kTracks;
        if (index >= kTracks) throw CliError(where + ": track index " + key + " is outside 0..15");
        return index;
    }
    std::vector<int> matches;
    for (int t = 0; t < kTracks; ++t)
        if (!TrackLabel(type, t).empty() && SameLabel(TrackLabel(type, t), key)) matches.push_back(t);
    if (matches.size() > 1) {
        std::string indices;
        for (int m : matches) indices += (indices.empty() ? "" : " or ") + std::to_string(m);
        throw CliError(where + ": label " + key + " is shared by tracks " + indices + " in " +
                       ModelName(type) + "; give the track index instead");
    }
    if (matches.empty()) {
        std::string known;
        for (int t = 0; t < kTracks; ++t)
            if (LabelIsUnique(type, t)) known += (known.empty() ? "" : ", ") + TrackLabel(type, t);
        throw CliError(where + ": unknown track label \"" + key + "\" for " + ModelName(type) +
                       " (labels: " + known + "; or a track index 0..15)");
    }
    return matches[0];
}

void SetTrack(Stage& stage, std::array<bool, kTracks>& seen, int track, long long value,
              const std::string& where) {
    if (seen[track])
        throw CliError(where + ": " + TrackName(stage.type, track) + " is given twice");
    seen[track] = true;
    const TrackRange range = ModelRange(stage.type, track);
    if (value < range.low || value > range.high)
        throw CliError(where + ": " + TrackName(stage.type, track) + " = " + std::to_string(value) +
                       " is outside its range " + RangeText(range));
    stage.tracks[track] = static_cast<int32_t>(value);
}

int32_t ParseModel(const std::string& name, const std::string& where) {
    const int32_t type = ModelFromName(name);
    if (type < 0) throw CliError(where + ": unknown model \"" + name + "\" (use RGB, YCbCr, CMYK or HSV)");
    return type;
}

constexpr int kChainVersion = 1;

// nlohmann's parser and dump() recurse once per level: nesting deeper than a chain can use is
// refused from the text, before a tree is built.
void CheckJsonDepth(const std::string& text, const std::string& source) {
    int depth = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth)
                throw CliError(source + ": JSON nested more than " + std::to_string(kMaxJsonDepth) +
                               " levels deep; a chain needs four");
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
}

// A key given twice in one object would otherwise be taken silently, the last one winning.
Json::parser_callback_t RefuseDuplicateKeys(const std::string& source) {
    auto keys = std::make_shared<std::vector<std::set<std::string>>>();
    return [keys, source](int, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start) {
            keys->emplace_back();
        } else if (event == Json::parse_event_t::object_end) {
            if (!keys->empty()) keys->pop_back();
        } else if (event == Json::parse_event_t::key && !keys->empty()) {
            const std::string key = parsed.get<std::string>();
            if (!keys->back().insert(key).second) throw CliError(source + ": key \"" + key + "\" is given twice");
        }
        return true;
    };
}

// A value for a message: never the whole of a large one.
std::string Shorten(const Json& value) {
    std::string text = value.dump();
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    return text;
}

// Nothing in a chain file is ignored: a key it does not know is an error naming it.
void RefuseUnknownKeys(const Json& object, std::initializer_list<const char*> known, const std::string& where) {
    for (const auto& item : object.items()) {
        if (std::any_of(known.begin(), known.end(), [&](const char* k) { return item.key() == k; })) continue;
        std::string list;
        for (const char* k : known) list += (list.empty() ? "" : ", ") + std::string(k);
        throw CliError(where + ": unknown key \"" + item.key() + "\" (known: " + list + ")");
    }
}

// The plug-in's stage count: up to the last record whose tracks are not all zero, at least one.
size_t UsedStages(const Chain& chain) {
    for (size_t k = chain.stages.size(); k > 0; --k) {
        int64_t sum = 0;
        for (int32_t v : chain.stages[k - 1].tracks) sum += v < 0 ? -static_cast<int64_t>(v) : v;
        if (sum != 0) return k;
    }
    return 1;
}

}  // namespace

const char* ModelName(int32_t type) {
    if (KnownModel(type)) return kModelFacts[type].name;
    thread_local std::string text;
    text = "type " + std::to_string(type);
    return text.c_str();
}

int32_t ModelFromName(const std::string& name) {
    for (int32_t t = 0; t < kModelCount; ++t) {
        const std::string model = kModelFacts[t].name;
        if (model.size() == name.size() &&
            std::equal(model.begin(), model.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return t;
    }
    return -1;
}

std::string TrackLabel(int32_t type, int track) {
    // The window's labels are padded to ten characters; the tool names tracks without the padding.
    return KnownModel(type) && track >= 0 && track < kTracks ? Trim(kModelFacts[type].tracks[track].label)
                                                           : "";
}

bool LabelIsUnique(int32_t type, int track) {
    const std::string label = TrackLabel(type, track);
    if (label.empty()) return false;
    int count = 0;
    for (int t = 0; t < kTracks; ++t) count += TrackLabel(type, t) == label;
    return count == 1;
}

TrackRange ModelRange(int32_t type, int track) { return ModelTrackRange(type, track); }

Block ToBlock(const Chain& chain) {
    Block block{};
    for (size_t s = 0; s < chain.stages.size() && s < kMaxChainStages; ++s) {
        uint8_t* record = block.data() + s * kRecordSize;
        const auto put = [](uint8_t* at, int32_t value) {
            const auto u = static_cast<uint32_t>(value);
            for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(u >> (8 * i));
        };
        for (int t = 0; t < kTracks; ++t) put(record + 4 * t, chain.stages[s].tracks[t]);
        put(record + 64, chain.stages[s].type);
    }
    return block;
}

Chain FromBlock(const uint8_t* data, size_t size, const std::string& source) {
    if (size != kBlockSize)
        throw CliError(source + ": a chain block is " + std::to_string(kBlockSize) + " bytes, this one is " +
                       std::to_string(size) + " (truncated or not a chain)");
    const auto get = [](const uint8_t* at) {
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(at[i]) << (8 * i);
        return static_cast<int32_t>(u);
    };
    Chain chain;
    chain.stages.resize(kMaxChainStages);
    for (size_t s = 0; s < kMaxChainStages; ++s) {
        const uint8_t* record = data + s * kRecordSize;
        for (int t = 0; t < kTracks; ++t) chain.stages[s].tracks[t] = get(record + 4 * t);
        chain.stages[s].type = get(record + 64);
    }
    // Keep every record that holds anything, so the block comes back byte for byte.
    while (chain.stages.size() > 1) {
        const Stage& last = chain.stages.back();
        const bool empty = last.type == 0 && std::all_of(last.tracks.begin(), last.tracks.end(), [](int32_t v) { return v == 0; });
        if (!empty) break;
        chain.stages.pop_back();
    }
    return chain;
}

Chain ParseChainJson(const std::string& text, const std::string& source) {
    CheckJsonDepth(text, source);
    Json doc;
    try {
        doc = Json::parse(text, RefuseDuplicateKeys(source));
    } catch (const CliError&) {
        throw;
    } catch (const Json::exception& e) {
        // Syntax errors, and numbers no double can hold (1e999): the file is not a chain.
        std::string what = e.what();
        const auto colon = what.find("parse error");
        throw CliError(source + ": malformed JSON: " + (colon == std::string::npos ? what : what.substr(colon)));
    }
    if (!doc.is_object()) throw CliError(source + ": a JSON chain is an object with a \"stages\" array");
    RefuseUnknownKeys(doc, {"format", "version", "stages"}, source + ": the chain");
    if (doc.contains("format") && doc["format"] != "tonalith-chain")
        throw CliError(source + ": \"format\" is not \"tonalith-chain\"");
    if (doc.contains("version") && doc["version"] != kChainVersion)
        throw CliError(source + ": \"version\" " + Shorten(doc["version"]) + " is not supported (this tonalith reads version " +
                       std::to_string(kChainVersion) + ")");
    if (!doc.contains("stages") || !doc["stages"].is_array())
        throw CliError(source + ": a JSON chain needs a \"stages\" array");
    const Json& stages = doc["stages"];
    if (stages.empty() || stages.size() > kMaxChainStages)
        throw CliError(source + ": a chain has 1 to 10 stages, this one has " + std::to_string(stages.size()));
    Chain chain;
    for (size_t s = 0; s < stages.size(); ++s) {
        const Json& js = stages[s];
        std::string where = source + ": stage " + std::to_string(s + 1);
        if (!js.is_object() || !js.contains("model") || !js["model"].is_string())
            throw CliError(where + ": each stage is an object with a \"model\" name");
        RefuseUnknownKeys(js, {"model", "tracks"}, where);
        Stage stage;
        stage.type = ParseModel(js["model"].get<std::string>(), where);
        where = source + ": " + StageName(s, stage.type);
        std::array<bool, kTracks> seen{};
        if (js.contains("tracks")) {
            const Json& tracks = js["tracks"];
            const auto number = [&](const Json& v, const std::string& key) -> long long {
                if (!v.is_number_integer())
                    throw CliError(where + ": track " + key + " must be an integer, not " + Shorten(v));
                return v.is_number_unsigned() ? static_cast<long long>(std::min<uint64_t>(v.get<uint64_t>(), 1u << 30))
                                              : v.get<long long>();
            };
            if (tracks.is_object()) {
                for (const auto& [key, value] : tracks.items()) {
                    const int track = ResolveTrack(stage.type, key, where);
                    SetTrack(stage, seen, track, number(value, key), where);
                }
            } else if (tracks.is_array() && tracks.size() <= kTracks) {
                for (size_t t = 0; t < tracks.size(); ++t)
                    SetTrack(stage, seen, static_cast<int>(t), number(tracks[t], std::to_string(t)), where);
            } else {
                throw CliError(where + ": \"tracks\" is an object of label or index to value, or an array of up to 16 values");
            }
        }
        chain.stages.push_back(stage);
    }
    return chain;
}

std::string ChainToJson(const Chain& chain, const std::string& source) {
    Json doc;
    doc["format"] = "tonalith-chain";
    doc["version"] = kChainVersion;
    Json stages = Json::array();
    for (size_t s = 0; s < chain.stages.size(); ++s) {
        const Stage& stage = chain.stages[s];
        if (!KnownModel(stage.type))
            throw CliError(source + ": stage " + std::to_string(s + 1) + " has type " + std::to_string(stage.type) +
                           ", which JSON cannot name (the plug-in skips such a stage)");
        Json tracks = Json::object();
        for (int t = 0; t < kTracks; ++t) {
            const int32_t v = stage.tracks[t];
            const TrackRange range = ModelRange(stage.type, t);
            if (v < range.low || v > range.high)
                throw CliError(source + ": " + StageName(s, stage.type) + " " + TrackName(stage.type, t) + " = " +
                               std::to_string(v) + " is outside its range " + RangeText(range) +
                               "; JSON cannot carry it");
            if (v != 0) tracks[LabelIsUnique(stage.type, t) ? TrackLabel(stage.type, t) : std::to_string(t)] = v;
        }
        stages.push_back(Json{{"model", ModelName(stage.type)}, {"tracks", tracks}});
    }
    doc["stages"] = stages;
    return doc.dump(2) + "\n";
}

Stage ParseStageOption(const std::string& text) {
    const std::string where = "--stage '" + text + "'";
    const auto colon = text.find(':');
    Stage stage;
    stage.type = ParseModel(Trim(text.substr(0, colon)), where);
    if (colon == std::string::npos) return stage;
    std::array<bool, kTracks> seen{};
    std::stringstream rest(text.substr(colon + 1));
    std::string item;
    while (std::getline(rest, item, ',')) {
        if (Trim(item).empty()) continue;
        const auto eq = item.rfind('=');
        if (eq == std::string::npos) throw CliError(where + ": expected LABEL=VALUE, got \"" + Trim(item) + "\"");
        const std::string key = Trim(item.substr(0, eq)), valueText = Trim(item.substr(eq + 1));
        long long value = 0;
        size_t used = 0;
        try {
            value = std::stoll(valueText, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != valueText.size())
            throw CliError(where + ": \"" + valueText + "\" is not an integer value for " + key);
        SetTrack(stage, seen, ResolveTrack(stage.type, key, where), value, where);
    }
    return stage;
}

LoadedChain ParseChainBytes(const std::string& bytes, const std::string& source) {
    size_t first = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) first = 3;
    while (first < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[first]))) ++first;
    const bool json = first < bytes.size() && bytes[first] == '{' && bytes.find('\0') == std::string::npos;
    if (json) return {ParseChainJson(bytes.substr(first), source), ChainForm::kJson};
    if (bytes.empty()) throw CliError(source + ": the file is empty");
    if (bytes.size() != kBlockSize)
        throw CliError(source + ": neither a JSON chain nor a " + std::to_string(kBlockSize) + "-byte chain block (" +
                       std::to_string(bytes.size()) + " bytes)");
    return {FromBlock(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), source), ChainForm::kBlock};
}

LoadedChain LoadChainFile(const std::string& path) {
    if (path == "-") {
        std::string bytes((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
        if (std::cin.bad()) throw CliError("standard input: read error");
        if (bytes.size() > kMaxChainFileBytes)
            throw CliError("standard input: over " + std::to_string(kMaxChainFileBytes >> 10) + " KiB, too large for a chain");
        return ParseChainBytes(bytes, "standard input");
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw CliError(path + ": cannot open: " + std::strerror(errno));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
    struct stat st {};
    if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) throw CliError(path + ": is a folder, not a chain");
    // Read once, whatever it is (a FIFO, /dev/stdin), and never more than a chain can be.
    std::string bytes;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, n);
        if (bytes.size() > kMaxChainFileBytes)
            throw CliError(path + ": over " + std::to_string(kMaxChainFileBytes >> 10) +
                           " KiB, too large for a chain (IN and CHAIN swapped?)");
    }
    if (std::ferror(file)) throw CliError(path + ": read error: " + std::strerror(errno));
    return ParseChainBytes(bytes, path);
}

std::vector<std::string> ChainWarnings(const Chain& chain, const std::string& source) {
    std::vector<std::string> warnings;
    const size_t used = UsedStages(chain);
    for (size_t s = 0; s < chain.stages.size(); ++s) {
        const Stage& stage = chain.stages[s];
        if (!KnownModel(stage.type)) {
            warnings.push_back(source + ": " + StageName(s, stage.type) + " has an unknown type; the plug-in skips it");
            continue;
        }
        for (int t = 0; t < kTracks; ++t) {
            const TrackRange range = ModelRange(stage.type, t);
            const int32_t v = stage.tracks[t];
            if (v < range.low || v > range.high)
                warnings.push_back(source + ": " + StageName(s, stage.type) + " " + TrackName(stage.type, t) + " = " +
                                   std::to_string(v) + " is outside " + RangeText(range) + "; the plug-in clamps it to " +
                                   std::to_string(std::clamp(v, range.low, range.high)));
        }
    }
    if (used < chain.stages.size()) {
        const bool several = chain.stages.size() - used > 1;
        warnings.push_back(source + ": " + (several ? "stages " : "stage ") + std::to_string(used + 1) +
                           (several ? ".." + std::to_string(chain.stages.size()) + " come" : " comes") +
                           " after the last stage with a nonzero track; the plug-in leaves " +
                           (several ? "them" : "it") + " out");
    }
    return warnings;
}

std::string FormatChainTable(const Chain& chain) {
    std::ostringstream out;
    out << chain.stages.size() << (chain.stages.size() == 1 ? " stage\n" : " stages\n");
    for (size_t s = 0; s < chain.stages.size(); ++s) {
        const Stage& stage = chain.stages[s];
        out << "\nstage " << s + 1 << ": " << ModelName(stage.type) << "\n";
        for (int t = 0; t < kTracks; ++t) {
            std::string label = TrackLabel(stage.type, t);
            if (label.empty()) label = "-";
            char line[96];
            std::snprintf(line, sizeof line, "  %2d  %-10s %6d\n", t, label.c_str(), stage.tracks[t]);
            out << line;
        }
    }
    return out.str();
}

}  // namespace tonalith::cli

#include "cli/chain/chain_json.h"

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "cli/chain/track_keys.h"
#include "cli/failure.h"
#include "cli/limits.h"

namespace tonalith::cli {
namespace {

using Json = nlohmann::ordered_json;

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
                throw Failure(source + ": JSON nested more than " + std::to_string(kMaxJsonDepth) +
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
            if (!keys->back().insert(key).second) throw Failure(source + ": key \"" + key + "\" is given twice");
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
        throw Failure(where + ": unknown key \"" + item.key() + "\" (known: " + list + ")");
    }
}

}  // namespace

Chain ParseChainJson(const std::string& text, const std::string& source) {
    CheckJsonDepth(text, source);
    Json doc;
    try {
        doc = Json::parse(text, RefuseDuplicateKeys(source));
    } catch (const Failure&) {
        throw;
    } catch (const Json::exception& e) {
        // Syntax errors, and numbers no double can hold (1e999): the file is not a chain.
        std::string what = e.what();
        const auto colon = what.find("parse error");
        throw Failure(source + ": malformed JSON: " + (colon == std::string::npos ? what : what.substr(colon)));
    }
    if (!doc.is_object()) throw Failure(source + ": a JSON chain is an object with a \"stages\" array");
    RefuseUnknownKeys(doc, {"format", "version", "stages"}, source + ": the chain");
    if (doc.contains("format") && doc["format"] != "tonalith-chain")
        throw Failure(source + ": \"format\" is not \"tonalith-chain\"");
    if (doc.contains("version") && doc["version"] != kChainVersion)
        throw Failure(source + ": \"version\" " + Shorten(doc["version"]) + " is not supported (this tonalith reads version " +
                       std::to_string(kChainVersion) + ")");
    if (!doc.contains("stages") || !doc["stages"].is_array())
        throw Failure(source + ": a JSON chain needs a \"stages\" array");
    const Json& stages = doc["stages"];
    if (stages.empty() || stages.size() > kMaxChainStages)
        throw Failure(source + ": a chain has 1 to 10 stages, this one has " + std::to_string(stages.size()));
    Chain chain;
    for (size_t s = 0; s < stages.size(); ++s) {
        const Json& js = stages[s];
        std::string where = source + ": stage " + std::to_string(s + 1);
        if (!js.is_object() || !js.contains("model") || !js["model"].is_string())
            throw Failure(where + ": each stage is an object with a \"model\" name");
        RefuseUnknownKeys(js, {"model", "tracks"}, where);
        Stage stage;
        stage.type = ParseModel(js["model"].get<std::string>(), where);
        where = source + ": " + StageName(s, stage.type);
        std::array<bool, kTracks> seen{};
        if (js.contains("tracks")) {
            const Json& tracks = js["tracks"];
            const auto number = [&](const Json& v, const std::string& key) -> long long {
                if (!v.is_number_integer())
                    throw Failure(where + ": track " + key + " must be an integer, not " + Shorten(v));
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
                throw Failure(where + ": \"tracks\" is an object of label or index to value, or an array of up to 16 values");
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
            throw Failure(source + ": stage " + std::to_string(s + 1) + " has type " + std::to_string(stage.type) +
                           ", which JSON cannot name (the plug-in skips such a stage)");
        Json tracks = Json::object();
        for (int t = 0; t < kTracks; ++t) {
            const int32_t v = stage.tracks[t];
            const TrackRange range = ModelRange(stage.type, t);
            if (v < range.low || v > range.high)
                throw Failure(source + ": " + StageName(s, stage.type) + " " + TrackName(stage.type, t) + " = " +
                               std::to_string(v) + " is outside its range " + RangeText(range) +
                               "; JSON cannot carry it");
            if (v != 0) tracks[LabelIsUnique(stage.type, t) ? TrackLabel(stage.type, t) : std::to_string(t)] = v;
        }
        stages.push_back(Json{{"model", ModelName(stage.type)}, {"tracks", tracks}});
    }
    doc["stages"] = stages;
    return doc.dump(2) + "\n";
}

}  // namespace tonalith::cli

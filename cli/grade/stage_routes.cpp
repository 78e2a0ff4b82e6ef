#include "cli/grade/stage_routes.h"

#include <httplib.h>

#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>

#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/models.h"
#include "cli/failure.h"
#include "cli/grade/scopes.h"
#include "cli/grade/session.h"

namespace tonalith::cli {
namespace {

using ScopeDrawer = Image (*)(const YcbcrPlanes&);
const std::map<std::string, ScopeDrawer> kScopes = {
    {"histogram", &DrawHistogram}, {"waveform", &DrawWaveform}, {"vectorscope", &DrawVectorscope}};

// The three scopes of one picture, as PNG, drawn on first request.
struct ScopeSet {
    uint64_t version = 0;
    std::map<std::string, std::string> png;
};

class ScopeCache {
public:
    explicit ScopeCache(GradeSession& session) : session_(session) {}

    std::string Get(const std::string& kind, bool after, uint64_t& version) {
        std::shared_ptr<const RgbaFrame> picture;
        if (after) {
            picture = session_.LastPreview();
            version = picture->version;
        } else {
            version = session_.PictureVersion();
        }
        std::lock_guard lock(mutex_);
        ScopeSet& set = after ? after_ : before_;
        if (set.version != version || set.png.empty()) {
            if (!after) picture = session_.Original();
            const YcbcrPlanes planes =
                ToYcbcr601(reinterpret_cast<const uint8_t*>(picture->rgba.data()), picture->width, picture->height);
            set.png.clear();
            for (const auto& [name, draw] : kScopes) set.png[name] = EncodePng(draw(planes));
            set.version = version;
        }
        return set.png.at(kind);
    }

private:
    GradeSession& session_;
    std::mutex mutex_;
    ScopeSet before_, after_;
};

void Refuse(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content(nlohmann::json{{"error", message}}.dump(), "application/json");
}

void Versioned(httplib::Response& res, uint64_t version) { res.set_header("X-Tonalith-Version", std::to_string(version)); }

}  // namespace

void RegisterStageRoutes(httplib::Server& server, GradeSession& session) {
    auto scopes = std::make_shared<ScopeCache>(session);
    server.Get("/api/scope.png", [scopes](const httplib::Request& req, httplib::Response& res) {
        const std::string kind = req.get_param_value("kind"), of = req.get_param_value("of");
        if (!kScopes.count(kind)) return Refuse(res, 400, "kind must be histogram, waveform or vectorscope");
        if (of != "before" && of != "after") return Refuse(res, 400, "of must be before or after");
        try {
            uint64_t version = 0;
            std::string png = scopes->Get(kind, of == "after", version);
            Versioned(res, version);
            res.set_content(std::move(png), "image/png");
        } catch (const Failure& e) {
            Refuse(res, 500, e.what());
        }
    });
    server.Get("/api/curves.svg", [&session](const httplib::Request&, httplib::Response& res) {
        try {
            const auto look = session.LookAtCurrentStage();
            Versioned(res, look->version);
            res.set_header("Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'");
            res.set_content(look->curvesSvg, "image/svg+xml");
        } catch (const Failure& e) {
            Refuse(res, 500, e.what());
        }
    });
    server.Get("/api/mask.png", [&session](const httplib::Request&, httplib::Response& res) {
        try {
            const auto look = session.LookAtCurrentStage();
            Versioned(res, look->version);
            if (look->model != kHsv) return Refuse(res, 409, "the current stage is not an HSV stage: it has no hue window");
            if (look->maskPng.empty()) return Refuse(res, 409, "there is no picture to draw the hue window's mask on");
            res.set_content(look->maskPng, "image/png");
        } catch (const Failure& e) {
            Refuse(res, 500, e.what());
        }
    });
}

}  // namespace tonalith::cli

#include "cli/grade/server.h"

#include <httplib.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <memory>
#include <optional>
#include <thread>

#include "cli/grade/access.h"
#include "cli/grade/process.h"
#include "cli/grade/session.h"
#include "cli/grade/stage_routes.h"
#include "cli/grade/video_source.h"
#include "cli/pictures/picture_format.h"
#include "cli/plugin/plugin_host.h"
#include "cli/video/y4m.h"

namespace tonalith::cli {

extern const char* const kGradePageHtml;

namespace {

constexpr const char* kJson = "application/json";

void Refuse(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content(nlohmann::json{{"error", message}}.dump(), kJson);
}

std::optional<std::string> Header(const httplib::Request& req, const char* name) {
    if (!req.has_header(name)) return std::nullopt;
    return req.get_header_value(name);
}

// The body of a POST: a JSON object; anything else is the client's fault.
nlohmann::json Body(const httplib::Request& req) {
    nlohmann::json body = nlohmann::json::parse(req.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) throw BadRequest("the request body must be a JSON object");
    return body;
}

int IntField(const nlohmann::json& body, const char* name) {
    const auto found = body.find(name);
    if (found == body.end() || !found->is_number_integer()) throw BadRequest(std::string("\"") + name + "\" must be an integer");
    const auto value = found->get<int64_t>();
    if (value < INT32_MIN || value > INT32_MAX) throw BadRequest(std::string("\"") + name + "\" is out of range");
    return static_cast<int>(value);
}

// A whole number in the query, 0 when absent.
int QueryNumber(const httplib::Request& req, const char* name, int low, int high) {
    if (!req.has_param(name)) return 0;
    const std::string text = req.get_param_value(name);
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(text) < low || std::stoi(text) > high)
        throw BadRequest(std::string("\"") + name + "\" must be a whole number, " + std::to_string(low) + ".." +
                         std::to_string(high));
    return std::stoi(text);
}

// The view a request asks pictures for, when it names a step: `step`, and the rectangle of that
// step's grid `x`, `y`, `w`, `h` (absent: the whole grid).
std::optional<PreviewView> ViewOf(const httplib::Request& req) {
    if (!req.has_param("step")) return std::nullopt;
    PreviewView view;
    view.step = QueryNumber(req, "step", 1, GradeSession::kMaxPreviewStep);
    view.x = QueryNumber(req, "x", 0, 99999);
    view.y = QueryNumber(req, "y", 0, 99999);
    view.width = QueryNumber(req, "w", 0, 99999);
    view.height = QueryNumber(req, "h", 0, 99999);
    return view;
}

// Pictures as raw RGB rows (RGBA for a picture with alpha), drawn straight into a canvas: nothing
// to encode or decode. The bytes are sent from the frame itself, never copied.
void SendFrame(httplib::Response& res, std::shared_ptr<const RgbaFrame> frame, int step) {
    res.set_header("X-Tonalith-Width", std::to_string(frame->width));
    res.set_header("X-Tonalith-Height", std::to_string(frame->height));
    res.set_header("X-Tonalith-X", std::to_string(frame->x));
    res.set_header("X-Tonalith-Y", std::to_string(frame->y));
    res.set_header("X-Tonalith-Step", std::to_string(step));
    res.set_header("X-Tonalith-Channels", std::to_string(frame->channels));
    res.set_header("X-Tonalith-Version", std::to_string(frame->version));
    char timing[64];
    std::snprintf(timing, sizeof timing, "render;desc=\"CPU\";dur=%.1f", frame->cpuMs);
    res.set_header("Server-Timing", timing);
    res.set_content_provider(frame->rgba.size(), "application/octet-stream",
                             [frame](size_t offset, size_t length, httplib::DataSink& sink) {
                                 return sink.write(frame->rgba.data() + offset, length);
                             });
}

// Runs a dialog action; a refused one answers 400 and changes nothing. Asked with a view, the
// answer is the preview in that view, the dialog's state beside it in X-Tonalith-State: one round
// trip from a slider move to its picture.
template <typename Action>
httplib::Server::Handler Json(GradeSession& session, Action action) {
    return [&session, action](const httplib::Request& req, httplib::Response& res) {
        try {
            const std::optional<PreviewView> view = ViewOf(req);
            if (view) session.CheckView(*view);
            std::string state = action(session, req);
            if (!view) {
                res.set_content(state, kJson);
                return;
            }
            auto frame = std::make_shared<const RgbaFrame>(session.Preview(*view, true, &state));
            res.set_header("X-Tonalith-State", state);
            SendFrame(res, std::move(frame), view->step);
        } catch (const BadRequest& e) {
            Refuse(res, 400, e.what());
        } catch (const Failure& e) {
            Refuse(res, 500, e.what());
        }
    };
}

// The desktop's default browser, through xdg-open. Its exit is not waited for; a missing opener is
// a note, not a failure: the address is printed anyway.
void OpenInBrowser(const std::string& url) {
    pid_t child = 0;
    const int error = SpawnProgram({"xdg-open", url}, nullptr, child);
    if (error == ENOENT)
        std::fprintf(stderr, "tonalith grade: note: no xdg-open here to start a browser; open the address above\n");
    else if (error != 0)
        std::fprintf(stderr, "tonalith grade: note: cannot start xdg-open (%s); open the address above\n", std::strerror(error));
    else
        std::thread([child] { waitpid(child, nullptr, 0); }).detach();
}

// Pictures are told by their first bytes; a file that cannot be opened is the picture reader's to
// report.
bool IsPicture(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return true;
    unsigned char head[16] = {};
    const size_t n = std::fread(head, 1, sizeof head, file.get());
    const FileKind kind = SniffKind(head, n);
    return kind == FileKind::kPng || kind == FileKind::kJpeg || kind == FileKind::kTiff;
}

}  // namespace

int RunGradeServer(const GradeServerOptions& options) {
    // Ctrl-C, SIGTERM and SIGHUP reach one thread, which stops the server; every other thread,
    // the preview's band workers included, is started with them blocked and never sees them. A
    // browser that goes away while it is sent a picture is no reason to stop.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int stop : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, stop);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // A picture (PNG, JPEG, TIFF) is read here; anything else is a video ffmpeg decodes a frame
    // at a time.
    std::optional<VideoSource> video;
    Image picture;
    if (IsPicture(options.picture)) picture = ReadImage(options.picture);
    else video.emplace(options.picture);
    Chain chain;
    chain.stages.resize(1);
    if (options.chain) chain = LoadChainFile(*options.chain).chain;
    GradeSession session(options.plugin.empty() ? DefaultPluginPath() : options.plugin, std::move(picture), chain,
                         AvailableCores());
    if (video) session.SetFrame(video->Decode(0), 0, video->Frames());
    const std::string token = MakeAccessToken();

    httplib::Server server;
    server.set_payload_max_length(64 * 1024);
    // A slider move's answer goes out at once, not held back for the last one's acknowledgement;
    // and the page keeps its connections rather than opening new ones every few requests.
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(1000);
    // SO_REUSEADDR only: the library's default SO_REUSEPORT would let a second server, or another
    // program, bind the same port beside this one and take some of its connections.
    server.set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    if (options.port < 0 || options.port > 65535) throw Failure("--port must be 0..65535");
    int port = options.port;
    if (port == 0) port = server.bind_to_any_port("127.0.0.1");
    else if (!server.bind_to_port("127.0.0.1", port)) port = -1;
    if (port <= 0) throw Failure("cannot listen on 127.0.0.1:" + std::to_string(options.port));

    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
        RequestCredentials credentials{Header(req, "Host"), Header(req, "Origin"), Header(req, "X-Tonalith-Token")};
        if (!credentials.token && req.has_param("token")) credentials.token = req.get_param_value("token");
        const Access access = CheckAccess(credentials, port, token);
        if (access == Access::kAllowed) {
            res.set_header("Cache-Control", "no-store");
            res.set_header("X-Content-Type-Options", "nosniff");
            res.set_header("X-Frame-Options", "DENY");
            return httplib::Server::HandlerResponse::Unhandled;
        }
        Refuse(res, access == Access::kNoToken || access == Access::kWrongToken ? 401 : 403, AccessProblem(access));
        return httplib::Server::HandlerResponse::Handled;
    });

    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Security-Policy",
                       "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                       "img-src blob: data:; connect-src 'self'");
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_content(kGradePageHtml, "text/html; charset=utf-8");
    });
    server.Get("/api/state", Json(session, [](GradeSession& s, const httplib::Request&) { return s.State(); }));
    server.Post("/api/track", Json(session, [](GradeSession& s, const httplib::Request& req) {
        const auto body = Body(req);
        return s.SetTrack(IntField(body, "track"), IntField(body, "value"));
    }));
    server.Post("/api/link", Json(session, [](GradeSession& s, const httplib::Request& req) {
        const auto body = Body(req);
        const auto on = body.find("on");
        if (on == body.end() || !on->is_boolean()) throw BadRequest("\"on\" must be true or false");
        return s.SetLink(on->get<bool>());
    }));
    server.Post("/api/select", Json(session, [](GradeSession& s, const httplib::Request& req) {
        return s.Select(IntField(Body(req), "stage"));
    }));
    server.Post("/api/model", Json(session, [](GradeSession& s, const httplib::Request& req) {
        return s.SetModel(IntField(Body(req), "model"));
    }));
    server.Post("/api/button", Json(session, [](GradeSession& s, const httplib::Request& req) {
        const auto body = Body(req);
        const auto name = body.find("name");
        if (name == body.end() || !name->is_string()) throw BadRequest("\"name\" must be a string");
        return s.Press(name->get<std::string>());
    }));
    // The preview in a view (a view showing the picture scaled down asks for every step-th pixel
    // of every step-th row; 1:1 for the rectangle the window shows), and the picture as it came.
    server.Get("/api/preview", [&session](const httplib::Request& req, httplib::Response& res) {
        try {
            const PreviewView view = ViewOf(req).value_or(PreviewView{});
            SendFrame(res, std::make_shared<const RgbaFrame>(session.Preview(view, true)), view.step);
        } catch (const BadRequest& e) {
            Refuse(res, 400, e.what());
        } catch (const Failure& e) {
            Refuse(res, 500, e.what());
        }
    });
    server.Get("/api/original", [&session](const httplib::Request& req, httplib::Response& res) {
        try {
            const int step = ViewOf(req).value_or(PreviewView{}).step;
            SendFrame(res, session.Original(step, true), step);
        } catch (const BadRequest& e) {
            Refuse(res, 400, e.what());
        }
    });
    server.Get("/api/chain.json", [&session](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Disposition", std::string("attachment; filename=\"") + GradeSession::kChainFileName + "\"");
        res.set_content(session.ChainJson(), kJson);
    });
    server.Get("/api/chain.bin", [&session](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Disposition", "attachment; filename=\"chain.bin\"");
        res.set_content(session.ChainBlock(), "application/octet-stream");
    });

    // Save and open. Downloads are made when asked, from the chain as it stands; an upload is a
    // chain file (JSON or the 680-byte block) opened into the dialog.
    const auto attachment = [](httplib::Response& res, const std::string& name, const std::string& bytes, const char* type) {
        res.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
        res.set_content(bytes, type);
    };
    server.Get("/api/picture", [&session, attachment](const httplib::Request& req, httplib::Response& res) {
        try {
            const std::string name = req.has_param("format") ? req.get_param_value("format") : "png";
            OutputFormat format;
            try {
                format = FormatFromName(name);
            } catch (const Failure& e) {
                throw BadRequest(e.what());
            }
            std::vector<std::string> notes;
            const std::string bytes = session.PictureFile(format, notes);
            std::string joined;
            for (const auto& note : notes) joined += (joined.empty() ? "" : "; ") + note;
            if (!joined.empty()) res.set_header("X-Tonalith-Note", joined);
            const char* extension = format == OutputFormat::kJpeg ? "jpg" : format == OutputFormat::kTiff ? "tif" : "png";
            const char* type = format == OutputFormat::kJpeg ? "image/jpeg" : format == OutputFormat::kTiff ? "image/tiff" : "image/png";
            attachment(res, std::string("graded.") + extension, bytes, type);
        } catch (const BadRequest& e) {
            Refuse(res, 400, e.what());
        } catch (const Failure& e) {
            Refuse(res, 500, e.what());
        }
    });
    server.Get("/api/lut", [&session, attachment](const httplib::Request& req, httplib::Response& res) {
        try {
            const std::string kind = req.has_param("kind") ? req.get_param_value("kind") : "cube";
            int size = 0;
            if (req.has_param("size")) {
                const std::string text = req.get_param_value("size");
                if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
                    throw BadRequest("\"size\" must be a whole number");
                size = std::stoi(text);
            }
            if (kind == "cube")
                attachment(res, GradeSession::kLutFileName, session.LutFile(GradeSession::LutKind::kCube, size), "text/plain");
            else if (kind == "hald")
                attachment(res, "chain-hald.png", session.LutFile(GradeSession::LutKind::kHald, size), "image/png");
            else if (kind == "ocio")
                attachment(res, "config.ocio", session.LutFile(GradeSession::LutKind::kOcio, 0), "text/plain");
            else
                throw BadRequest("no LUT kind \"" + kind + "\" (cube, hald, ocio)");
        } catch (const BadRequest& e) {
            Refuse(res, 400, e.what());
        } catch (const Failure& e) {
            Refuse(res, 500, e.what());
        }
    });
    // A video's frame slider, and the graded frame as YUV4MPEG2.
    server.Post("/api/frame", Json(session, [&video](GradeSession& s, const httplib::Request& req) {
        if (!video) throw BadRequest("a picture has no frames");
        const int index = IntField(Body(req), "frame");
        if (index < 0 || index >= video->Frames())
            throw BadRequest("frame must be 0.." + std::to_string(video->Frames() - 1));
        s.SetFrame(video->Decode(index), index, video->Frames());
        return s.State();
    }));
    server.Get("/api/frame.y4m", [&session, attachment](const httplib::Request&, httplib::Response& res) {
        try {
            attachment(res, "frame.y4m", session.GradedFrameY4m(), "application/octet-stream");
        } catch (const BadRequest& e) {
            Refuse(res, 400, e.what());
        } catch (const Failure& e) {
            Refuse(res, 500, e.what());
        }
    });
    server.Post("/api/chain", Json(session, [](GradeSession& s, const httplib::Request& req) { return s.OpenChain(req.body); }));

    RegisterStageRoutes(server, session);

    std::atomic<int> signalled{0};
    std::thread stopper([&server, &stopSignals, &signalled] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        signalled = signal;
        server.stop();
    });
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/?token=" + token;
    std::printf("tonalith grade: open %s\n", url.c_str());
    std::printf("(Ctrl-C stops the server)\n");
    std::fflush(stdout);
    if (options.open) OpenInBrowser(url);
    server.listen_after_bind();
    // Wakes the stopper if the server ended on its own.
    const bool stoppedBySignal = signalled != 0;
    if (!stoppedBySignal) pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    if (!stoppedBySignal) throw Failure("the server stopped on an error");
    // Stopped as asked: the status the signal's own would be, as every command ends on one.
    std::fprintf(stderr, "tonalith grade: stopped\n");
    return 128 + signalled;
}

}  // namespace tonalith::cli

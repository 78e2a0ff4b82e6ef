// The page's views of what the chain does: scopes of the picture before and after it, the
// current stage's curves and, for an HSV stage, the mask of its hue window.
#pragma once

namespace httplib {
class Server;
}

namespace tonalith::cli {

class GradeSession;

// GET /api/scope.png?kind=histogram|waveform|vectorscope&of=before|after
// GET /api/curves.svg   the current stage's curves over its input's histogram
// GET /api/mask.png     the current HSV stage's hue-window mask (409 for other models)
void RegisterStageRoutes(httplib::Server& server, GradeSession& session);

}  // namespace tonalith::cli

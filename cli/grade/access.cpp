#include "cli/grade/access.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "cli/failure.h"

namespace tonalith::cli {

std::string MakeAccessToken() {
    unsigned char bytes[32];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Failure(std::string("cannot draw a random access token: ") + std::strerror(errno));
        }
        got += static_cast<size_t>(n);
    }
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += digits[b >> 4];
        token += digits[b & 15];
    }
    return token;
}

namespace {

// Compares without stopping at the first difference, so the time taken tells nothing.
bool SameSecret(const std::string& given, const std::string& expected) {
    if (given.size() != expected.size()) return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ expected[i]);
    return difference == 0;
}

}  // namespace

Access CheckAccess(const RequestCredentials& request, int port, const std::string& token) {
    const std::string suffix = ":" + std::to_string(port);
    const auto ownName = [&](const std::string& name) {
        return name == "127.0.0.1" + suffix || name == "localhost" + suffix;
    };
    if (!request.host || !ownName(*request.host)) return Access::kForeignHost;
    if (request.origin) {
        const std::string& origin = *request.origin;
        const std::string scheme = "http://";
        if (origin.compare(0, scheme.size(), scheme) != 0 || !ownName(origin.substr(scheme.size())))
            return Access::kForeignOrigin;
    }
    if (!request.token || request.token->empty()) return Access::kNoToken;
    if (!SameSecret(*request.token, token)) return Access::kWrongToken;
    return Access::kAllowed;
}

const char* AccessProblem(Access access) {
    switch (access) {
    case Access::kAllowed: return "allowed";
    case Access::kForeignHost: return "the request is not addressed to this server by its own name";
    case Access::kForeignOrigin: return "requests from other sites are refused";
    case Access::kNoToken: return "the access token is missing";
    case Access::kWrongToken: return "the access token is wrong";
    }
    return "refused";
}

}  // namespace tonalith::cli

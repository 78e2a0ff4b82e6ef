// Who may talk to the grade server: requests addressed to it by its own name (no DNS rebinding),
// from no other site's page, carrying the access token.
#pragma once

#include <optional>
#include <string>

namespace tonalith::cli {

// A fresh random token: 32 bytes from the kernel's CSPRNG, as 64 hex digits.
std::string MakeAccessToken();

struct RequestCredentials {
    std::optional<std::string> host;    // the Host header
    std::optional<std::string> origin;  // the Origin header
    std::optional<std::string> token;   // from the X-Tonalith-Token header or the token parameter
};

enum class Access { kAllowed, kForeignHost, kForeignOrigin, kNoToken, kWrongToken };

// The server's own names are 127.0.0.1:PORT and localhost:PORT; an Origin must be http:// one of them.
Access CheckAccess(const RequestCredentials& request, int port, const std::string& token);
const char* AccessProblem(Access access);

}  // namespace tonalith::cli

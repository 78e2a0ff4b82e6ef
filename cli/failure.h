// The one error the command line throws: a failure to report to the user as one line that names
// the file and the problem ("in.png: not a PNG file"). Every job of the tool, from reading a
// picture to loading the plug-in, throws it; main prints it and exits with a failure status.
#pragma once

#include <stdexcept>

namespace tonalith::cli {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tonalith::cli

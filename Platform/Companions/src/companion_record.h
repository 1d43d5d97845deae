// The line a companion stand-in appends to $CORV_COMPANION_LOG (or writes to standard output):
//   {"program":"<file name>","workingDirectory":"<folder>","arguments":["...",...]}
#pragma once

namespace companion {

// False when the line could not be written.
bool record(int argc, char* argv[]);

} // namespace companion

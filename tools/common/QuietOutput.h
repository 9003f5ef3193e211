#pragma once
// Quiet output for the tools: in a normal run only their own lines reach stdout and stderr.

namespace brevio::tool {

// Drops the messages of Qt and of the plugins it loads (the platform, PulseAudio through Qt
// Multimedia), unless BREVIO_DEBUG=1 asks to keep them. Gives a process whose XDG_RUNTIME_DIR is
// unset, someone else's or open to others a private runtime folder of its own. Call before any Qt
// object exists.
void InstallQuietOutput();

// While a line is set, a fatal Qt message (Qt found no display platform it could load) ends the
// process with that one line on stderr and `code`, instead of Qt's text and an abort. nullptr
// clears it.
void SetFatalExit(const char* line, int code);

}  // namespace brevio::tool

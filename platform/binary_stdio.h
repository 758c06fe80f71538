// Standard input and output as byte streams. On Windows the C runtime opens
// them in text mode, which adds a CR before every LF written and ends input
// at a Ctrl-Z; programs whose output must be the same bytes on every system
// switch both to binary mode first. Elsewhere there is nothing to do.
#pragma once

namespace corvo::platform {

// True when both streams are in binary mode afterwards.
bool SetBinaryStandardStreams();

}  // namespace corvo::platform

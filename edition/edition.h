#pragma once

// The two editions of the reader are built from one source tree. Which one a
// program is, is decided once, where the executable is assembled (app/main.cpp),
// and handed to everything else as this value; no other code asks the build.

namespace vintok {

enum class Edition {
  Current,  // v1.01: check box override, fob number proposal, reconciled reads
  Earlier,  // v0.51: [Controls] keys, two strict passes, 254/253/248 export codes
};

}  // namespace vintok

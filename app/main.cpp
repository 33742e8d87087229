#include "app/application.h"
#include "edition/edition.h"

// The one place that turns the build switch into the program's edition.
#if defined(VINTOK_EARLIER_EDITION)
constexpr vintok::Edition kProgramEdition = vintok::Edition::Earlier;
#else
constexpr vintok::Edition kProgramEdition = vintok::Edition::Current;
#endif

int main(int argc, char* argv[]) {
  return vintok::app::RunProgram(argc, argv, kProgramEdition);
}

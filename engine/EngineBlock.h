// Application scripts carried inside the host executable as a compressed
// block (tqpack embed --application).
#pragma once

#include <cstdint>
#include <string>

// The text of the block whose record begins at `oOffset` of the running
// executable; false when no readable block starts there.
bool bChargeBlocPorte(int64_t oOffset, std::string *psTexte, std::string *psExecutable);

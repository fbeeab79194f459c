// The script command "error": raises an error to the launcher through the error
// callback it registered, as a real engine reports an application's errors.
//
//   error N TEXT    user error code N (unsigned 32-bit) and user message TEXT
//                   ({fields} replaced as for print); the run goes on
#pragma once

#include <string>

#include "EngineScript.h"

bool bValideErreurScript(const std::string &sArgument, std::string *psErreur);
// Builds the error and hands it to the callback; nothing when none is registered.
void LeveErreurScript(const std::string &sArgument, const stCONTEXTESCRIPT &stContexte);

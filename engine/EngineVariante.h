// How this build of the engine behaves: the test variants differ from the engine
// only by these flags and by the entries they leave out. The flags come from the one
// unit built per variant (EngineVariante.cpp), so the rest of the engine is compiled
// once for all of them; the entries left out are hidden when each variant is linked
// (engine/CMakeLists.txt).
#pragma once

struct stVARIANTE {
    bool bInitFaux;       // bInitLibrary answers 0
    bool bProxyNul;       // pQueryProxy answers no proxy
    bool bDonneTQLFaux;   // QS_DonneTQL refuses every application
    bool bRunFaux;        // QS_Run_Res fails with result 3
    bool bRunServiceFaux; // QS_Run_Service declines to start the service
    bool bServiceLent;    // QS_Run_Service takes its time before starting it
    bool bInitExEchec;    // nQSEInitEx answers 37
    bool bOPMTRefuse;     // nQSEOPMT refuses new contexts
    bool bEnregistreSeul; // every nQSE entry only records its call (see EngineHost.cpp)
};

extern const stVARIANTE gstVariante __attribute__((visibility("hidden")));

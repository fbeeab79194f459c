// Helpers of the service tests: a recorder of what the logger would send to the
// system log.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "service/Logger.h"

namespace tqtest {

// Replaces the system-log sink while alive; every line lands in tabLignes().
class CJournalEnregistre {
public:
    CJournalEnregistre() : m_pfnAncienne(Logger_SetSortieSysteme(Enregistre)) { ms_tabLignes.clear(); }
    ~CJournalEnregistre() { Logger_SetSortieSysteme(m_pfnAncienne); }
    CJournalEnregistre(const CJournalEnregistre &) = delete;
    CJournalEnregistre &operator=(const CJournalEnregistre &) = delete;

    static const std::vector<std::pair<int, std::string>> &tabLignes() { return ms_tabLignes; }
    static void Vide() { ms_tabLignes.clear(); }

private:
    static void Enregistre(int nPriorite, const char *pszTexte) { ms_tabLignes.emplace_back(nPriorite, pszTexte); }

    PFN_SORTIESYSLOG m_pfnAncienne;
    static inline std::vector<std::pair<int, std::string>> ms_tabLignes;
};

typedef std::vector<std::pair<int, std::string>> tabJOURNAL;

} // namespace tqtest

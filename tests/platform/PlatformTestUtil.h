// Small helpers of the platform tests, beside the shared ones of support/TestSupport.h.
#pragma once

#include <unistd.h>

#include <string>

#include "support/TestSupport.h"

namespace tqplat {

// Runs in a directory and comes back to the previous one.
class CChangeDir {
public:
    explicit CChangeDir(const std::string &clPath)
    {
        char szOld[4096];
        if (getcwd(szOld, sizeof szOld) != nullptr)
            m_clOld = szOld;
        if (chdir(clPath.c_str()) != 0)
            m_clOld.clear();
    }
    ~CChangeDir()
    {
        if (!m_clOld.empty() && chdir(m_clOld.c_str()) != 0) {
        }
    }

private:
    std::string m_clOld;
};

inline void WriteFile(const std::string &clPath, const std::string &clText)
{
    tqtest::bEcritFichier(clPath, clText);
}

inline std::string ReadFile(const std::string &clPath)
{
    return tqtest::sLitFichier(clPath);
}

}  // namespace tqplat

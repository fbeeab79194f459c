// Temporary directories and small file helpers for the platform tests.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace tqtest {

// A fresh directory removed with its files at the end of the test.
class CTempDir {
public:
    CTempDir()
    {
        char szTemplate[] = "/tmp/tqplatXXXXXX";
        const char *psz = mkdtemp(szTemplate);
        m_clPath = psz != nullptr ? psz : "";
    }
    ~CTempDir()
    {
        if (m_clPath.empty())
            return;
        DIR *pDir = opendir(m_clPath.c_str());
        if (pDir != nullptr) {
            while (struct dirent *pEntry = readdir(pDir)) {
                std::string clName = pEntry->d_name;
                if (clName != "." && clName != "..")
                    unlink((m_clPath + "/" + clName).c_str());
            }
            closedir(pDir);
        }
        rmdir(m_clPath.c_str());
    }
    std::string File(const std::string &clName) const { return m_clPath + "/" + clName; }
    const std::string &Path() const { return m_clPath; }

private:
    std::string m_clPath;
};

inline void WriteFile(const std::string &clPath, const std::string &clText)
{
    std::ofstream clOut(clPath, std::ios::binary | std::ios::trunc);
    clOut << clText;
}

inline std::string ReadFile(const std::string &clPath)
{
    std::ifstream clIn(clPath, std::ios::binary);
    std::stringstream clBuffer;
    clBuffer << clIn.rdbuf();
    return clBuffer.str();
}

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

}  // namespace tqtest

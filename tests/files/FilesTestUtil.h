// Temporary directories and small file helpers for the file tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

class CFilesTempDir {
public:
    CFilesTempDir()
    {
        char sz[] = "/tmp/tqfiles-XXXXXX";
        const char *p = mkdtemp(sz);
        EXPECT_NE(p, nullptr);
        m_sPath = p ? p : "/tmp";
    }
    ~CFilesTempDir()
    {
        nftw(m_sPath.c_str(), Remove, 16, FTW_DEPTH | FTW_PHYS);
    }
    const std::string &Path() const { return m_sPath; }
    std::string operator/(const std::string &sName) const { return m_sPath + "/" + sName; }

private:
    static int Remove(const char *psz, const struct stat *, int, struct FTW *)
    {
        ::remove(psz);
        return 0;
    }
    std::string m_sPath;
};

inline void FilesWrite(const std::string &sPath, const std::string &sData)
{
    FILE *f = fopen(sPath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fwrite(sData.data(), 1, sData.size(), f), sData.size());
    fclose(f);
}

inline std::string FilesRead(const std::string &sPath)
{
    std::string s;
    FILE *f = fopen(sPath.c_str(), "rb");
    if (!f)
        return s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

// Runs in the current directory given, back to the old one at the end of the scope.
class CFilesChdir {
public:
    explicit CFilesChdir(const std::string &sDir)
    {
        char sz[4096];
        m_sOld = getcwd(sz, sizeof sz) ? sz : "/";
        EXPECT_EQ(chdir(sDir.c_str()), 0);
    }
    ~CFilesChdir() { EXPECT_EQ(chdir(m_sOld.c_str()), 0); }

private:
    std::string m_sOld;
};

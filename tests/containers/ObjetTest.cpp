#include <gtest/gtest.h>

#include "containers/Objet.h"

namespace {

struct CCompte : CObjet {
    explicit CCompte(int *deaths) : m_pDeaths(deaths) {}
    ~CCompte() override { ++*m_pDeaths; }
    int *m_pDeaths;
};

struct CAvecAgregat : CObjet {
    void CreateAgregat() override
    {
        ++m_nCreations;
        m_pAgregat = &m_nCreations;
    }
    int m_nCreations = 0;
};

} // namespace

TEST(Objet, CountingAndInterface)
{
    int deaths = 0;
    CCompte *o = new CCompte(&deaths);
    EXPECT_EQ(o->AddRef(), o);
    EXPECT_EQ(o->nRelease(), 1);
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(o->nRelease(), 0);
    EXPECT_EQ(deaths, 1);

    CObjet *base = new CObjet;
    EXPECT_EQ(base->pIQueryInterface(), nullptr);
    EXPECT_EQ(base->m_nRef, 2);
    base->nRelease();
    base->nRelease();

    CAvecAgregat a;
    void *i1 = a.pIQueryInterface();
    void *i2 = a.pIQueryInterface();
    EXPECT_EQ(i1, &a.m_nCreations);
    EXPECT_EQ(i1, i2);
    EXPECT_EQ(a.m_nCreations, 1);
    EXPECT_EQ(a.m_nRef, 3);

    CAvecAgregat b;
    b = a; // copies neither count nor interface
    EXPECT_EQ(b.m_nRef, 1);
    EXPECT_EQ(b.m_pAgregat, nullptr);
}
